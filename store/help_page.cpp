#include "store/help_page.h"

#include "platform/paths.h"

namespace orvane {

namespace {
// Translated pages by language identifier.
const char* TranslatedPage(uint32_t language_id) {
  switch (language_id) {
    case 0x0419: return "index.ru.html";
    default: return nullptr;
  }
}
}  // namespace

std::string HelpPageName(const std::string& help_folder, uint32_t language_id) {
  const char* page = TranslatedPage(language_id);
  if (page != nullptr && FileExists(JoinPath(help_folder, page))) return page;
  return kHelpPage;
}

}  // namespace orvane
