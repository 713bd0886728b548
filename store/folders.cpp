#include "store/folders.h"

#include "platform/paths.h"

namespace orvane {

std::string ProfileFolder() {
  std::string folder = JoinPath(LocalAppDataFolder(), kProfileFolderName);
  CreateFolders(folder);
  return folder;
}

}  // namespace orvane
