#include "PrivateScheduler.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#ifndef KAVRO_PRIVATE_CUPSD
#error "KAVRO_PRIVATE_CUPSD must name scripts/private-cupsd.sh"
#endif
#ifndef KAVRO_SUPERVISE
#error "KAVRO_SUPERVISE must name scripts/supervise"
#endif

extern char** environ;

namespace cupstest {
namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

// A folder name of this process's own under TMPDIR (else /tmp).
std::string NewFolderName() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp && *tmp ? tmp : "/tmp";
  // A unix socket path must stay short; a long TMPDIR would break it.
  if (base.size() > 60) base = "/tmp";
  static std::atomic<unsigned> count{0};
  static const std::string alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string tag;
  for (int i = 0; i < 6; ++i) tag += alphabet[random() % alphabet.size()];
  return base + "/kavro-cups-" + std::to_string(getpid()) + "-" + std::to_string(count++) + "-" + tag;
}

}  // namespace

std::string OwnerEnvironment() { return "KAVRO_OWNER=" + std::to_string(getpid()); }

FolderKeeper::FolderKeeper() : dir_(NewFolderName()) {
  const std::string owner = std::to_string(getpid());
  const char* argv[] = {KAVRO_SUPERVISE, "--owner", owner.c_str(), "--folder", dir_.c_str(), nullptr};
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawn(&pid_, KAVRO_SUPERVISE, &files, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) throw std::runtime_error(std::string("cannot run " KAVRO_SUPERVISE ": ") + std::strerror(spawned));
  // The keeper makes the folder once it watches this process.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!std::filesystem::is_directory(dir_)) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("the keeper of " + dir_ + " ended before making it");
    }
    if (std::chrono::steady_clock::now() > deadline) {
      End();
      throw std::runtime_error("the keeper did not make " + dir_ + " within 30 s");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

FolderKeeper::~FolderKeeper() { End(); }

void FolderKeeper::End() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

void PointClientsAt(const std::string& server, const std::string& server_root,
                    const std::string& home, const std::string& system_bus) {
  setenv("CUPS_SERVER", server.c_str(), 1);
  setenv("CUPS_SERVERROOT", server_root.c_str(), 1);
  setenv("HOME", home.c_str(), 1);
  const std::string bus = system_bus.empty() ? home + "/no-system-bus" : system_bus;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
  // These would name a default destination of their own.
  unsetenv("LPDEST");
  unsetenv("PRINTER");
  // Forget the server this thread has looked up, so the next call reads CUPS_SERVER.
  cupsSetServer(nullptr);
}

PrivateScheduler::PrivateScheduler() : dir_(folder_.Dir()) {
  std::filesystem::create_directories(ServerRoot());
  std::filesystem::create_directories(Home());
  UseEnvironment();
}

PrivateScheduler::~PrivateScheduler() {
  try {
    Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "PrivateScheduler: %s\n", e.what());
  }
  // The folder goes with its keeper.
}

void PrivateScheduler::WritePrintersConf(const std::string& text) {
  if (running_) throw std::logic_error("printers.conf must be written before Start()");
  std::ofstream out(ServerRoot() + "/printers.conf", std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + ServerRoot() + "/printers.conf");
}

void PrivateScheduler::UseEnvironment() const { PointClientsAt(Socket(), ServerRoot(), Home(), system_bus_); }

void PrivateScheduler::UseSystemBus(const std::string& path) {
  system_bus_ = path;
  UseEnvironment();
}

void PrivateScheduler::Start() {
  if (running_) return;
  UseEnvironment();
  const auto begin = std::chrono::steady_clock::now();
  std::string output;
  const int status = Execute(Quoted(KAVRO_PRIVATE_CUPSD) + " start " + Quoted(dir_), output,
                             /*merge_stderr=*/true);
  start_duration_ = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - begin);
  if (status != 0)
    throw std::runtime_error("private scheduler did not start (exit " + std::to_string(status) +
                             "):\n" + output);
  running_ = true;
}

void PrivateScheduler::Stop() {
  if (!running_) return;
  running_ = false;
  std::string output;
  const int status =
      Execute(Quoted(KAVRO_PRIVATE_CUPSD) + " stop " + Quoted(dir_), output, /*merge_stderr=*/true);
  if (status != 0)
    throw std::runtime_error("private scheduler did not stop (exit " + std::to_string(status) +
                             "):\n" + output);
}

int PrivateScheduler::Run(const std::string& command, bool check) const {
  std::string output;
  const int status = Execute(command, output, /*merge_stderr=*/true);
  if (check && status != 0)
    throw std::runtime_error("`" + command + "` failed (exit " + std::to_string(status) + "):\n" +
                             output);
  return status;
}

std::string PrivateScheduler::Output(const std::string& command) const {
  std::string output;
  const int status = Execute(command, output, /*merge_stderr=*/false);
  if (status != 0)
    throw std::runtime_error("`" + command + "` failed (exit " + std::to_string(status) + "):\n" +
                             output);
  return output;
}

std::vector<std::string> PrivateScheduler::OutputLines(const std::string& command) const {
  std::vector<std::string> lines;
  std::istringstream in(Output(command));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

int PrivateScheduler::Execute(const std::string& command, std::string& output,
                              bool merge_stderr) const {
  const std::string full = "export " + OwnerEnvironment() + " CUPS_SERVER=" + Quoted(Socket()) +
                           " CUPS_SERVERROOT=" + Quoted(ServerRoot()) + " HOME=" + Quoted(Home()) +
                           " PATH=\"$PATH:/usr/sbin:/sbin\"\nunset LPDEST PRINTER\n{ " + command +
                           "\n}" + (merge_stderr ? " 2>&1" : "") + " </dev/null";
  std::fflush(nullptr);
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run `" + command + "`");
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
  const int status = pclose(pipe);
  if (status == -1) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

MuteScheduler::MuteScheduler(std::string path) : path_(std::move(path)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.size() >= sizeof address.sun_path)
    throw std::runtime_error("socket path too long: " + path_);
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  unlink(path_.c_str());
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd_, 64) != 0) {
    const std::string error = std::strerror(errno);
    close(fd_);
    throw std::runtime_error("cannot listen on " + path_ + ": " + error);
  }
}

MuteScheduler::~MuteScheduler() {
  close(fd_);
  unlink(path_.c_str());
}

}  // namespace cupstest
