// What a test starts ends with it, however it ends: a test program killed
// with SIGKILL at any moment of bringing up its fixtures (a scheduler, an IPP
// printer, avahi, D-Bus) leaves no process and no folder behind; and the
// supervisor they all run under (scripts/supervise) keeps its word.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef KAVRO_SUPERVISE
#error "KAVRO_SUPERVISE must name scripts/supervise"
#endif
#ifndef KAVRO_FIXTURE_HOLDER
#error "KAVRO_FIXTURE_HOLDER must name the fixture_holder program"
#endif

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Generous: everything is gone well within a second here; a hang fails.
constexpr auto kGone = 30s;

// The file's bytes, none when it cannot be read: the files of a process in
// /proc fail to read once it has ended, which it may do while they are read.
std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  try {
    return std::string(std::istreambuf_iterator<char>(in), {});
  } catch (const std::ios_base::failure&) {
    return "";
  }
}

struct Process {
  pid_t pid;
  std::string name;     // comm
  std::string command;  // cmdline, arguments joined by spaces
};

// Where a process's folder and open files are (a daemon that rewrites its
// command line, as avahi-daemon does, still writes its log into the folder).
std::string Files(const std::string& id) {
  std::string out;
  std::error_code error;
  out += std::filesystem::read_symlink("/proc/" + id + "/cwd", error).string() + '\n';
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + id + "/fd", error))
    out += std::filesystem::read_symlink(fd.path(), error).string() + '\n';
  return out;
}

// Live processes (not zombies) whose command line, folder or open files hold
// any of `marks`, or whose environment holds one of `variables` as a whole
// entry.
std::vector<Process> Find(const std::vector<std::string>& marks, const std::vector<std::string>& variables) {
  std::vector<Process> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string id = entry.path().filename();
    if (id.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(id);
    if (pid == getpid()) continue;
    const std::string stat = ReadFile("/proc/" + id + "/stat");
    const auto paren = stat.rfind(')');
    if (paren == std::string::npos || stat.compare(paren + 2, 1, "Z") == 0) continue;
    std::string command = ReadFile("/proc/" + id + "/cmdline");
    for (char& c : command)
      if (c == '\0') c = ' ';
    const std::string environment = '\0' + ReadFile("/proc/" + id + "/environ");
    const std::string files = marks.empty() ? "" : Files(id);
    bool ours = false;
    for (const std::string& m : marks)
      ours = ours || command.find(m) != std::string::npos || files.find(m) != std::string::npos;
    for (const std::string& v : variables) ours = ours || environment.find('\0' + v + '\0') != std::string::npos;
    if (!ours) continue;
    std::string name = ReadFile("/proc/" + id + "/comm");
    if (!name.empty() && name.back() == '\n') name.pop_back();
    found.push_back({pid, name, command});
  }
  return found;
}

// The `sleep` processes whose command line holds `mark`.
std::vector<Process> Sleeps(const std::string& mark) {
  std::vector<Process> found;
  for (const Process& p : Find({mark}, {}))
    if (p.name == "sleep") found.push_back(p);
  return found;
}

std::string Describe(const std::vector<Process>& processes) {
  std::ostringstream out;
  for (const Process& p : processes) out << "\n  " << p.pid << " " << p.name << ": " << p.command;
  return out.str();
}

std::set<std::string> Names(const std::vector<Process>& processes) {
  std::set<std::string> names;
  for (const Process& p : processes) names.insert(p.name);
  return names;
}

// Starts `argv` with its standard output on a pipe (when `output` is given).
pid_t Spawn(const std::vector<std::string>& argv, int* output = nullptr) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  int pipe_fds[2] = {-1, -1};
  if (output) {
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_adddup2(&files, pipe_fds[1], STDOUT_FILENO);
  }
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, args[0], &files, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (output) {
    close(pipe_fds[1]);
    *output = pipe_fds[0];
  }
  return failed ? -1 : pid;
}

// The next line on `fd`, or nothing when none comes in time.
std::optional<std::string> ReadLine(int fd, Clock::duration limit) {
  std::string line;
  const auto give_up = Clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(give_up - Clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return std::nullopt;
    char c;
    if (read(fd, &c, 1) != 1) return std::nullopt;
    if (c == '\n') return line;
    line += c;
  }
}

template <class Done>
bool WaitUntil(Done done, Clock::duration limit) {
  const auto give_up = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > give_up) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

void KillAndReap(pid_t pid) {
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
}

// ---------------------------------------------------------------------------

struct KillMoment {
  const char* name;
  bool when_ready;               // once everything answers, else after the folder appears:
  std::chrono::milliseconds after;  // this long after that
};

class KilledTestProgram : public ::testing::TestWithParam<KillMoment> {};

TEST_P(KilledTestProgram, LeavesNoProcessAndNoFolder) {
  const KillMoment moment = GetParam();
  const bool machine_avahi_dir = std::filesystem::exists("/run/avahi-daemon");
  const std::string machine_avahi_pid = ReadFile("/run/avahi-daemon/pid");

  int output = -1;
  const pid_t holder = Spawn({KAVRO_FIXTURE_HOLDER}, &output);
  ASSERT_GT(holder, 0);
  // However the test ends, the holder does not outlive it.
  struct Holder {
    pid_t pid;
    ~Holder() {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == 0) KillAndReap(pid);  // not reaped yet
    }
  } holder_guard{holder};
  const auto folder_line = ReadLine(output, 60s);
  if (!folder_line || folder_line->rfind("folder ", 0) != 0) {
    KillAndReap(holder);
    FAIL() << "the fixture holder did not make its folder";
  }
  const std::string folder = folder_line->substr(7);
  const std::vector<std::string> marks = {folder};
  const std::vector<std::string> owned = {"KAVRO_OWNER=" + std::to_string(holder)};

  if (moment.when_ready) {
    const auto ready = ReadLine(output, 60s);
    if (!ready || *ready != "ready") {
      KillAndReap(holder);
      FAIL() << "the fixtures did not come up";
    }
    const auto up = Find(marks, owned);
    for (const char* name : {"cupsd", "ippeveprinter", "avahi-daemon", "dbus-daemon"})
      EXPECT_EQ(Names(up).count(name), 1u) << name << " is not running:" << Describe(up);
    // The private avahi keeps its pid file in its own folder.
    EXPECT_TRUE(std::filesystem::exists(folder + "/device/run/avahi-daemon/pid"));
  }
  std::this_thread::sleep_for(moment.after);
  KillAndReap(holder);
  close(output);

  std::vector<Process> left;
  const bool gone = WaitUntil(
      [&] {
        left = Find(marks, owned);
        return left.empty() && !std::filesystem::exists(folder);
      },
      kGone);
  EXPECT_TRUE(gone) << "left behind:" << Describe(left)
                    << (std::filesystem::exists(folder) ? "\n  the folder " + folder : "");
  // The machine's own avahi folder is as it was.
  EXPECT_EQ(std::filesystem::exists("/run/avahi-daemon"), machine_avahi_dir);
  EXPECT_EQ(ReadFile("/run/avahi-daemon/pid"), machine_avahi_pid);
}

INSTANTIATE_TEST_SUITE_P(
    AtAnyMoment, KilledTestProgram,
    ::testing::Values(KillMoment{"AsItsFolderAppears", false, 0ms},
                      KillMoment{"WhileTheSchedulerStarts", false, 300ms},
                      KillMoment{"WhileThePrinterStarts", false, 1500ms},
                      KillMoment{"WhenAllAnswer", true, 0ms}),
    [](const ::testing::TestParamInfo<KillMoment>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

class Supervise : public ::testing::Test {
 protected:
  void SetUp() override {
    owner = Spawn({"/bin/sleep", "1000"});
    ASSERT_GT(owner, 0);
    folder = std::filesystem::temp_directory_path() /
             ("kavro-supervise-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override {
    if (owner > 0) KillAndReap(owner);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  // Starts a supervisor of `owner` with the folder, over a shell command.
  pid_t Start(const std::string& command, const char* owner_pid = nullptr) {
    const std::string of = owner_pid ? owner_pid : std::to_string(owner);
    return Spawn({KAVRO_SUPERVISE, "--owner", of, "--folder", folder.string(), "--grace", "1", "--", "/bin/sh",
                  "-c", command});
  }

  pid_t owner = -1;
  std::filesystem::path folder;
};

TEST_F(Supervise, EndsTheProgramsWholeProcessGroupAndTheFolderWithItsOwner) {
  // A grandchild that ignores SIGTERM: it takes SIGKILL after the grace time.
  const pid_t supervisor = Start("trap '' TERM; sleep 1001 & sleep 1002; wait");
  ASSERT_GT(supervisor, 0);
  const auto sleeps = [] {
    auto found = Sleeps("sleep 1001");
    for (const Process& p : Sleeps("sleep 1002")) found.push_back(p);
    return found;
  };
  ASSERT_TRUE(WaitUntil([&] { return sleeps().size() == 2 && std::filesystem::exists(folder); }, kGone));

  KillAndReap(owner);
  owner = -1;
  int status = -1;
  ASSERT_EQ(waitpid(supervisor, &status, 0), supervisor);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Describe(sleeps()), "");
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(Supervise, StartsNothingForAnOwnerAlreadyGone) {
  KillAndReap(owner);
  const std::string gone = std::to_string(owner);
  owner = -1;
  const pid_t supervisor = Start("sleep 1003", gone.c_str());
  int status = -1;
  ASSERT_EQ(waitpid(supervisor, &status, 0), supervisor);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_TRUE(Sleeps("sleep 1003").empty());
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(Supervise, TheProgramEndsWithTheSupervisorAndGivesItsStatus) {
  // Killed outright, the supervisor takes its program with it.
  const pid_t killed = Start("exec sleep 1004");
  ASSERT_TRUE(WaitUntil([&] { return !Sleeps("sleep 1004").empty(); }, kGone));
  KillAndReap(killed);
  std::vector<Process> left;
  EXPECT_TRUE(WaitUntil([&] { return (left = Sleeps("sleep 1004")).empty(); }, kGone)) << Describe(left);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);  // a supervisor killed outright cannot remove it

  // A program that ends by itself ends the supervisor with its status, and
  // takes the folder along.
  for (const auto& [command, expected] : {std::pair<const char*, int>{"exit 3", 3}, {"kill -9 $$", 128 + 9}}) {
    const pid_t supervisor = Start(command);
    int status = -1;
    ASSERT_EQ(waitpid(supervisor, &status, 0), supervisor);
    EXPECT_TRUE(WIFEXITED(status)) << command;
    EXPECT_EQ(WEXITSTATUS(status), expected) << command;
    EXPECT_FALSE(std::filesystem::exists(folder)) << command;
  }
}

}  // namespace
