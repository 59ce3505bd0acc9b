// Test schedulers that keep tests away from the machine's own print system.
//
// PrivateScheduler is a cupsd of its own in a temporary folder, reached only
// over a unix socket there (scripts/private-cupsd.sh). Constructing one points
// CUPS_SERVER, CUPS_SERVERROOT and HOME into that folder, so construct it
// before the first libcups call of the process:
//
//   PrivateScheduler s;
//   s.WritePrintersConf("<Printer Jammed>\n...</Printer>\n");  // optional
//   s.Start();
//   s.Run("lpadmin -p Office -E -v file:///dev/null");
//   ... CupsPrinters talks to it ...
//   s.Stop();  // or let the destructor stop it and remove the folder
//
// libcups keeps the server, and the server root, per thread: UseEnvironment()
// re-points the calling thread; a thread started later reads the environment
// afresh. After the scheduler is gone the environment keeps pointing at its
// (now missing) socket, so a stray libcups call finds no scheduler rather than
// the machine's.
//
// Everything a PrivateScheduler starts, and its folder, end with the test
// program however it ends (killed, aborted, crashed): the folder has a
// keeper (scripts/supervise) that removes it once the program is gone, and
// the scripts run every program under the same supervisor, owned by this
// process (KAVRO_OWNER).
//
// MuteScheduler is a socket that takes connections and never answers.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace cupstest {

// "KAVRO_OWNER=<this process>": what the fixture scripts end with.
std::string OwnerEnvironment();

// A new folder under TMPDIR (else /tmp) that lives no longer than this
// process: a supervisor makes it, and removes it with all it holds when this
// process ends, however it ends, or when the keeper is destroyed.
class FolderKeeper {
 public:
  // Returns once the folder is there; throws std::runtime_error otherwise.
  FolderKeeper();
  ~FolderKeeper();
  FolderKeeper(const FolderKeeper&) = delete;
  FolderKeeper& operator=(const FolderKeeper&) = delete;

  const std::string& Dir() const { return dir_; }
  pid_t Pid() const { return pid_; }

 private:
  void End();
  std::string dir_;
  pid_t pid_ = -1;
};

// Sets CUPS_SERVER, CUPS_SERVERROOT and HOME (and unsets LPDEST and PRINTER,
// which would name a default of their own), and makes the calling thread's
// libcups read them again. DBUS_SYSTEM_BUS_ADDRESS names `system_bus`, by
// default a socket that is not there: the printers found on the network are
// those of a test's own avahi, never the machine's.
void PointClientsAt(const std::string& server, const std::string& server_root,
                    const std::string& home, const std::string& system_bus = "");

class PrivateScheduler {
 public:
  // Makes the folder (a FolderKeeper's) and points the environment at it.
  PrivateScheduler();
  // Stops the scheduler and removes the folder.
  ~PrivateScheduler();
  PrivateScheduler(const PrivateScheduler&) = delete;
  PrivateScheduler& operator=(const PrivateScheduler&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string Socket() const { return dir_ + "/cups.sock"; }
  std::string ServerRoot() const { return dir_ + "/etc"; }
  std::string Home() const { return dir_ + "/home"; }

  // The scheduler's printers.conf; only takes effect when written before Start().
  void WritePrintersConf(const std::string& text);

  // Starts cupsd and waits until it answers; throws std::runtime_error, with
  // the script's output, when it does not.
  void Start();
  // Stops cupsd; harmless when it is not running.
  void Stop();
  bool Running() const { return running_; }
  // How long the last Start() took.
  std::chrono::milliseconds StartDuration() const { return start_duration_; }

  // Points the environment and the calling thread's libcups at this scheduler.
  void UseEnvironment() const;
  // From now on the clients' system bus is the one at unix socket `path`
  // (a test's own avahi is reached there).
  void UseSystemBus(const std::string& path);

  // Runs a shell command with the clients' environment of this scheduler, and
  // /usr/sbin on the PATH for lpadmin and cupsdisable; returns its exit status.
  // With `check`, a non-zero status throws std::runtime_error carrying the
  // command's output.
  int Run(const std::string& command, bool check = true) const;
  // Runs a shell command like Run() and returns what it wrote to standard
  // output; throws std::runtime_error when it fails.
  std::string Output(const std::string& command) const;
  // The lines of what Output() returns, the empty ones left out.
  std::vector<std::string> OutputLines(const std::string& command) const;

 private:
  int Execute(const std::string& command, std::string& output, bool merge_stderr) const;

  FolderKeeper folder_;
  std::string dir_;
  std::string system_bus_;
  bool running_ = false;
  std::chrono::milliseconds start_duration_{0};
};

class MuteScheduler {
 public:
  // Listens on a unix socket at `path` and never accepts: a client connects
  // (the kernel queues it) and then waits for an answer that never comes.
  // Throws std::runtime_error when the socket cannot be made.
  explicit MuteScheduler(std::string path);
  ~MuteScheduler();
  MuteScheduler(const MuteScheduler&) = delete;
  MuteScheduler& operator=(const MuteScheduler&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace cupstest
