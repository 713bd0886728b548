// The desktop session the program starts in: whether a display is there at all, and which Qt
// platform to prefer. On a Wayland session the program asks for XWayland ("xcb") unless the user
// chose a platform: shaped frameless windows and a dialog placed beside its key need it.
#pragma once

#include <functional>
#include <string>

namespace orvane {

using EnvironmentLookup = std::function<std::string(const char* name)>;

// The environment of this process (empty for unset variables).
std::string EnvironmentValue(const char* name);

// The platform to ask Qt for, or empty to leave Qt's own choice: "xcb" on a Wayland session that
// offers XWayland (DISPLAY set) when neither QT_QPA_PLATFORM nor a -platform argument chose one.
std::string PreferredQtPlatform(const EnvironmentLookup& env, bool platform_argument);

// True when a Qt platform can be expected to start: a display (X or Wayland) or a platform that
// needs none (offscreen, minimal, vnc, ...) was chosen.
bool DisplayAvailable(const EnvironmentLookup& env);

// Sets QT_QPA_PLATFORM for this process.
void SetQtPlatform(const std::string& platform);

}  // namespace orvane
