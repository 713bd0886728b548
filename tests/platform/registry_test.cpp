#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "temp_dir.h"

namespace orvane {
namespace {

using testing::TempDir;
constexpr const char* kKey = "Software\\ZR4410_VELMORA_Q5";

TEST(Registry, TypedValuesPersistAcrossInstances) {
  TempDir dir;
  std::string file = dir.File("sub/registry.reg");
  {
    RegistryStore reg(file);
    EXPECT_EQ(reg.Read(kKey, "dwLanguageId").type, RegType::None);
    ASSERT_TRUE(reg.WriteDword(kKey, "dwLanguageId", 0x0419));
    ASSERT_TRUE(reg.WriteString(kKey, "Name", "line1\n\"quoted\" \\ back\x01"));
  }
  RegistryStore reg(file);
  EXPECT_EQ(reg.ReadDword("software\\zr4410_velmora_q5", "DWLANGUAGEID"), 0x0419u);
  EXPECT_EQ(reg.ReadString(kKey, "name"), "line1\n\"quoted\" \\ back\x01");
  // A string is not a DWORD and vice versa: callers can tell them apart.
  EXPECT_FALSE(reg.ReadDword(kKey, "Name").has_value());
  EXPECT_FALSE(reg.ReadString(kKey, "dwLanguageId").has_value());
  ASSERT_TRUE(reg.WriteString(kKey, "dwLanguageId", "1049"));
  EXPECT_EQ(reg.Read(kKey, "dwLanguageId").type, RegType::String);
  ASSERT_TRUE(reg.DeleteValue(kKey, "dwLanguageId"));
  EXPECT_EQ(reg.Read(kKey, "dwLanguageId").type, RegType::None);
  EXPECT_TRUE(reg.KeyExists(kKey));
  EXPECT_FALSE(reg.KeyExists("Software\\Other"));
  ASSERT_TRUE(reg.CreateKey("Software\\Other"));
  EXPECT_TRUE(reg.KeyExists("Software\\Other"));
}

TEST(Registry, DamagedFilesReadAsEmptyAndCanBeRewritten) {
  TempDir dir;
  std::string file = dir.File("registry.reg");
  std::string garbage(5000, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919) & 0xFF);
  ASSERT_TRUE(WriteFileAtomic(file, garbage));
  RegistryStore reg(file);
  EXPECT_EQ(reg.Read(kKey, "x").type, RegType::None);
  ASSERT_TRUE(reg.WriteDword(kKey, "x", 5));
  EXPECT_EQ(reg.ReadDword(kKey, "x"), 5u);

  // Damaged lines are skipped; good ones around them survive.
  ASSERT_TRUE(WriteFileAtomic(file, std::string("[Software\\A]\n\"good\"=dword:0000000A\n"
                                                "\"bad\"=dword:XYZ\n\"open=\"unterminated\n"
                                                "\"long\"=dword:123456789\n[broken\n\"lost\"=\"v\"\n")));
  EXPECT_EQ(reg.ReadDword("Software\\A", "good"), 10u);
  EXPECT_EQ(reg.Read("Software\\A", "bad").type, RegType::None);
  EXPECT_EQ(reg.Read("Software\\A", "long").type, RegType::None);
  EXPECT_EQ(reg.Read("Software\\A", "lost").type, RegType::None);
}

TEST(Registry, ConcurrentWritersFromTwoProcessesLoseNothing) {
  TempDir dir;
  std::string file = dir.File("registry.reg");
  constexpr int kPerProcess = 40;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  bool ok = true;
  RegistryStore reg(file);
  for (int i = 0; i < kPerProcess; ++i)
    ok = reg.WriteDword(kKey, (child == 0 ? "child" : "parent") + std::to_string(i), uint32_t(i)) && ok;
  if (child == 0) _exit(ok ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(ok);
  for (int i = 0; i < kPerProcess; ++i) {
    EXPECT_EQ(reg.ReadDword(kKey, "child" + std::to_string(i)), uint32_t(i));
    EXPECT_EQ(reg.ReadDword(kKey, "parent" + std::to_string(i)), uint32_t(i));
  }
}

TEST(Registry, RefusesKeyPathsThatWouldBreakTheFile) {
  TempDir dir;
  RegistryStore reg(dir.File("r.reg"));
  EXPECT_FALSE(reg.WriteDword("Software\\A]\n[B", "x", 1));
  EXPECT_FALSE(reg.WriteDword("", "x", 1));
}

}  // namespace
}  // namespace orvane
