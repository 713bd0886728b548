// INI files with the semantics of the Windows private-profile functions: section and key names
// compare case-insensitively; a read gives the default when the key is absent and the empty
// string when its value is empty; results are cut to the caller's buffer (size - 1 characters);
// a write creates the file, section or key as needed and keeps the rest of the file as it was.
// Files are UTF-8 (a leading byte-order mark is skipped, and kept on a write). Lines starting with
// ';' are comments. Values have surrounding blanks (spaces, tabs, carriage returns) removed, and
// one pair of matching surrounding quotes.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files.h"

namespace orvane {

// The buffer size the program's lookups use: at most 259 characters come back.
constexpr size_t kIniBufferSize = 260;

// No INI file the program reads (language files, skin layouts, wskb.ini) comes near this; a larger
// one is damaged and reads as if it were missing.
constexpr size_t kMaxIniFileBytes = 1u << 20;

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
  // A missing, unreadable or damaged (over kMaxIniFileBytes) file gives an empty document.
  static IniDocument Load(const std::string& path);

  bool Has(const std::string& section, const std::string& key) const;
  // The raw value (blanks and quotes removed), or the default when absent.
  std::string Get(const std::string& section, const std::string& key,
                  const std::string& default_value) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  bool Remove(const std::string& section, const std::string& key);
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(const std::string& section) const;
  std::string Text() const;
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  // The file is kept as lines so that writes preserve comments, order and layout.
  std::vector<std::string> lines_;
  bool byte_order_mark_ = false;  // the text began with one; a write keeps it
  int FindSection(const std::string& section) const;  // line index of the header, or -1
  int FindKey(int section_line, const std::string& key) const;
};

// Read-only lookups in a document with the semantics of IniDocument::Get, in constant time per
// lookup: the first section of a name counts, and in it the first key of a name.
class IniIndex {
 public:
  IniIndex() = default;
  explicit IniIndex(const IniDocument& doc);
  // The value (blanks and quotes removed), or nullptr when the key is absent.
  const std::string* Find(const std::string& section, const std::string& key) const;

 private:
  using Section = std::unordered_map<std::string, std::string>;  // by lower-case key
  std::unordered_map<std::string, Section> sections_;              // by lower-case name
};

// Lookups in INI files that are parsed once per version of the file: every lookup checks the
// file's identity (device, inode, size, modification time) and parses it again only when that
// changed, so an edited file is seen at the next lookup without the file being read for every
// key. A missing, unreadable or damaged file (over max_bytes) gives the default. Thread-safe.
class CachedIniFiles {
 public:
  explicit CachedIniFiles(size_t max_bytes = kMaxIniFileBytes) : max_bytes_(max_bytes) {}

  // As IniReadString.
  std::string Read(const std::string& path, const std::string& section, const std::string& key,
                   const std::string& default_value, size_t buffer_size = kIniBufferSize) const;
  // How many times a file was parsed (for tests and benchmarks).
  size_t Parses() const;

 private:
  struct Parsed {
    FileIdentity identity;
    IniIndex index;
  };
  std::shared_ptr<const Parsed> Get(const std::string& path) const;

  size_t max_bytes_;
  mutable std::mutex mutex_;
  mutable std::map<std::string, std::shared_ptr<const Parsed>> files_;
  mutable size_t parses_ = 0;
};

}  // namespace orvane
