// The per-user registry: keys under HKEY_CURRENT_USER holding typed values (REG_DWORD and REG_SZ),
// kept in one text file (by default <ConfigFolder>/orvane/registry.reg). Every call reads the file
// afresh, so changes made by another process or by hand are seen at once; every change is a
// locked read-modify-write followed by an atomic rename, so two processes never corrupt it.
// A missing file reads as empty; a damaged line is skipped; nothing here ever throws.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace orvane {

enum class RegType { None, Dword, String };

struct RegValue {
  RegType type = RegType::None;
  uint32_t dword = 0;
  std::string text;
};

class RegistryStore {
 public:
  // file: the backing file. An empty path gives <ConfigFolder>/orvane/registry.reg.
  explicit RegistryStore(std::string file = {});

  const std::string& File() const { return file_; }

  // Key paths are like "Software\\ZR4410_VELMORA_Q5"; key and value names compare
  // case-insensitively, as the registry does.
  RegValue Read(const std::string& key, const std::string& name) const;
  std::optional<uint32_t> ReadDword(const std::string& key, const std::string& name) const;
  std::optional<std::string> ReadString(const std::string& key, const std::string& name) const;

  bool WriteDword(const std::string& key, const std::string& name, uint32_t value);
  bool WriteString(const std::string& key, const std::string& name, const std::string& value);
  bool DeleteValue(const std::string& key, const std::string& name);
  bool KeyExists(const std::string& key) const;
  // Creates an empty key (as RegCreateKeyEx does); true if it exists afterwards.
  bool CreateKey(const std::string& key);

  // The whole store as parsed from the text form; exposed for tests and tools.
  struct Entry {
    std::string name;  // as first written
    RegValue value;
  };
  struct Key {
    std::string path;  // as first written
    std::map<std::string, Entry> values;  // by lower-case value name
  };
  using Keys = std::map<std::string, Key>;  // by lower-case key path
  static Keys Parse(const std::string& text);
  static std::string Serialise(const Keys& keys);

 private:
  bool Modify(const std::string& key, const std::string& name, const RegValue* value, bool create_only);
  Keys Load() const;

  std::string file_;
};

}  // namespace orvane
