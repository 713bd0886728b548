#include "platform/program_paths.h"

#include "platform/paths.h"

namespace orvane {

namespace {
// The folder of a formed file path, split off again as the skinned dialogs want it.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}
}  // namespace

ProgramPaths FormProgramPaths(const std::string& program_file, const std::string& program_dir) {
  ProgramPaths p;
  p.program_file = program_file;
  const size_t slash = program_file.rfind('/');
  p.bare_name = slash == std::string::npos ? program_file : program_file.substr(slash + 1);
  p.program_dir = program_dir;
  p.help_folder = JoinPath(program_dir, "Help/");
  p.main_skin = JoinPath(program_dir, "Skins/Main.ini");
  p.profile_skin = JoinPath(program_dir, "Skins/Profile.ini");
  p.update_skin = JoinPath(program_dir, "Skins/UpdateDlg.ini");
  p.composite_skin = JoinPath(program_dir, "Skins/Composite.ini");
  p.main_skin_folder = FolderOf(p.main_skin);
  p.profile_skin_folder = FolderOf(p.profile_skin);
  p.update_skin_folder = FolderOf(p.update_skin);
  p.composite_skin_folder = FolderOf(p.composite_skin);
  p.package_folder = JoinPath(program_dir, "Package");
  p.daemon = JoinPath(program_dir, "KbDaemon");
  return p;
}

ProgramPaths CurrentProgramPaths() { return FormProgramPaths(ProgramFilePath(), ProgramFolder()); }

}  // namespace orvane
