#include "store/settings.h"

#include <cstdio>

#include "platform/ini_file.h"
#include "platform/paths.h"

namespace orvane {

uint32_t ReadDwordSetting(RegistryStore* store, const std::string& key, const std::string& name,
                          uint32_t default_value) {
  if (!store) return default_value;
  if (auto v = store->ReadDword(key, name)) return *v;
  store->WriteDword(key, name, default_value);
  return default_value;
}

AppSettings::AppSettings(RegistryStore* store, std::string profile_folder)
    : store_(store), profile_folder_(std::move(profile_folder)) {}

std::string AppSettings::FrameworkKey(const std::string& section) {
  return std::string("Software\\") + kFrameworkRoot + "\\" + kApplicationName + "\\" + section;
}

std::string AppSettings::NormaliseFlag(const std::string& value) {
  return (value == "0" || value == "1") ? value : "0";
}

std::string AppSettings::ReadProfileString(const std::string& section, const std::string& entry,
                                           const std::string& default_value) const {
  if (!store_) return default_value;
  auto v = store_->ReadString(FrameworkKey(section), entry);
  return v ? *v : default_value;
}

bool AppSettings::WriteProfileString(const std::string& section, const std::string& entry,
                                     const std::string& value) {
  return store_ && store_->WriteString(FrameworkKey(section), entry, value);
}

std::string AppSettings::Flip() const { return ReadProfileString(kProfilesSection, kFlipValue, "0"); }

bool AppSettings::WriteFlip(const std::string& value) {
  return WriteProfileString(kProfilesSection, kFlipValue, NormaliseFlag(value));
}

bool AppSettings::FlipOn() const {
  const std::string text = Flip();
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  // Leading digits only, and only whether any of them is not zero: no overflow to care about.
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (text[i] != '0') return true;
  return false;
}

bool AppSettings::ToggleFlip() {
  const bool next = !FlipOn();
  WriteFlip(next ? "1" : "0");
  return next;
}

std::string AppSettings::RecordDelay(const ITextSource& texts) const {
  return ReadProfileString(kProfilesSection, texts.Text("MACRO_ACTION_RECORD_DELAY"), "0");
}

bool AppSettings::WriteRecordDelay(const ITextSource& texts, const std::string& value) {
  return WriteProfileString(kProfilesSection, texts.Text("MACRO_ACTION_RECORD_DELAY"),
                            NormaliseFlag(value));
}

bool AppSettings::WriteProfileList(const std::vector<std::string>& paths) {
  char name[32];
  bool ok = WriteProfileString(kProfilesSection, "PROFILE00", std::to_string(paths.size()));
  for (size_t i = 0; i < paths.size(); ++i) {
    std::snprintf(name, sizeof(name), "PROFILE%02zu", i + 1);
    ok = WriteProfileString(kProfilesSection, name, paths[i]) && ok;
  }
  return ok;
}

std::string AppSettings::WskbIniPath() const {
  CreateFolders(profile_folder_);
  return JoinPath(profile_folder_, kWskbIniName);
}

std::string AppSettings::DengCheck() const {
  return IniReadString(WskbIniPath(), "KEYCOLOR", "DengCheck", "0", kIniBufferSize);
}

bool AppSettings::WriteDengCheck(const std::string& value) {
  return IniWriteString(WskbIniPath(), "KEYCOLOR", "DengCheck", value);
}

}  // namespace orvane
