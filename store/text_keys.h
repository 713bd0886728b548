// The vocabulary the program looks up in the language files: the keys of section "TEXT" that the
// program names itself, the labels of section "LIGHT", the lighting mode codes named in section
// "MODE", and which texts are used as format strings with which arguments. Every language file
// must provide all of them; the names of keys in the key table belong to the key table.
// Pure data, shared by the lookups, the checks of the shipped language files and the tools.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace orvane {

inline constexpr size_t kProgramTextKeyCount = 134;
inline constexpr size_t kLightTextKeyCount = 11;
inline constexpr size_t kModeCodeCount = 29;

// Keys of section "TEXT" that the program names directly (key names of the key table excluded).
extern const std::array<std::string_view, kProgramTextKeyCount> kProgramTextKeys;

// Keys of section "LIGHT": the labels of the lighting panel.
extern const std::array<std::string_view, kLightTextKeyCount> kLightTextKeys;

// Lighting mode codes that have a name in section "MODE" (the key is the code in decimal).
extern const std::array<int, kModeCodeCount> kModeCodes;

// A "TEXT" key whose value is a printf-style format, and the kinds of the arguments the program
// passes with it, in order ('d' an integer, 's' a string), as the checked formatter expects them.
struct FormatTextKey {
  std::string_view key;
  std::string_view kinds;
};

inline constexpr size_t kFormatTextKeyCount = 5;
extern const std::array<FormatTextKey, kFormatTextKeyCount> kFormatTextKeys;

// The argument kinds of a format key, or nothing for a plain text. Plain texts are shown as they
// are and never pass through a formatter, so a '%' in one has no special meaning.
std::optional<std::string_view> FormatKindsOf(std::string_view key);

}  // namespace orvane
