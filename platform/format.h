// A checked formatter for format strings that come from files the user can edit (language files).
// The caller says which arguments it passes; the format is used only when its conversions match
// them exactly, one for one. Anything else (a missing or extra conversion, a %s where an integer
// is passed, %n, a width past 64) falls back to the format text with "%%" unescaped and the
// arguments appended after a space, so a damaged file can never crash the program or print garbage.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace orvane {

using FormatArg = std::variant<int64_t, std::string>;

// Accepted conversions: %d %i %u %x %X %c for integers (flags "-+ 0#", width and precision up to 64,
// length modifiers l, ll, h, hh ignored), %s for strings, %% for a percent sign.
std::string FormatChecked(std::string_view format, std::initializer_list<FormatArg> args);

// True if the format's conversions match the kinds given ('d' for integer, 's' for string),
// e.g. FormatAccepts("Error in %s", "s").
bool FormatAccepts(std::string_view format, std::string_view kinds);

// "0x" and the value in upper-case hex digits, at least min_digits of them (1 to 8):
// HexText(0x1E, 3) is "0x01E", HexText(0x0C45, 4) is "0x0C45".
std::string HexText(uint32_t value, int min_digits);

// Text made safe for a one-line message: control characters (C0, DEL and C1, such as a newline or
// ESC in a file name) become escapes ("\n", "\r", "\t", "\x1b", "\u009b") and bytes that are not
// UTF-8 become "\xNN", so nothing in a name can break the line or drive the terminal. Other text,
// backslashes included, is kept as it is.
std::string OneLineText(std::string_view text);

}  // namespace orvane
