#include "platform/desktop_session.h"

#include <cstdlib>

namespace orvane {

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string PreferredQtPlatform(const EnvironmentLookup& env, bool platform_argument) {
  if (platform_argument || !env("QT_QPA_PLATFORM").empty()) return {};
  const bool wayland = env("XDG_SESSION_TYPE") == "wayland" || !env("WAYLAND_DISPLAY").empty();
  if (wayland && !env("DISPLAY").empty()) return "xcb";
  return {};
}

bool DisplayAvailable(const EnvironmentLookup& env) {
  const std::string chosen = env("QT_QPA_PLATFORM");
  if (!chosen.empty() && chosen.rfind("xcb", 0) != 0 && chosen.rfind("wayland", 0) != 0) return true;
  return !env("DISPLAY").empty() || !env("WAYLAND_DISPLAY").empty();
}

void SetQtPlatform(const std::string& platform) {
  if (!platform.empty()) ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

}  // namespace orvane
