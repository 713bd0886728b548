#include "app/instance_start.h"

#include <cctype>

#include "platform/main_window_link.h"
#include "platform/paths.h"
#include "platform/shell.h"

namespace orvane {

bool IsSwitch(const std::string& arg, const char* name) {
  const std::string wanted = name;
  if (arg.size() != wanted.size()) return false;
  for (size_t i = 0; i < arg.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(arg[i])) != std::tolower(static_cast<unsigned char>(wanted[i])))
      return false;
  return true;
}

InstanceStart HandleCommandLine(const std::vector<std::string>& args, const std::string& bare_name,
                                IInstanceSystem& system) {
  InstanceStart start;
  for (const std::string& arg : args) {
    if (IsSwitch(arg, "/Kill")) {
      const pid_t pid = system.FindProcess(bare_name);
      if (pid != 0) {
        // Sent or not (the lookup may have found this very process), the run ends here.
        system.SendRequest(pid, WM_MAIN_EXIT, kCheckWordExit);
        start.end_process = true;
        return start;
      }
    } else if (IsSwitch(arg, "/Update")) {
      // Like /Kill: with a running instance, that instance opens its update dialog and this run
      // ends; with none, this start goes on as a normal one.
      const pid_t pid = system.FindProcess(bare_name);
      if (pid != 0) {
        system.SendRequest(pid, WM_MAIN_UPDATE, kCheckWordUpdate);
        start.end_process = true;
        return start;
      }
    } else if (IsSwitch(arg, "/Start")) {
      start.start_silent = true;
    }
  }
  if (system.AcquireMutex() == CInstanceMutex::State::Existing) {
    const pid_t pid = system.FindProcess(bare_name);
    if (pid != 0) {
      system.SendRequest(pid, WM_MAIN_SHOW, kCheckWordShow);
      start.end_process = true;
      return start;
    }
    // The lock is held by no process of our name: carry on as the first instance.
  }
  system.LaunchDaemon();
  return start;
}

PlatformInstanceSystem::PlatformInstanceSystem(CInstanceMutex& mutex, std::string daemon_path, std::string folder)
    : mutex_(mutex), daemon_path_(std::move(daemon_path)), folder_(std::move(folder)) {}

pid_t PlatformInstanceSystem::FindProcess(const std::string& bare_name) {
  return FindInstanceProcess(bare_name, folder_);
}

bool PlatformInstanceSystem::SendRequest(pid_t pid, uint32_t message, uint32_t wparam) {
  return SendToTaggedWindow(pid, kMainWindowTag, {message, wparam, 0}, folder_).has_value();
}

CInstanceMutex::State PlatformInstanceSystem::AcquireMutex() { return mutex_.Acquire(kInstanceMutexName, folder_); }

void PlatformInstanceSystem::LaunchDaemon() {
  if (FileExists(daemon_path_)) StartDetached(daemon_path_);
}

}  // namespace orvane
