// INI files with the semantics of the Windows private-profile functions: section and key names
// compare case-insensitively; a read gives the default when the key is absent and the empty
// string when its value is empty; results are cut to the caller's buffer (size - 1 characters);
// a write creates the file, section or key as needed and keeps the rest of the file as it was.
// Files are UTF-8 (a leading byte-order mark is skipped, and kept on a write). Lines starting with
// ';' are comments. Values have surrounding blanks (spaces, tabs, carriage returns) removed, and
// one pair of matching surrounding quotes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvane {

// The buffer size the program's lookups use: at most 259 characters come back.
constexpr size_t kIniBufferSize = 260;

std::string IniReadString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& default_value, size_t buffer_size = kIniBufferSize);
// Windows GetPrivateProfileInt: leading decimal digits (with an optional sign), or the default.
int IniReadInt(const std::string& path, const std::string& section, const std::string& key,
               int default_value);
bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);
bool IniDeleteKey(const std::string& path, const std::string& section, const std::string& key);

// Cuts UTF-8 text to at most max_chars code points, never inside a character.
std::string TruncateUtf8(const std::string& text, size_t max_chars);

// The same semantics on a file's text held in memory (used by the functions above and by callers
// that read a file once and look up many keys).
class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(const std::string& text);
  static IniDocument Load(const std::string& path);  // a missing file gives an empty document

  bool Has(const std::string& section, const std::string& key) const;
  // The raw value (blanks and quotes removed), or the default when absent.
  std::string Get(const std::string& section, const std::string& key,
                  const std::string& default_value) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  bool Remove(const std::string& section, const std::string& key);
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(const std::string& section) const;
  std::string Text() const;

 private:
  // The file is kept as lines so that writes preserve comments, order and layout.
  std::vector<std::string> lines_;
  bool byte_order_mark_ = false;  // the text began with one; a write keeps it
  int FindSection(const std::string& section) const;  // line index of the header, or -1
  int FindKey(int section_line, const std::string& key) const;
};

}  // namespace orvane
