#include "store/language.h"

#include <cstdio>

#include "platform/desktop_session.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "store/settings.h"

namespace orvane {

uint16_t MapSystemLanguage(uint16_t id) {
  static constexpr uint16_t kEnglishVariants[] = {0x0809, 0x0C09, 0x1009, 0x1409, 0x1809,
                                                  0x1C09, 0x2009, 0x2409, 0x2809, 0x2C09};
  for (uint16_t v : kEnglishVariants)
    if (id == v) return 0x0409;
  if (id == 0x0819) return 0x0419;
  return id;
}

LanguageFiles::LanguageFiles(RegistryStore* store, std::string program_folder,
                             std::function<uint16_t()> system_language)
    : store_(store),
      program_folder_(std::move(program_folder)),
      system_language_(system_language ? std::move(system_language)
                                       : std::function<uint16_t()>(SystemDefaultLanguageId)),
      files_(std::make_shared<CachedIniFiles>(kMaxIniFileBytes)),
      missing_text_log_(EnvironmentValue(kMissingTextLogVariable)) {}

uint32_t LanguageFiles::GetLanguageId() const {
  // A missing value, or one of another type, is reset to 0 ("not chosen") first.
  const uint32_t id = ReadDwordSetting(store_, kAppRegistryKey, kLanguageIdValue, 0);
  if (id != 0) return id;
  uint16_t chosen = MapSystemLanguage(system_language_());
  if (chosen != kSupportedLanguages[0] && chosen != kSupportedLanguages[1]) chosen = 0x0409;
  if (store_) store_->WriteDword(kAppRegistryKey, kLanguageIdValue, chosen);
  return chosen;
}

int LanguageFiles::GetLanguageIndex() const {
  const uint32_t id = GetLanguageId();
  for (int i = 0; i < 3; ++i)
    if (kSupportedLanguages[size_t(i)] == id) return i;
  return 0;
}

std::string LanguageFiles::FileName(int index) const {
  if (index < 0 || index >= int(kSupportedLanguages.size())) index = 0;
  char name[32];
  std::snprintf(name, sizeof(name), "Lang%04X.ini", unsigned(kSupportedLanguages[size_t(index)]));
  return JoinPath(program_folder_, name);
}

std::string LanguageFiles::Lookup(const std::string& section, const std::string& key,
                                  int index) const {
  // Absent keys read as "#Error"; a present key with an empty value reads as "".
  const std::string file = FileName(index);
  std::string text = files_->Read(file, section, key, kMissingText, kIniBufferSize);
  if (!missing_text_log_.empty() && text == kMissingText) {
    const size_t slash = file.find_last_of('/');
    AppendToFile(missing_text_log_, file.substr(slash == std::string::npos ? 0 : slash + 1) + " [" + section +
                                        "] " + key + "\n");
  }
  return text;
}

std::string LanguageFiles::LoadText(const std::string& key, int index) const {
  return Lookup("TEXT", key, index);
}

std::string LanguageFiles::LoadLightText(const std::string& key, int index) const {
  return Lookup("LIGHT", key, index);
}

std::string LanguageFiles::LoadModeText(int mode, int index) const {
  return Lookup("MODE", std::to_string(mode), index);
}

}  // namespace orvane
