#include "store/profile_list.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "store/folders.h"
#include "store/profile_store.h"

namespace orvane {

ProfileListRow ProfileRowOfPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  ProfileListRow row;
  row.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  row.name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = row.name.find_last_of('.');
  // A leading dot names a hidden file, not an extension.
  if (dot != std::string::npos && dot > 0) row.name.resize(dot);
  return row;
}

std::string PersistedPath(const ProfileListRow& row) { return row.folder + row.name + kProfileExtension; }

std::vector<ProfileListRow> OnBoardProfileRows() {
  std::vector<ProfileListRow> rows;
  for (int i = 0; i < ProfileCount(); ++i) {
    const std::string cache = CacheFile(i);
    const size_t slash = cache.find_last_of('/');
    ProfileListRow row;
    // The cache file has no extension: its whole name is the profile's name.
    row.name = slash == std::string::npos ? cache : cache.substr(slash + 1);
    row.folder = slash == std::string::npos ? std::string() : cache.substr(0, slash + 1);
    rows.push_back(std::move(row));
  }
  return rows;
}

bool IsOnBoardRow(int row) { return row >= 0 && row < ProfileCount(); }

std::string NewProfileInitialName(const std::string& profile_new_text) {
  (void)ProfileFolder();  // creates the folder the name points into
  return JoinPath(LocalAppDataFolder(), kProfileFolderName) + profile_new_text;
}

bool PersistProfileList(AppSettings& settings, const std::vector<ProfileListRow>& rows) {
  std::vector<std::string> paths;
  paths.reserve(rows.size());
  for (const ProfileListRow& row : rows) paths.push_back(PersistedPath(row));
  return settings.WriteProfileList(paths);
}

}  // namespace orvane
