#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "tests/support/doubles.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "store/help_page.h"
#include "store/language.h"
#include "store/settings.h"
#include "temp_dir.h"

namespace orvane {
namespace {

using testing::TempDir;

// A program folder with both language files and a registry of its own.
class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteFileAtomic(dir_.File("Lang0409.ini"),
                                std::string("[TEXT]\nMAIN_CAPTION=English\nEMPTY=\n[LIGHT]\nUsb=Rate\n"
                                            "[MODE]\n5=Wave\n")));
    ASSERT_TRUE(WriteFileAtomic(dir_.File("Lang0419.ini"),
                                std::string("[TEXT]\nMAIN_CAPTION=Русский\n[MODE]\n5=Волна\n")));
  }
  LanguageFiles Files(uint16_t system) {
    return LanguageFiles(&reg_, dir_.path(), [system] { return system; });
  }
  std::optional<uint32_t> StoredId() { return reg_.ReadDword(kAppRegistryKey, kLanguageIdValue); }

  TempDir dir_;
  RegistryStore reg_{dir_.File("registry.reg")};
};

TEST_F(LanguageTest, FreshUsersGetTheirSystemLanguageOrEnglish) {
  struct Case {
    uint16_t system;
    uint16_t stored;
    const char* caption;
  } cases[] = {
      {0x0809, 0x0409, "English"},  // English (United Kingdom)
      {0x0407, 0x0409, "English"},  // German: not supported
      {0x0419, 0x0419, "Русский"},
      {0x0819, 0x0419, "Русский"},  // Russian (Moldova)
      {0x2C09, 0x0409, "English"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(reg_.DeleteValue(kAppRegistryKey, kLanguageIdValue));
    LanguageFiles files = Files(c.system);
    EXPECT_EQ(files.GetLanguageId(), c.stored) << std::hex << c.system;
    EXPECT_EQ(StoredId(), c.stored);
    EXPECT_EQ(files.LoadText("MAIN_CAPTION", files.GetLanguageIndex()), c.caption);
  }
}

TEST_F(LanguageTest, AHandSetUnsupportedIdStaysAndReadsEnglish) {
  ASSERT_TRUE(reg_.WriteDword(kAppRegistryKey, kLanguageIdValue, 0x0407));
  LanguageFiles files = Files(0x0419);
  EXPECT_EQ(files.GetLanguageId(), 0x0407);
  EXPECT_EQ(files.GetLanguageIndex(), 0);
  EXPECT_EQ(StoredId(), 0x0407u);
}

TEST_F(LanguageTest, IdsWithBitsAboveTheLanguageSelectEnglishAndStay) {
  // Cut to 16 bits these would read as "no language" and as Russian.
  for (uint32_t stored : {0x00010000u, 0x00010419u, 0xFFFF0409u, 0x80000000u}) {
    ASSERT_TRUE(reg_.WriteDword(kAppRegistryKey, kLanguageIdValue, stored));
    LanguageFiles files = Files(0x0419);
    EXPECT_EQ(files.GetLanguageId(), stored);
    EXPECT_EQ(files.GetLanguageIndex(), 0) << std::hex << stored;
    EXPECT_EQ(LanguageTextSource(files).Text("MAIN_CAPTION"), "English") << std::hex << stored;
    EXPECT_EQ(StoredId(), stored);
  }
}

TEST_F(LanguageTest, AStringTypedIdIsReplacedAsForAFreshUser) {
  ASSERT_TRUE(reg_.WriteString(kAppRegistryKey, kLanguageIdValue, "1049"));
  EXPECT_EQ(Files(0x0419).GetLanguageId(), 0x0419);
  EXPECT_EQ(reg_.Read(kAppRegistryKey, kLanguageIdValue).type, RegType::Dword);
  EXPECT_EQ(StoredId(), 0x0419u);
}

TEST_F(LanguageTest, LookupsDistinguishEmptyFromAbsentAndReadEveryTime) {
  LanguageFiles files = Files(0x0409);
  EXPECT_EQ(files.LoadText("EMPTY", 0), "");
  EXPECT_EQ(files.LoadText("NOT_THERE", 0), "#Error");
  EXPECT_EQ(files.LoadLightText("Usb", 0), "Rate");
  EXPECT_EQ(files.LoadModeText(5, 1), "Волна");
  EXPECT_EQ(files.LoadModeText(6, 1), "#Error");
  // Indexes 2 and 3 have no language; 4 and above count as 0.
  EXPECT_EQ(files.LoadText("MAIN_CAPTION", 2), "#Error");
  EXPECT_EQ(files.LoadText("MAIN_CAPTION", 7), "English");
  EXPECT_EQ(files.FileName(1), dir_.File("Lang0419.ini"));
  // An edit is seen at the next lookup, as is a language switch.
  ASSERT_TRUE(IniWriteString(dir_.File("Lang0409.ini"), "TEXT", "MAIN_CAPTION", "Edited"));
  LanguageTextSource texts(files);
  EXPECT_EQ(texts.Text("MAIN_CAPTION"), "Edited");
  ASSERT_TRUE(reg_.WriteDword(kAppRegistryKey, kLanguageIdValue, 0x0419));
  EXPECT_EQ(texts.Text("MAIN_CAPTION"), "Русский");
  EXPECT_EQ(texts.Text("MODE", "5"), "Волна");
}

TEST_F(LanguageTest, AnOversizedOrOddLanguageFileReadsAsMissing) {
  LanguageFiles files = Files(0x0409);
  std::string damaged = "[TEXT]\nMAIN_CAPTION=English\n";
  damaged.resize(kMaxIniFileBytes + 1, 'x');
  ASSERT_TRUE(WriteFileAtomic(dir_.File("Lang0409.ini"), damaged));
  EXPECT_EQ(files.LoadText("MAIN_CAPTION", 0), "#Error");
  ASSERT_EQ(std::remove(dir_.File("Lang0419.ini").c_str()), 0);
  ASSERT_EQ(mkfifo(dir_.File("Lang0419.ini").c_str(), 0600), 0);
  EXPECT_EQ(files.LoadText("MAIN_CAPTION", 1), "#Error");  // at once, without a writer
}

TEST_F(LanguageTest, WithoutARegistryTheSystemLanguageDecidesEachTime) {
  LanguageFiles files(nullptr, dir_.path(), [] { return uint16_t(0x0819); });
  EXPECT_EQ(files.GetLanguageId(), 0x0419);
  EXPECT_EQ(files.LoadText("MAIN_CAPTION", files.GetLanguageIndex()), "Русский");
  LanguageFiles missing(&reg_, dir_.File("nowhere"), [] { return uint16_t(0x0409); });
  EXPECT_EQ(missing.LoadText("MAIN_CAPTION", 0), "#Error");
}

TEST_F(LanguageTest, MissingKeysAreListedInTheDiagnosticFileFoundKeysAreNot) {
  const std::string log = dir_.File("missing.txt");
  setenv(kMissingTextLogVariable, log.c_str(), 1);
  LanguageFiles files = Files(0x0409);
  unsetenv(kMissingTextLogVariable);
  EXPECT_EQ(files.MissingTextLog(), log);
  LanguageTextSource texts(files);
  // Found texts, empty ones included, leave no trace.
  EXPECT_EQ(texts.Text("MAIN_CAPTION"), "English");
  EXPECT_EQ(texts.Text("EMPTY"), "");
  EXPECT_EQ(texts.Text("MODE", "5"), "Wave");
  EXPECT_FALSE(ReadTextFile(log).has_value());
  // Each miss is one line, per language file and section, every time it happens.
  EXPECT_EQ(texts.Text("NOT_THERE"), "#Error");
  EXPECT_EQ(texts.Text("LIGHT", "Usb2"), "#Error");
  EXPECT_EQ(files.LoadText("MAIN_CAPTION", 2), "#Error");  // a language without a file
  ASSERT_TRUE(reg_.WriteDword(kAppRegistryKey, kLanguageIdValue, 0x0419));
  EXPECT_EQ(texts.Text("EMPTY"), "#Error");
  EXPECT_EQ(texts.Text("EMPTY"), "#Error");
  EXPECT_EQ(ReadTextFile(log).value_or(""),
            "Lang0409.ini [TEXT] NOT_THERE\n"
            "Lang0409.ini [LIGHT] Usb2\n"
            "Lang0000.ini [TEXT] MAIN_CAPTION\n"
            "Lang0419.ini [TEXT] EMPTY\n"
            "Lang0419.ini [TEXT] EMPTY\n");
  // Without the variable nothing is written; a log path that is not a regular file is refused
  // and the lookup still answers.
  LanguageFiles quiet = Files(0x0409);
  EXPECT_EQ(quiet.MissingTextLog(), "");
  EXPECT_EQ(quiet.LoadText("ALSO_NOT_THERE", 0), "#Error");
  quiet.SetMissingTextLog(dir_.path());
  EXPECT_EQ(quiet.LoadText("ALSO_NOT_THERE", 0), "#Error");
  EXPECT_EQ(ReadTextFile(log).value_or("").find("ALSO_NOT_THERE"), std::string::npos);
}

TEST(HelpPage, TheTranslationBesideTheEnglishPageWhenItExists) {
  TempDir help;
  // Only the English page: every language gets it.
  ASSERT_TRUE(WriteFileAtomic(help.File("index.html"), std::string("<html></html>")));
  EXPECT_EQ(HelpPageName(help.path(), 0x0409), "index.html");
  EXPECT_EQ(HelpPageName(help.path(), 0x0419), "index.html");
  ASSERT_TRUE(WriteFileAtomic(help.File("index.ru.html"), std::string("<html></html>")));
  EXPECT_EQ(HelpPageName(help.path(), 0x0419), "index.ru.html");
  EXPECT_EQ(HelpPageName(help.path(), 0x0409), "index.html");
  // Unsupported and odd identifiers (bits above the language) get the English page.
  EXPECT_EQ(HelpPageName(help.path(), 0x0407), "index.html");
  EXPECT_EQ(HelpPageName(help.path(), 0x00010419), "index.html");
}

TEST(AppSettings, DefaultsNormalisationAndPerLanguageRecordDelay) {
  TempDir dir;
  RegistryStore reg(dir.File("registry.reg"));
  AppSettings settings(&reg, dir.File("profiles"));
  EXPECT_EQ(settings.Flip(), "0");  // fresh user
  EXPECT_TRUE(settings.WriteFlip("1"));
  EXPECT_EQ(settings.Flip(), "1");
  EXPECT_TRUE(settings.WriteFlip("2"));
  EXPECT_EQ(settings.Flip(), "0");
  EXPECT_EQ(reg.ReadString("Software\\Orvane_Quorlan\\VELMORA Q5\\PROFILES", "Flip"), "0");
  // The key picture reads the text as a number: any number but 0 is on; a toggle writes 0 or 1.
  const std::pair<const char*, bool> readings[] = {{"0", false}, {"1", true},  {"7", true},   {" 12x", true},
                                                   {"00", false}, {"-3", true}, {"abc", false}, {"", false}};
  for (const auto& [text, on] : readings) {
    ASSERT_TRUE(settings.WriteProfileString(kProfilesSection, kFlipValue, text));
    EXPECT_EQ(settings.FlipOn(), on) << '"' << text << '"';
  }
  ASSERT_TRUE(settings.WriteProfileString(kProfilesSection, kFlipValue, "7"));
  EXPECT_FALSE(settings.ToggleFlip());
  EXPECT_EQ(settings.Flip(), "0");
  EXPECT_TRUE(settings.ToggleFlip());
  EXPECT_EQ(settings.Flip(), "1");

  MapTextSource english, russian;
  english.Set("TEXT", "MACRO_ACTION_RECORD_DELAY", "Record delays");
  russian.Set("TEXT", "MACRO_ACTION_RECORD_DELAY", "Записывать задержки");
  EXPECT_EQ(settings.RecordDelay(english), "0");
  EXPECT_TRUE(settings.WriteRecordDelay(english, "1"));
  EXPECT_EQ(settings.RecordDelay(english), "1");
  EXPECT_EQ(settings.RecordDelay(russian), "0");  // another language keeps its own option
  EXPECT_TRUE(settings.WriteRecordDelay(english, "yes"));
  EXPECT_EQ(settings.RecordDelay(english), "0");

  EXPECT_TRUE(settings.WriteProfileList({"/a/one.orv", "/b/two.orv"}));
  EXPECT_EQ(settings.ReadProfileString("PROFILES", "PROFILE00", ""), "2");
  EXPECT_EQ(settings.ReadProfileString("PROFILES", "PROFILE02", ""), "/b/two.orv");

  // wskb.ini: "0" until written; the first write creates folder and file.
  EXPECT_EQ(settings.DengCheck(), "0");
  EXPECT_TRUE(settings.WriteDengCheck("1"));
  EXPECT_EQ(settings.DengCheck(), "1");
  EXPECT_EQ(IniReadString(dir.File("profiles/wskb.ini"), "KEYCOLOR", "DengCheck", ""), "1");
}

TEST(AppSettings, ReadDwordSettingRepairsMissingAndMistypedValues) {
  TempDir dir;
  RegistryStore reg(dir.File("registry.reg"));
  EXPECT_EQ(ReadDwordSetting(&reg, "Software\\K", "v", 7), 7u);
  EXPECT_EQ(reg.ReadDword("Software\\K", "v"), 7u);
  ASSERT_TRUE(reg.WriteString("Software\\K", "v", "9"));
  EXPECT_EQ(ReadDwordSetting(&reg, "Software\\K", "v", 3), 3u);
  EXPECT_EQ(reg.ReadDword("Software\\K", "v"), 3u);
  ASSERT_TRUE(reg.WriteDword("Software\\K", "v", 11));
  EXPECT_EQ(ReadDwordSetting(&reg, "Software\\K", "v", 3), 11u);
  EXPECT_EQ(ReadDwordSetting(nullptr, "Software\\K", "v", 4), 4u);
  // Without a store, settings read defaults and writes report failure.
  AppSettings lost(nullptr, dir.File("p"));
  EXPECT_EQ(lost.Flip(), "0");
  EXPECT_FALSE(lost.WriteFlip("1"));
}

}  // namespace
}  // namespace orvane
