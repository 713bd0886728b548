// Folders the program works with: its own folder (where Skins, language files and help live),
// the per-user data and configuration folders, and folder creation.
#pragma once

#include <string>

namespace orvane {

// Directory of the running executable, without a trailing slash. Overridable for tests and for
// running from another tree: ORVANE_PROGRAM_DIR wins when set.
std::string ProgramFolder();

// Full path of the running executable (/proc/self/exe); empty if it cannot be read.
std::string ProgramFilePath();

// $XDG_DATA_HOME, or ~/.local/share; the Linux stand-in for the local application-data folder.
std::string LocalAppDataFolder();

// $XDG_CONFIG_HOME, or ~/.config.
std::string ConfigFolder();

// $XDG_RUNTIME_DIR, or a 0700 folder of the user's own under /tmp.
std::string RuntimeFolder();

// Creates the folder and every missing parent (mode 0700 for new ones). True if it exists after.
bool CreateFolders(const std::string& path);

// Joins two path pieces with exactly one '/'.
std::string JoinPath(const std::string& a, const std::string& b);

bool FileExists(const std::string& path);
// A regular file (after links) that this user may run.
bool IsExecutableFile(const std::string& path);

// The process's current directory ("" when it cannot be read), and changing it; false on failure.
std::string CurrentDirectory();
bool SetCurrentDirectory(const std::string& path);

}  // namespace orvane
