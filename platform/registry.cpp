#include "platform/registry.h"

#include <cctype>
#include <cstdio>

#include "platform/files.h"
#include "platform/paths.h"

namespace orvane {
namespace {

constexpr const char* kHeader = "Orvane registry 1";

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = char(std::tolower(uint8_t(c)));
  return out;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (uint8_t(c) < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof(buf), "\\x%02X", unsigned(uint8_t(c)));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at line[*pos] == '"'; on success *pos is past the closing quote.
bool ReadQuoted(const std::string& line, size_t* pos, std::string* out) {
  if (*pos >= line.size() || line[*pos] != '"') return false;
  out->clear();
  for (size_t i = *pos + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i >= line.size()) return false;
    switch (line[i]) {
      case '\\': *out += '\\'; break;
      case '"': *out += '"'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      case 't': *out += '\t'; break;
      case 'x': {
        if (i + 2 >= line.size()) return false;
        int hi = HexDigit(line[i + 1]), lo = HexDigit(line[i + 2]);
        if (hi < 0 || lo < 0) return false;
        *out += char(hi * 16 + lo);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return false;
}

// A value line: "name"=dword:XXXXXXXX or "name"="text".
bool ParseValue(const std::string& line, RegistryStore::Entry* entry) {
  size_t pos = 0;
  if (!ReadQuoted(line, &pos, &entry->name)) return false;
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  if (line.compare(pos, 6, "dword:") == 0) {
    std::string hex = line.substr(pos + 6);
    if (hex.empty() || hex.size() > 8) return false;
    uint32_t v = 0;
    for (char c : hex) {
      int d = HexDigit(c);
      if (d < 0) return false;
      v = v * 16 + uint32_t(d);
    }
    entry->value = RegValue{RegType::Dword, v, {}};
    return true;
  }
  std::string text;
  if (!ReadQuoted(line, &pos, &text) || pos != line.size()) return false;
  entry->value = RegValue{RegType::String, 0, text};
  return true;
}

}  // namespace

RegistryStore::RegistryStore(std::string file)
    : file_(file.empty() ? JoinPath(ConfigFolder(), "orvane/registry.reg") : std::move(file)) {}

RegistryStore::Keys RegistryStore::Parse(const std::string& text) {
  Keys keys;
  Key* current = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    start = nl == std::string::npos ? text.size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#' || line == kHeader) continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.size() < 3 || line.back() != ']') continue;  // damaged: its values are skipped too
      std::string path = line.substr(1, line.size() - 2);
      Key& k = keys[Lower(path)];
      if (k.path.empty()) k.path = path;
      current = &k;
      continue;
    }
    Entry e;
    if (current && ParseValue(line, &e)) {
      std::string lower = Lower(e.name);
      if (!current->values.count(lower)) current->values[lower] = std::move(e);
    }
  }
  return keys;
}

std::string RegistryStore::Serialise(const Keys& keys) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [lower, key] : keys) {
    out += "\n[" + key.path + "]\n";
    for (const auto& [lname, e] : key.values) {
      out += "\"" + Escape(e.name) + "\"=";
      if (e.value.type == RegType::Dword) {
        char buf[16];
        std::snprintf(buf, sizeof(buf), "dword:%08X", unsigned(e.value.dword));
        out += buf;
      } else {
        out += "\"" + Escape(e.value.text) + "\"";
      }
      out += "\n";
    }
  }
  return out;
}

RegistryStore::Keys RegistryStore::Load() const {
  auto text = ReadTextFile(file_, 8u << 20);
  return text ? Parse(*text) : Keys{};
}

RegValue RegistryStore::Read(const std::string& key, const std::string& name) const {
  Keys keys = Load();
  auto k = keys.find(Lower(key));
  if (k == keys.end()) return {};
  auto v = k->second.values.find(Lower(name));
  return v == k->second.values.end() ? RegValue{} : v->second.value;
}

std::optional<uint32_t> RegistryStore::ReadDword(const std::string& key, const std::string& name) const {
  RegValue v = Read(key, name);
  if (v.type != RegType::Dword) return std::nullopt;
  return v.dword;
}

std::optional<std::string> RegistryStore::ReadString(const std::string& key,
                                                     const std::string& name) const {
  RegValue v = Read(key, name);
  if (v.type != RegType::String) return std::nullopt;
  return v.text;
}

bool RegistryStore::KeyExists(const std::string& key) const { return Load().count(Lower(key)) > 0; }

bool RegistryStore::Modify(const std::string& key, const std::string& name, const RegValue* value,
                           bool create_only) {
  if (key.empty() || key.find_first_of("[]\n\r") != std::string::npos) return false;
  size_t slash = file_.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !CreateFolders(file_.substr(0, slash))) return false;
  // One writer at a time across processes: read, change and replace under the lock.
  FileLock lock(file_ + ".lock", true);
  if (!lock.Held()) return false;
  Keys keys = Load();
  Key& k = keys[Lower(key)];
  if (k.path.empty()) k.path = key;
  if (!create_only) {
    if (value) {
      Entry& e = k.values[Lower(name)];
      if (e.name.empty()) e.name = name;
      e.value = *value;
    } else if (k.values.erase(Lower(name)) == 0) {
      return true;
    }
  }
  // The store is this user's own business: a new file is readable by its owner only.
  return WriteFileAtomic(file_, Serialise(keys), nullptr, 0600);
}

bool RegistryStore::WriteDword(const std::string& key, const std::string& name, uint32_t value) {
  RegValue v{RegType::Dword, value, {}};
  return Modify(key, name, &v, false);
}

bool RegistryStore::WriteString(const std::string& key, const std::string& name,
                                const std::string& value) {
  RegValue v{RegType::String, 0, value};
  return Modify(key, name, &v, false);
}

bool RegistryStore::DeleteValue(const std::string& key, const std::string& name) {
  return Modify(key, name, nullptr, false);
}

bool RegistryStore::CreateKey(const std::string& key) {
  if (KeyExists(key)) return true;
  return Modify(key, {}, nullptr, true);
}

}  // namespace orvane
