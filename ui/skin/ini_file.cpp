#include "ui/skin/ini_file.h"

#include "platform/ini_file.h"

namespace orvane {

namespace {
constexpr size_t kValueBuffer = 2048;
}  // namespace

void CIniFile::SetPath(const std::string& path) { path_ = path; }

std::optional<std::string> CIniFile::Read(const std::string& section, const std::string& key,
                                          const std::string& default_value) const {
  std::string value = IniReadString(path_, section, key, default_value, kValueBuffer);
  if (value.empty()) return std::nullopt;
  return value;
}

}  // namespace orvane
