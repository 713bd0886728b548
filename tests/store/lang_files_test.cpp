// Checks the shipped language files against the keys the program looks up: every key present and
// filled in both languages, the two files in step, format strings taking exactly the arguments
// the program passes, and no value long enough to be cut by a lookup.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/key_table.h"
#include "platform/format.h"
#include "platform/ini_file.h"
#include "store/text_keys.h"

namespace orvane {
namespace {

const char* const kSections[] = {"TEXT", "LIGHT", "MODE"};
const char* const kLanguageFiles[] = {"Lang0409.ini", "Lang0419.ini"};

std::string LangPath(const std::string& name) {
  return std::string(ORVANE_SOURCE_DIR) + "/assets/lang/" + name;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

// Number of code points, or -1 when the text is not well-formed UTF-8.
long Utf8Length(const std::string& text) {
  long count = 0;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    if (lead < 0x80) extra = 0;
    else if ((lead & 0xE0) == 0xC0 && lead >= 0xC2) extra = 1;
    else if ((lead & 0xF0) == 0xE0) extra = 2;
    else if ((lead & 0xF8) == 0xF0 && lead <= 0xF4) extra = 3;
    else return -1;
    if (i + extra >= text.size()) return -1;  // sequence runs past the end
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return -1;
    }
    i += extra + 1;
    ++count;
  }
  return count;
}

class LangFileTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    doc_ = IniDocument::Load(LangPath(GetParam()));
    ASSERT_FALSE(doc_.Keys("TEXT").empty()) << LangPath(GetParam()) << " is missing or has no TEXT";
  }
  IniDocument doc_;
};

TEST_P(LangFileTest, HoldsEveryKeyTheProgramLooksUpWithAText) {
  const std::string missing = "\x01missing";
  for (std::string_view key : kProgramTextKeys) {
    const std::string value = doc_.Get("TEXT", std::string(key), missing);
    EXPECT_NE(value, missing) << "TEXT key absent: " << key;
    EXPECT_FALSE(value.empty()) << "TEXT key empty: " << key;
  }
  // The key table names its keys by language key; a missing one would show "#Error" in the key
  // lists and tooltips.
  for (const std::string& key : KeyTableLanguageKeys()) {
    const std::string value = doc_.Get("TEXT", key, missing);
    EXPECT_NE(value, missing) << "key name absent: " << key;
    EXPECT_FALSE(value.empty()) << "key name empty: " << key;
  }
  for (std::string_view key : kLightTextKeys) {
    const std::string value = doc_.Get("LIGHT", std::string(key), missing);
    EXPECT_NE(value, missing) << "LIGHT key absent: " << key;
    EXPECT_FALSE(value.empty()) << "LIGHT key empty: " << key;
  }
  for (int code : kModeCodes) {
    const std::string value = doc_.Get("MODE", std::to_string(code), missing);
    EXPECT_NE(value, missing) << "MODE name absent: " << code;
    EXPECT_FALSE(value.empty()) << "MODE name empty: " << code;
  }
}

TEST_P(LangFileTest, FormatTextsTakeExactlyTheProgramsArgumentsAndPlainTextsHaveNoPercent) {
  for (const char* section : kSections) {
    for (const std::string& key : doc_.Keys(section)) {
      const std::string value = doc_.Get(section, key, "");
      const auto kinds = std::string(section) == "TEXT" ? FormatKindsOf(key) : std::nullopt;
      if (kinds) {
        EXPECT_TRUE(FormatAccepts(value, *kinds))
            << key << " = \"" << value << "\" must take exactly \"" << *kinds << "\"";
      } else {
        // Plain texts are never formatted; a '%' would be shown literally in one place and
        // misread wherever someone later passes the text through a formatter.
        EXPECT_EQ(value.find('%'), std::string::npos) << section << "/" << key << " = " << value;
      }
    }
  }
  // A format key that the file leaves out would fall back to "#Error" silently; the presence
  // test covers it only while the format keys stay among the program's keys.
  for (const FormatTextKey& entry : kFormatTextKeys) {
    EXPECT_NE(std::find(kProgramTextKeys.begin(), kProgramTextKeys.end(), entry.key),
              kProgramTextKeys.end())
        << entry.key;
  }
}

TEST_P(LangFileTest, ValuesAreWellFormedUtf8ShortEnoughAndNotRepeated) {
  for (const char* section : kSections) {
    const std::vector<std::string> keys = doc_.Keys(section);
    std::set<std::string> seen;
    for (const std::string& key : keys) {
      // With a repeated key only the first value is ever read; the second is a silent mistake.
      EXPECT_TRUE(seen.insert(Upper(key)).second) << section << "/" << key << " appears twice";
      const std::string value = doc_.Get(section, key, "");
      const long length = Utf8Length(value);
      EXPECT_GE(length, 0) << section << "/" << key << " is not valid UTF-8";
      EXPECT_LT(length, static_cast<long>(kIniBufferSize))
          << section << "/" << key << " would be cut by a lookup";
      // The lookup the program uses must return the whole value.
      EXPECT_EQ(IniReadString(LangPath(GetParam()), section, key, "#Error"), value)
          << section << "/" << key;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, LangFileTest, ::testing::ValuesIn(kLanguageFiles),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST(LangFiles, BothLanguagesHaveTheSameKeysInEverySection) {
  std::map<std::string, std::set<std::string>> keys[2];
  for (int i = 0; i < 2; ++i) {
    const IniDocument doc = IniDocument::Load(LangPath(kLanguageFiles[i]));
    for (const char* section : kSections) {
      for (const std::string& key : doc.Keys(section)) keys[i][section].insert(Upper(key));
    }
  }
  for (const char* section : kSections) {
    std::vector<std::string> only_first;
    std::vector<std::string> only_second;
    std::set_difference(keys[0][section].begin(), keys[0][section].end(), keys[1][section].begin(),
                        keys[1][section].end(), std::back_inserter(only_first));
    std::set_difference(keys[1][section].begin(), keys[1][section].end(), keys[0][section].begin(),
                        keys[0][section].end(), std::back_inserter(only_second));
    EXPECT_TRUE(only_first.empty()) << section << ": only in " << kLanguageFiles[0] << ": "
                                    << Join(only_first);
    EXPECT_TRUE(only_second.empty()) << section << ": only in " << kLanguageFiles[1] << ": "
                                     << Join(only_second);
    EXPECT_FALSE(keys[0][section].empty()) << section;
  }
}

}  // namespace
}  // namespace orvane
