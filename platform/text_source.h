// Where user-visible texts come from: the language files, looked up by section and key at each use.
// The core takes this interface so that it never depends on how texts are stored; tests supply
// their own texts (doubles.h).
#pragma once

#include <string>

namespace orvane {

class ITextSource {
 public:
  virtual ~ITextSource() = default;
  // The text of key in section ("TEXT", "LIGHT" or "MODE") of the current language; "#Error" when
  // the key is absent, the empty string when its value is empty.
  virtual std::string Text(const std::string& section, const std::string& key) const = 0;

  std::string Text(const std::string& key) const { return Text("TEXT", key); }
};

// The text shown for a key that no language file has.
inline constexpr const char* kMissingText = "#Error";

}  // namespace orvane
