#include <gtest/gtest.h>

#include "platform/format.h"
#include "platform/locale.h"

namespace orvane {
namespace {

TEST(FormatChecked, FormatsWhenConversionsMatch) {
  EXPECT_EQ(FormatChecked("Key %d", {int64_t(75)}), "Key 75");
  EXPECT_EQ(FormatChecked("Error in %s", {std::string("/a/b.orv")}), "Error in /a/b.orv");
  EXPECT_EQ(FormatChecked("%s%d", {std::string("Macro"), int64_t(3)}), "Macro3");
  EXPECT_EQ(FormatChecked("100%% %03d|%-4s|%4s|%X", {int64_t(7), std::string("ab"), std::string("cd"),
                                                      int64_t(255)}),
            "100% 007|ab  |  cd|FF");
  EXPECT_EQ(FormatChecked("%ld items", {int64_t(-5)}), "-5 items");
  EXPECT_EQ(FormatChecked("no conversions", {}), "no conversions");
}

TEST(FormatChecked, FallsBackOnAnyMismatch) {
  // Too few, too many, wrong kind, dangerous or malformed conversions never reach the formatter.
  EXPECT_EQ(FormatChecked("Key %d %d", {int64_t(1)}), "Key %d %d 1");
  EXPECT_EQ(FormatChecked("Key", {int64_t(1)}), "Key 1");
  EXPECT_EQ(FormatChecked("File %s", {int64_t(1)}), "File %s 1");
  EXPECT_EQ(FormatChecked("Bad %n", {int64_t(1)}), "Bad %n 1");
  EXPECT_EQ(FormatChecked("Wide %999999d", {int64_t(1)}), "Wide %999999d 1");
  EXPECT_EQ(FormatChecked("Star %*d", {int64_t(1)}), "Star %*d 1");
  EXPECT_EQ(FormatChecked("Trailing %", {std::string("x")}), "Trailing % x");
  EXPECT_EQ(FormatChecked("50%% off %p", {std::string("x")}), "50% off %p x");
}

TEST(FormatChecked, AcceptsReportsKinds) {
  EXPECT_TRUE(FormatAccepts("Error in %s", "s"));
  EXPECT_TRUE(FormatAccepts("at most %d, 100%%", "d"));
  EXPECT_FALSE(FormatAccepts("at most %d", "s"));
  EXPECT_FALSE(FormatAccepts("plain", "d"));
  EXPECT_TRUE(FormatAccepts("plain", ""));
  EXPECT_FALSE(FormatAccepts("%d%d", "d"));
}

TEST(Locale, MapsLocaleNamesToLanguageIds) {
  EXPECT_EQ(LanguageIdOfLocale("en_US.UTF-8"), 0x0409);
  EXPECT_EQ(LanguageIdOfLocale("en_GB.UTF-8"), 0x0809);
  EXPECT_EQ(LanguageIdOfLocale("en_AU"), 0x0C09);
  EXPECT_EQ(LanguageIdOfLocale("en_CA"), 0x1009);
  EXPECT_EQ(LanguageIdOfLocale("en_NZ"), 0x1409);
  EXPECT_EQ(LanguageIdOfLocale("en_IE"), 0x1809);
  EXPECT_EQ(LanguageIdOfLocale("en_ZA"), 0x1C09);
  EXPECT_EQ(LanguageIdOfLocale("ru_RU.UTF-8"), 0x0419);
  EXPECT_EQ(LanguageIdOfLocale("ru_MD"), 0x0819);
  EXPECT_EQ(LanguageIdOfLocale("de_DE@euro"), 0x0407);
  EXPECT_EQ(LanguageIdOfLocale("fr_FR"), 0x040C);
  EXPECT_EQ(LanguageIdOfLocale("de_XX"), 0x0407);  // unknown territory: the language's default
  EXPECT_EQ(LanguageIdOfLocale("C"), 0x0409);
  EXPECT_EQ(LanguageIdOfLocale("POSIX"), 0x0409);
  EXPECT_EQ(LanguageIdOfLocale("C.UTF-8"), 0x0409);
  EXPECT_EQ(LanguageIdOfLocale(""), 0x0409);
  EXPECT_EQ(LanguageIdOfLocale("xx_YY"), 0x0409);
}

TEST(Locale, FollowsTheEnvironmentInPrecedenceOrder) {
  setenv("LC_ALL", "", 1);
  setenv("LC_MESSAGES", "ru_RU.UTF-8", 1);
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLanguageId(), 0x0419);
  setenv("LC_ALL", "en_GB.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLanguageId(), 0x0809);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  EXPECT_EQ(SystemDefaultLanguageId(), 0x0407);
  unsetenv("LANG");
  EXPECT_EQ(SystemDefaultLanguageId(), 0x0409);
}

}  // namespace
}  // namespace orvane
