// Per-user settings: the application's registry key (language choice), the framework settings
// under "Software\Orvane_Quorlan\VELMORA Q5" section "PROFILES" (arrow pictures, record-delay
// option, profile manager list), and "wskb.ini" in the profile folder (lighting panel switch).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text_source.h"

namespace orvane {

inline constexpr const char* kAppRegistryKey = "Software\\ZR4410_VELMORA_Q5";
inline constexpr const char* kFrameworkRoot = "Orvane_Quorlan";
inline constexpr const char* kApplicationName = "VELMORA Q5";
inline constexpr const char* kProfilesSection = "PROFILES";
inline constexpr const char* kFlipValue = "Flip";
inline constexpr const char* kWskbIniName = "wskb.ini";

// Reads a REG_DWORD; a missing value or one of another type is replaced by the default (written
// as REG_DWORD) and the default is returned. With no store (key not opened) the default comes back
// and nothing is written.
uint32_t ReadDwordSetting(RegistryStore* store, const std::string& key, const std::string& name,
                          uint32_t default_value);

class AppSettings {
 public:
  // store may be null (registry key not opened): reads give defaults and writes are lost.
  AppSettings(RegistryStore* store, std::string profile_folder);

  // Framework settings: HKCU\Software\Orvane_Quorlan\VELMORA Q5\<section>, strings.
  std::string ReadProfileString(const std::string& section, const std::string& entry,
                                const std::string& default_value) const;
  bool WriteProfileString(const std::string& section, const std::string& entry,
                          const std::string& value);

  // "Flip": "0" or "1"; anything else is written as "0".
  std::string Flip() const;
  bool WriteFlip(const std::string& value);
  // The keyboard picture's reading of "Flip", done afresh at each use: the text as a decimal
  // number (leading digits, as the framework's integer reads do; no digits reads 0); any number
  // but 0 shows the second key block, so "7" counts as 1.
  bool FlipOn() const;
  // A flip button: writes "1" when the setting reads 0 and "0" otherwise ("7" becomes "0").
  // Returns the state now in force (the written one, even when the store lost the write).
  bool ToggleFlip();

  // The macro panel's record-delay option; its value name is the current language's text of
  // "MACRO_ACTION_RECORD_DELAY". Our language files give that key the same text in every language,
  // so the option survives a language switch; a file with another text keeps its own copy.
  std::string RecordDelay(const ITextSource& texts) const;
  bool WriteRecordDelay(const ITextSource& texts, const std::string& value);

  // The profile manager's list: PROFILE00 = the number of rows, PROFILE01.. = the paths.
  bool WriteProfileList(const std::vector<std::string>& paths);

  // "wskb.ini" in the profile folder, section "KEYCOLOR", key "DengCheck" ("0" default).
  std::string WskbIniPath() const;
  std::string DengCheck() const;
  bool WriteDengCheck(const std::string& value);

  static std::string FrameworkKey(const std::string& section);
  // "0" or "1" as given; anything else "0".
  static std::string NormaliseFlag(const std::string& value);

 private:
  RegistryStore* store_;
  std::string profile_folder_;
};

}  // namespace orvane
