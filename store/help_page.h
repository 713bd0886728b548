// Which help page the help command opens: "index.html" in the Help folder is the English page;
// a translation sits beside it as "index.<language>.html" (index.ru.html for Russian) and is opened
// instead when the user-interface language is that language and the page is there.
#pragma once

#include <cstdint>
#include <string>

namespace orvane {

inline constexpr const char* kHelpPage = "index.html";

// The page's file name inside help_folder for the language identifier (as GetLanguageId gives
// it): the translated page when one exists for that language, otherwise kHelpPage.
std::string HelpPageName(const std::string& help_folder, uint32_t language_id);

}  // namespace orvane
