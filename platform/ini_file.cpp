#include "platform/ini_file.h"

#include <cctype>

#include "platform/files.h"

namespace orvane {
namespace {

// Blanks are spaces and tabs, and carriage returns: a line may end in more than the one the line
// break takes, and what a write saves must read as it did.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Names compare case-insensitively in ASCII; other bytes (UTF-8) must match exactly.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(uint8_t(a[i])) != std::tolower(uint8_t(b[i]))) return false;
  return true;
}

std::string LowerAscii(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = char(std::tolower(uint8_t(c)));
  return out;
}

bool IsComment(const std::string& trimmed) { return !trimmed.empty() && trimmed[0] == ';'; }

// "[name]" -> name; false for any other line.
bool SectionName(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t[0] != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

// "key = value" -> key, value; false for lines without '=' and comments.
bool KeyValue(const std::string& line, std::string* key, std::string* value) {
  std::string t = Trim(line);
  if (t.empty() || IsComment(t) || t[0] == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(t.substr(0, eq));
  if (value) *value = Trim(t.substr(eq + 1));
  return true;
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

std::string OneLine(std::string v) {
  for (char& c : v)
    if (c == '\n' || c == '\r') c = ' ';
  return v;
}

}  // namespace

std::string TruncateUtf8(const std::string& text, size_t max_chars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((uint8_t(text[i]) & 0xC0) != 0x80) {  // a character starts here
      if (chars == max_chars) return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}

IniDocument::IniDocument(const std::string& text) {
  size_t start = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    byte_order_mark_ = true;
    start = 3;
  }
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (nl == std::string::npos) {
      if (!line.empty()) lines_.push_back(line);
      break;
    }
    lines_.push_back(line);
    start = nl + 1;
  }
}

IniDocument IniDocument::Load(const std::string& path) {
  auto text = ReadTextFile(path, kMaxIniFileBytes);
  return text ? IniDocument(*text) : IniDocument();
}

int IniDocument::FindSection(const std::string& section) const {
  std::string name;
  for (size_t i = 0; i < lines_.size(); ++i)
    if (SectionName(lines_[i], &name) && SameName(name, section)) return int(i);
  return -1;
}

int IniDocument::FindKey(int section_line, const std::string& key) const {
  std::string name, k;
  for (size_t i = size_t(section_line) + 1; i < lines_.size(); ++i) {
    if (SectionName(lines_[i], &name)) break;
    if (KeyValue(lines_[i], &k, nullptr) && SameName(k, key)) return int(i);
  }
  return -1;
}

bool IniDocument::Has(const std::string& section, const std::string& key) const {
  int s = FindSection(section);
  return s >= 0 && FindKey(s, key) >= 0;
}

std::string IniDocument::Get(const std::string& section, const std::string& key,
                             const std::string& default_value) const {
  int s = FindSection(section);
  if (s < 0) return default_value;
  int k = FindKey(s, key);
  if (k < 0) return default_value;
  std::string name, value;
  KeyValue(lines_[size_t(k)], &name, &value);
  return Unquote(value);
}

void IniDocument::Set(const std::string& section, const std::string& key, const std::string& value) {
  std::string line = OneLine(key) + "=" + OneLine(value);
  int s = FindSection(section);
  if (s < 0) {
    lines_.push_back("[" + OneLine(section) + "]");
    lines_.push_back(line);
    return;
  }
  if (int k = FindKey(s, key); k >= 0) {
    lines_[size_t(k)] = line;
    return;
  }
  // After the section's last non-blank line, so blank separators stay between sections.
  size_t insert = size_t(s) + 1;
  std::string name;
  for (size_t i = size_t(s) + 1; i < lines_.size() && !SectionName(lines_[i], &name); ++i)
    if (!Trim(lines_[i]).empty()) insert = i + 1;
  lines_.insert(lines_.begin() + long(insert), line);
}

bool IniDocument::Remove(const std::string& section, const std::string& key) {
  int s = FindSection(section);
  if (s < 0) return false;
  int k = FindKey(s, key);
  if (k < 0) return false;
  lines_.erase(lines_.begin() + k);
  return true;
}

std::vector<std::string> IniDocument::Sections() const {
  std::vector<std::string> out;
  std::string name;
  for (const std::string& l : lines_)
    if (SectionName(l, &name)) out.push_back(name);
  return out;
}

std::vector<std::string> IniDocument::Keys(const std::string& section) const {
  std::vector<std::string> out;
  int s = FindSection(section);
  if (s < 0) return out;
  std::string name, k;
  for (size_t i = size_t(s) + 1; i < lines_.size(); ++i) {
    if (SectionName(lines_[i], &name)) break;
    if (KeyValue(lines_[i], &k, nullptr)) out.push_back(k);
  }
  return out;
}

std::string IniDocument::Text() const {
  std::string out = byte_order_mark_ ? "\xEF\xBB\xBF" : "";
  for (const std::string& l : lines_) out += l + "\n";
  return out;
}

IniIndex::IniIndex(const IniDocument& doc) {
  Section* current = nullptr;
  std::string name, key, value;
  for (const std::string& line : doc.Lines()) {
    if (SectionName(line, &name)) {
      // Only the first section of a name is ever looked in.
      auto [it, added] = sections_.try_emplace(LowerAscii(name));
      current = added ? &it->second : nullptr;
      continue;
    }
    if (current && KeyValue(line, &key, &value)) current->try_emplace(LowerAscii(key), Unquote(value));
  }
}

const std::string* IniIndex::Find(const std::string& section, const std::string& key) const {
  auto s = sections_.find(LowerAscii(section));
  if (s == sections_.end()) return nullptr;
  auto k = s->second.find(LowerAscii(key));
  return k == s->second.end() ? nullptr : &k->second;
}

std::shared_ptr<const CachedIniFiles::Parsed> CachedIniFiles::Get(const std::string& path) const {
  InputFile file(path);
  std::lock_guard lock(mutex_);
  if (!file.IsOpen()) {
    files_.erase(path);
    return nullptr;
  }
  auto it = files_.find(path);
  if (it != files_.end() && it->second->identity == file.Identity()) return it->second;
  files_.erase(path);
  auto bytes = file.ReadAll(max_bytes_);
  if (!bytes) return nullptr;
  ++parses_;
  auto parsed = std::make_shared<Parsed>();
  parsed->identity = file.Identity();
  parsed->index = IniIndex(IniDocument(std::string(bytes->begin(), bytes->end())));
  files_[path] = parsed;
  return parsed;
}

std::string CachedIniFiles::Read(const std::string& path, const std::string& section,
                                 const std::string& key, const std::string& default_value,
                                 size_t buffer_size) const {
  if (buffer_size == 0) return {};
  const std::shared_ptr<const Parsed> parsed = Get(path);
  const std::string* value = parsed ? parsed->index.Find(section, key) : nullptr;
  return TruncateUtf8(value ? *value : default_value, buffer_size - 1);
}

size_t CachedIniFiles::Parses() const {
  std::lock_guard lock(mutex_);
  return parses_;
}

std::string IniReadString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& default_value, size_t buffer_size) {
  if (buffer_size == 0) return {};
  return TruncateUtf8(IniDocument::Load(path).Get(section, key, default_value), buffer_size - 1);
}

int IniReadInt(const std::string& path, const std::string& section, const std::string& key,
               int default_value) {
  std::string v = IniDocument::Load(path).Get(section, key, {});
  size_t i = 0;
  bool neg = false;
  if (i < v.size() && (v[i] == '-' || v[i] == '+')) neg = v[i++] == '-';
  if (i >= v.size() || !std::isdigit(uint8_t(v[i]))) return default_value;
  long long n = 0;
  while (i < v.size() && std::isdigit(uint8_t(v[i])) && n < (1LL << 33)) n = n * 10 + (v[i++] - '0');
  return int(uint32_t(neg ? -n : n));
}

bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
  IniDocument doc = IniDocument::Load(path);
  doc.Set(section, key, value);
  return WriteFileAtomic(path, doc.Text());
}

bool IniDeleteKey(const std::string& path, const std::string& section, const std::string& key) {
  IniDocument doc = IniDocument::Load(path);
  if (!doc.Remove(section, key)) return true;
  return WriteFileAtomic(path, doc.Text());
}

}  // namespace orvane
