#include "platform/locale.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace orvane {
namespace {

struct LangEntry {
  const char* name;  // "en" or "en_GB"
  uint16_t id;
};

// Territory-specific identifiers first; a language's own entry is its default sublanguage.
constexpr LangEntry kLanguages[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409},
    {"en_IE", 0x1809}, {"en_ZA", 0x1C09}, {"en_JM", 0x2009}, {"en_BZ", 0x2809}, {"en_TT", 0x2C09},
    {"en_ZW", 0x3009}, {"en_PH", 0x3409}, {"en_IN", 0x4009}, {"en_MY", 0x4409}, {"en_SG", 0x4809},
    {"ru_RU", 0x0419}, {"ru_MD", 0x0819}, {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07},
    {"de_LU", 0x1007}, {"de_LI", 0x1407}, {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C},
    {"fr_CH", 0x100C}, {"fr_LU", 0x140C}, {"fr_MC", 0x180C}, {"es_ES", 0x0C0A}, {"es_MX", 0x080A},
    {"es_AR", 0x2C0A}, {"es_CO", 0x240A}, {"es_CL", 0x340A}, {"it_IT", 0x0410}, {"it_CH", 0x0810},
    {"pt_BR", 0x0416}, {"pt_PT", 0x0816}, {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04},
    {"zh_SG", 0x1004}, {"zh_MO", 0x1404}, {"nl_NL", 0x0413}, {"nl_BE", 0x0813}, {"sv_SE", 0x041D},
    {"sv_FI", 0x081D},
    {"en", 0x0409},    {"ru", 0x0419},    {"de", 0x0407},    {"fr", 0x040C},    {"es", 0x0C0A},
    {"it", 0x0410},    {"pt", 0x0416},    {"zh", 0x0804},    {"nl", 0x0413},    {"sv", 0x041D},
    {"ja", 0x0411},    {"ko", 0x0412},    {"pl", 0x0415},    {"uk", 0x0422},    {"cs", 0x0405},
    {"tr", 0x041F},    {"fi", 0x040B},    {"da", 0x0406},    {"nb", 0x0414},    {"no", 0x0414},
    {"nn", 0x0814},    {"hu", 0x040E},    {"el", 0x0408},    {"he", 0x040D},    {"ar", 0x0401},
    {"ro", 0x0418},    {"bg", 0x0402},    {"sk", 0x041B},    {"hr", 0x041A},    {"sr", 0x081A},
    {"sl", 0x0424},    {"lt", 0x0427},    {"lv", 0x0426},    {"et", 0x0425},    {"be", 0x0423},
    {"kk", 0x043F},    {"vi", 0x042A},    {"th", 0x041E},    {"id", 0x0421},    {"ms", 0x043E},
    {"hi", 0x0439},    {"fa", 0x0429},    {"ca", 0x0403},    {"is", 0x040F},    {"ka", 0x0437},
};

}  // namespace

uint16_t LanguageIdOfLocale(std::string_view locale_name) {
  // "ll_TT.codeset@modifier": keep "ll" and "TT".
  std::string name(locale_name.substr(0, locale_name.find_first_of(".@")));
  if (name.empty() || name == "C" || name == "POSIX") return 0x0409;
  std::string lang = name.substr(0, name.find('_'));
  for (char& c : lang) c = char(std::tolower(uint8_t(c)));
  std::string full = lang;
  if (size_t us = name.find('_'); us != std::string::npos) {
    std::string terr = name.substr(us + 1);
    for (char& c : terr) c = char(std::toupper(uint8_t(c)));
    full += "_" + terr;
  }
  for (const LangEntry& e : kLanguages)
    if (full == e.name) return e.id;
  for (const LangEntry& e : kLanguages)
    if (lang == e.name) return e.id;
  return 0x0409;
}

uint16_t SystemDefaultLanguageId() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return LanguageIdOfLocale(v);
  }
  return 0x0409;
}

}  // namespace orvane
