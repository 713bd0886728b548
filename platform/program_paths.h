// Every path the program forms from its own location: the help folder, the four skin layout files
// with the folders holding them, the package folder and the companion daemon. All absolute, all
// formed once at start-up and kept whole (no length limit: a program installed deep in the file
// system still finds its files).
#pragma once

#include <string>

namespace orvane {

struct ProgramPaths {
  std::string program_file;  // full path of the running executable
  std::string bare_name;     // its file name, for the instance lookup
  std::string program_dir;   // its folder
  std::string help_folder;   // "<dir>/Help/"
  std::string main_skin, main_skin_folder;
  std::string profile_skin, profile_skin_folder;
  std::string update_skin, update_skin_folder;
  std::string composite_skin, composite_skin_folder;
  std::string package_folder;  // "<dir>/Package"
  std::string daemon;          // "<dir>/KbDaemon"
};

// The paths of a program at program_file whose files live in program_dir (normally the folder of
// program_file; tests and the build tree may point elsewhere).
ProgramPaths FormProgramPaths(const std::string& program_file, const std::string& program_dir);

// The running program's: ProgramFilePath() and ProgramFolder().
ProgramPaths CurrentProgramPaths();

}  // namespace orvane
