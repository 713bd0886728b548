// Language files: which user-interface language is in use (registry value "dwLanguageId", chosen
// from the system language the first time) and text lookups in "Lang<ID>.ini" beside the program,
// sections "TEXT", "LIGHT" and "MODE". Every lookup reads the registry value again and looks at
// the language file again, so edits take effect at the next lookup; the file is parsed again only
// when it has changed (its identity: device, inode, size, modification time). A language file
// over 1 MB is damaged and reads as missing.
//
// Diagnostics: with ORVANE_MISSING_TEXT_LOG=FILE in the environment, every lookup of a key that
// the language file does not have appends "Lang<ID>.ini [SECTION] KEY" as a line to FILE, so a
// run through every screen shows which texts are missing (an empty file: none).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ini_file.h"
#include "platform/registry.h"
#include "platform/text_source.h"

namespace orvane {

inline constexpr const char* kLanguageIdValue = "dwLanguageId";
// The environment variable that names the file where missing language keys are listed.
inline constexpr const char* kMissingTextLogVariable = "ORVANE_MISSING_TEXT_LOG";
// Supported languages by index; slots 2 and 3 are empty.
inline constexpr std::array<uint16_t, 4> kSupportedLanguages = {0x0409, 0x0419, 0, 0};

class LanguageFiles {
 public:
  // store may be null (the registry key could not be opened): the choice then follows the system
  // language at every lookup. system_language defaults to the platform's.
  LanguageFiles(RegistryStore* store, std::string program_folder,
                std::function<uint16_t()> system_language = {});

  // The stored identifier as it is (all 32 bits), or the one chosen from the system language.
  uint32_t GetLanguageId() const;
  // Index of the identifier in the supported-language table; any other identifier (including
  // one with bits above the low 16) gives 0, English.
  int GetLanguageIndex() const;

  // "<program folder>/Lang%04X.ini" for the index (4 or more, or negative, count as 0).
  std::string FileName(int index) const;

  std::string LoadText(const std::string& key, int index) const;
  std::string LoadLightText(const std::string& key, int index) const;
  std::string LoadModeText(int mode, int index) const;
  std::string Lookup(const std::string& section, const std::string& key, int index) const;

  // Where missing keys are listed; empty: nowhere. Starts as $ORVANE_MISSING_TEXT_LOG.
  void SetMissingTextLog(std::string path) { missing_text_log_ = std::move(path); }
  const std::string& MissingTextLog() const { return missing_text_log_; }

 private:
  RegistryStore* store_;
  std::string program_folder_;
  std::function<uint16_t()> system_language_;
  std::shared_ptr<CachedIniFiles> files_;
  std::string missing_text_log_;
};

// The text source the program uses: the current language, chosen again at every lookup.
class LanguageTextSource : public ITextSource {
 public:
  explicit LanguageTextSource(const LanguageFiles& files) : files_(files) {}
  std::string Text(const std::string& section, const std::string& key) const override {
    return files_.Lookup(section, key, files_.GetLanguageIndex());
  }
  using ITextSource::Text;

 private:
  const LanguageFiles& files_;
};

// The system identifier after the mapping of English and Russian variants (first match wins);
// any other identifier comes back unchanged.
uint16_t MapSystemLanguage(uint16_t id);

}  // namespace orvane
