// Opening documents, links and programs through the desktop, with results in the shell's codes so
// callers keep one rule: a result above 32 is success.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane {

// Shell result codes (the values callers test for).
constexpr int kShellFileNotFound = 2;
constexpr int kShellPathNotFound = 3;
constexpr int kShellAccessDenied = 5;
constexpr int kShellOutOfMemory = 8;
constexpr int kShellBadFormat = 11;
constexpr int kShellNoAssociation = 31;
constexpr int kShellSuccess = 42;

// A document path or URL goes to the desktop's opener (xdg-open); an executable file is started
// detached with the given arguments. Returns kShellSuccess or an error code above.
int ShellOpen(const std::string& target, const std::vector<std::string>& args = {});

// Starts a program detached, without a window of ours; returns kShellSuccess or an error code.
int StartDetached(const std::string& program, const std::vector<std::string>& args = {});

// The user's browser by the desktop convention: the first entry of $BROWSER (a list separated by
// ':'), or nothing when it is unset or empty.
std::optional<std::string> PreferredBrowser();

// The desktop's on-screen keyboard: the first of "onboard" and "florence" found as an executable
// file in a folder of path_list (a PATH-style list separated by ':'); "" when neither is there.
std::string FindOnScreenKeyboard(const std::string& path_list);
// The same over $PATH.
std::string FindOnScreenKeyboard();

// True if the target looks like a URL ("scheme:" followed by "//", or "mailto:").
bool LooksLikeUrl(const std::string& target);

}  // namespace orvane
