// The program's start-up and idle costs, measured on the program itself (build/bin/orvane) run as
// a process against the built-in simulated keyboard:
//  - start to tray icon: from starting the process until its notification-area icon shows the
//    keyboard as present (the program says so on its error stream when ORVANE_REPORT_TRAY is set);
//  - show request to visible: the request a second start sends, until the window has painted;
//  - resident memory in the tray after start-up, and CPU time over 60 s of idling in the tray,
//    with the keyboard present and absent.
// It uses the display it is given (a real X server with a notification area for true figures:
// see docs on desktop testing); without DISPLAY it runs offscreen.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/instance.h"
#include "platform/main_window_link.h"

namespace orvane {
// The window command message (kept here: the core headers do not name it).
constexpr uint32_t WM_COMMAND_ID = 0x0111;
}  // namespace orvane

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kIdleSeconds = 60;

std::string ProgramPath() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  std::string self = n > 0 ? std::string(buf, size_t(n)) : std::string();
  return fs::path(self).parent_path() / "orvane";
}

class Run {
 public:
  Run() {
    root_ = fs::temp_directory_path() / ("orvane-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n_++));
    for (const char* d : {"runtime", "config", "data", "hid/sys", "hid/dev"}) fs::create_directories(root_ / d);
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
  }
  ~Run() {
    for (pid_t pid : pids_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  pid_t Spawn(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int fd = ::open((root_ / ("err-" + std::to_string(::getpid()))).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) ::dup2(fd, 2);
      ::setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
      ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
      ::setenv("ORVANE_REPORT_TRAY", "1", 1);
      ::setenv("ORVANE_PROMPT_AUTOANSWER_MS", "0", 1);
      if (std::getenv("DISPLAY") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      std::vector<std::string> all{ProgramPath()};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    pids_.push_back(pid);
    return pid;
  }
  std::string Errors(pid_t pid) const {
    std::ifstream in(root_ / ("err-" + std::to_string(pid)));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool WaitFor(pid_t pid, const std::string& said, int limit_ms = 20000) const {
    const auto end = Clock::now() + std::chrono::milliseconds(limit_ms);
    while (Clock::now() < end) {
      if (Errors(pid).find(said) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
  }
  int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::erase(pids_, pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string HidRoot() const { return (root_ / "hid").string(); }
  std::string InstanceFolder() const { return (root_ / "runtime/orvane").string(); }

 private:
  static inline int n_ = 0;
  fs::path root_;
  std::vector<pid_t> pids_;
};

// utime + stime of a process, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string f;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) utime = std::stoull(f);
    if (i == 15) stime = std::stoull(f);
  }
  return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

double ResidentMiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

void BM_StartToTrayIcon(benchmark::State& state) {
  for (auto _ : state) {
    Run run;
    const auto start = Clock::now();
    const pid_t pid = run.Spawn({"--simulate", "/Start"});
    if (!run.WaitFor(pid, "orvane: tray icon 141")) {
      state.SkipWithError("the icon never showed the keyboard");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    run.Wait(run.Spawn({"/Kill"}));
    run.Wait(pid);
  }
}
BENCHMARK(BM_StartToTrayIcon)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ShowRequestToVisible(benchmark::State& state) {
  Run run;
  const pid_t pid = run.Spawn({"--simulate", "/Start"});
  if (!run.WaitFor(pid, "orvane: tray icon 141")) {
    state.SkipWithError("the program did not start");
    return;
  }
  int shown = 0;
  const std::string folder = run.InstanceFolder();
  for (auto _ : state) {
    // The request a second start sends; it returns once the window has handled it.
    const auto start = Clock::now();
    orvane::SendToTaggedWindow(pid, orvane::kMainWindowTag, {orvane::WM_MAIN_SHOW, orvane::kCheckWordShow, 0}, folder);
    const std::string mark = "orvane: window shown " + std::to_string(++shown);
    if (!run.WaitFor(pid, mark)) {
      state.SkipWithError("the window did not show");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    // Cancel hides it again.
    orvane::SendToTaggedWindow(pid, orvane::kMainWindowTag, {orvane::WM_COMMAND_ID, 2, 0}, folder);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  run.Wait(run.Spawn({"/Kill"}));
  run.Wait(pid);
}
BENCHMARK(BM_ShowRequestToVisible)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Resident memory and CPU over kIdleSeconds in the tray; arg 1: keyboard present, 0: absent.
void BM_IdleInTheTray(benchmark::State& state) {
  const bool present = state.range(0) == 1;
  for (auto _ : state) {
    Run run;
    const pid_t pid = present ? run.Spawn({"--simulate", "/Start"}) : run.Spawn({"--hid-root", run.HidRoot(), "/Start"});
    if (!run.WaitFor(pid, present ? "orvane: tray icon 141" : "orvane: tray created")) {
      state.SkipWithError("the program did not start");
      return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpu_before = CpuSeconds(pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
    const double cpu = CpuSeconds(pid) - cpu_before;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["rss_mib"] = ResidentMiB(pid);
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
    state.SetIterationTime(wall);
    run.Wait(run.Spawn({"/Kill"}));
    run.Wait(pid);
  }
}
BENCHMARK(BM_IdleInTheTray)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
