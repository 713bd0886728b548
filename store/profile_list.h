// The profile manager's list as data: rows of a profile name (a file name without folder and
// extension) and the folder it lives in (ending in a separator), the three on-board rows the list
// starts with, the paths the rows persist as (PROFILE00 = the count, PROFILE01.. = folder + name +
// ".orv", written and never read back), and which rows may become the keyboard's current profile.
// No Qt here; the dialog only shows these rows.
#pragma once

#include <string>
#include <vector>

#include "store/settings.h"

namespace orvane {

struct ProfileListRow {
  std::string name;
  std::string folder;
  bool operator==(const ProfileListRow&) const = default;
};

// The row of a chosen file: the name without folder and the last extension, the folder with its
// trailing separator ("" for a bare name).
ProfileListRow ProfileRowOfPath(const std::string& path);
// What the row persists as: folder + name + ".orv".
std::string PersistedPath(const ProfileListRow& row);

// The rows the list opens with: one per on-board profile, each naming the cache file (every
// profile shares it) and the profile folder.
std::vector<ProfileListRow> OnBoardProfileRows();

// Only the first ProfileCount() rows are on-board profiles; the keyboard refuses profile numbers
// above 2, so no other row may be sent as the current profile.
bool IsOnBoardRow(int row);

// The initial name of the Add dialog: the local application-data folder, the profile folder's
// name and then, without a separator of ours, the language's "PROFILE_NEW" text (it brings its
// own, "/New profile.orv"). The profile folder is created when missing.
std::string NewProfileInitialName(const std::string& profile_new_text);

// Writes PROFILE00 = the number of rows and PROFILE01.. = the rows' persisted paths.
bool PersistProfileList(AppSettings& settings, const std::vector<ProfileListRow>& rows);

}  // namespace orvane
