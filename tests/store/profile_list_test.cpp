// The profile manager's rows as data: rows of chosen files, the on-board rows, the paths they
// persist as and which rows may become the keyboard's profile.
#include "store/profile_list.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "store/folders.h"
#include "store/profile_store.h"
#include "temp_dir.h"

namespace orvane {
namespace {

TEST(ProfileListTest, RowsOfChosenFilesAndWhatTheyPersistAs) {
  EXPECT_EQ(ProfileRowOfPath("/home/u/Gaming.orv"), (ProfileListRow{"Gaming", "/home/u/"}));
  EXPECT_EQ(ProfileRowOfPath("/home/u/Work.v2.orv"), (ProfileListRow{"Work.v2", "/home/u/"}));  // the last extension
  EXPECT_EQ(ProfileRowOfPath("/home/u.x/NoExtension"), (ProfileListRow{"NoExtension", "/home/u.x/"}));
  EXPECT_EQ(ProfileRowOfPath("/home/u/.hidden"), (ProfileListRow{".hidden", "/home/u/"}));
  EXPECT_EQ(ProfileRowOfPath("bare.orv"), (ProfileListRow{"bare", ""}));
  EXPECT_EQ(PersistedPath({"Gaming", "/home/u/"}), "/home/u/Gaming.orv");
  // A file with another extension persists as .orv: the list is written, never read back.
  EXPECT_EQ(PersistedPath(ProfileRowOfPath("/p/Old.bak")), "/p/Old.orv");

  for (int row : {0, 1, 2}) EXPECT_TRUE(IsOnBoardRow(row));
  for (int row : {-1, 3, 4, 100}) EXPECT_FALSE(IsOnBoardRow(row));
}

TEST(ProfileListTest, OnBoardRowsNameTheCacheFileAndThePersistedListCountsTheRows) {
  testing::TempDir dir;
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);

  const std::vector<ProfileListRow> rows = OnBoardProfileRows();
  ASSERT_EQ(rows.size(), size_t(ProfileCount()));
  for (const ProfileListRow& row : rows) EXPECT_EQ(row, (ProfileListRow{"$Profile0", ProfileFolder() + "/"}));
  EXPECT_EQ(NewProfileInitialName("/New profile.orv"), dir.File("data") + "/ZR4410_VELMORA_Q5/New profile.orv");
  EXPECT_TRUE(FileExists(ProfileFolder()));

  RegistryStore registry(dir.File("registry.reg"));
  AppSettings settings(&registry, ProfileFolder());
  std::vector<ProfileListRow> list = rows;
  list.push_back({"Gaming", "/home/u/"});
  ASSERT_TRUE(PersistProfileList(settings, list));
  EXPECT_EQ(settings.ReadProfileString(kProfilesSection, "PROFILE00", ""), "4");
  EXPECT_EQ(settings.ReadProfileString(kProfilesSection, "PROFILE01", ""), ProfileFolder() + "/$Profile0.orv");
  EXPECT_EQ(settings.ReadProfileString(kProfilesSection, "PROFILE04", ""), "/home/u/Gaming.orv");
  EXPECT_EQ(settings.ReadProfileString(kProfilesSection, "PROFILE05", "-"), "-");

  if (old) setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace orvane
