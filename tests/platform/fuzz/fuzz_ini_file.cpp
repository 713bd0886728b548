// libFuzzer target: INI files as the language files and the skin settings are read, from any
// bytes. Input: the file's text, optionally followed by a 0 byte and a value to write. Lookups cut
// to the program's buffer stay whole characters; the text written back reads the same; writing or
// deleting one key leaves every other value as it was.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "platform/ini_file.h"

namespace {

using Values = std::vector<std::tuple<std::string, std::string, std::string>>;

// Every section and key as the lookups see them (the first of equal names wins).
Values Read(const orvane::IniDocument& doc) {
  Values out;
  for (const std::string& section : doc.Sections())
    for (const std::string& key : doc.Keys(section))
      out.emplace_back(section, key, doc.Get(section, key, "#Error"));
  return out;
}

size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (char c : s) n += (uint8_t(c) & 0xC0) != 0x80;
  return n;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(uint8_t(a[i])) != std::tolower(uint8_t(b[i]))) return false;
  return true;
}

// The values of every key but section/key must read as before.
void CheckOthersKept(const Values& before, const orvane::IniDocument& doc, const std::string& section,
                     const std::string& key) {
  for (const auto& [s, k, v] : before) {
    if (SameName(s, section) && SameName(k, key)) continue;
    if (doc.Get(s, k, "#Error") != v) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t zero = input.find('\0');
  const std::string text = input.substr(0, zero);
  const std::string value = zero == std::string::npos ? "1" : input.substr(zero + 1);

  IniDocument doc(text);
  const Values values = Read(doc);
  for (const char* section : {"TEXT", "LIGHT", "MODE"}) {
    for (const std::string& key : doc.Keys(section)) {
      const std::string full = doc.Get(section, key, "#Error");
      const std::string cut = TruncateUtf8(full, kIniBufferSize - 1);
      if (full.compare(0, cut.size(), cut) != 0 || CodePoints(cut) > kIniBufferSize - 1 ||
          (cut.size() < full.size() && (uint8_t(full[cut.size()]) & 0xC0) == 0x80))
        __builtin_trap();
    }
  }

  // What a write saves reads back the same.
  if (Read(IniDocument(doc.Text())) != values) __builtin_trap();

  IniDocument written = doc;
  written.Set("KEYCOLOR", "DengCheck", value);
  if (!written.Has("KEYCOLOR", "DengCheck")) __builtin_trap();
  CheckOthersKept(values, written, "KEYCOLOR", "DengCheck");
  CheckOthersKept(values, IniDocument(written.Text()), "KEYCOLOR", "DengCheck");
  if (written.Remove("KEYCOLOR", "DengCheck")) CheckOthersKept(values, written, "KEYCOLOR", "DengCheck");
  return 0;
}
