// The system's default user-interface language as a Windows language identifier (LANGID), taken
// from LC_ALL, LC_MESSAGES or LANG, the first that is set and not empty.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvane {

// "en_GB.UTF-8" -> 0x0809, "ru_RU" -> 0x0419, "C"/"POSIX"/unset -> 0x0409. A language with a
// territory we do not know maps to that language's primary identifier (e.g. "de_XX" -> 0x0407);
// an unknown language maps to 0x0409.
uint16_t LanguageIdOfLocale(std::string_view locale_name);

uint16_t SystemDefaultLanguageId();

}  // namespace orvane
