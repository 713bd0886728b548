// The small reader a skinned dialog keeps for its layout file: its path (kept whole, however deep
// the program is installed) and lookups that give nothing for an empty or missing value.
#pragma once

#include <optional>
#include <string>

namespace orvane {

class CIniFile {
 public:
  virtual ~CIniFile() = default;

  void SetPath(const std::string& path);
  const std::string& path() const { return path_; }

  // The value (at most 2,047 characters) when it is not empty, else nothing. The default is what
  // an absent key reads as, so an empty default gives nothing for an absent key.
  std::optional<std::string> Read(const std::string& section, const std::string& key,
                                  const std::string& default_value = {}) const;

 private:
  std::string path_;
};

}  // namespace orvane
