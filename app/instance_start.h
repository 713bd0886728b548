// The command line and the single-instance rule of the program, decided before any window
// exists: "/Kill" asks a running instance to shut down and ends this process, "/Update" asks it
// to open its firmware update dialog and ends this process, "/Start" keeps the
// window closed when the keyboard is first seen, a second start asks the running instance to show
// its window and ends, and a first start takes the instance lock and launches the companion
// daemon. The operating-system side comes through IInstanceSystem, so the order of the steps is
// tested without processes; PlatformInstanceSystem is the real one. No Qt here.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/instance.h"
#include "platform/main_window_link.h"

namespace orvane {

// The name of the instance lock.
inline constexpr const char* kInstanceMutexName = "QX27M40B";
// The companion program launched beside the program.
inline constexpr const char* kDaemonProgramName = "KbDaemon";

class IInstanceSystem {
 public:
  virtual ~IInstanceSystem() = default;
  // Process lookup by the executable's bare file name; 0 when none. May return the caller itself.
  virtual pid_t FindProcess(const std::string& bare_name) = 0;
  // Sends (message, wparam, 0) to the tagged window of pid and waits for it to be handled. False
  // when the process has no tagged window.
  virtual bool SendRequest(pid_t pid, uint32_t message, uint32_t wparam) = 0;
  virtual CInstanceMutex::State AcquireMutex() = 0;
  // Starts the daemon hidden and detached when it exists; its result does not matter.
  virtual void LaunchDaemon() = 0;
};

struct InstanceStart {
  bool end_process = false;  // a /Kill run or a second instance: end now with exit code 0
  bool start_silent = false;
};

// True when arg is the switch as a whole argument, without regard to case ("/KILL" == "/Kill").
bool IsSwitch(const std::string& arg, const char* name);

// Runs the command line (arguments after the program name, in order) and the single-instance
// steps. bare_name is the running executable's bare file name.
InstanceStart HandleCommandLine(const std::vector<std::string>& args, const std::string& bare_name,
                                IInstanceSystem& system);

// The real system: the lock and the window tags in the instance folder, /proc for the lookup.
class PlatformInstanceSystem : public IInstanceSystem {
 public:
  // daemon_path: the daemon's full path; folder: the instance folder (InstanceFolder() if empty).
  PlatformInstanceSystem(CInstanceMutex& mutex, std::string daemon_path, std::string folder = {});
  pid_t FindProcess(const std::string& bare_name) override;
  bool SendRequest(pid_t pid, uint32_t message, uint32_t wparam) override;
  CInstanceMutex::State AcquireMutex() override;
  void LaunchDaemon() override;

 private:
  CInstanceMutex& mutex_;
  std::string daemon_path_;
  std::string folder_;
};

}  // namespace orvane
