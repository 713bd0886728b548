// libFuzzer target: the registry file as every read parses it (a user may edit it by hand, and a
// crash may have left anything in it). Whatever is parsed must be written back as text that
// parses to the same keys and values and writes the same again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace {

bool SameKeys(const orvane::RegistryStore::Keys& a, const orvane::RegistryStore::Keys& b) {
  if (a.size() != b.size()) return false;
  for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
    if (i->first != j->first || i->second.path != j->second.path ||
        i->second.values.size() != j->second.values.size())
      return false;
    for (auto v = i->second.values.begin(), w = j->second.values.begin();
         v != i->second.values.end(); ++v, ++w) {
      const orvane::RegValue& x = v->second.value;
      const orvane::RegValue& y = w->second.value;
      if (v->first != w->first || v->second.name != w->second.name || x.type != y.type ||
          x.dword != y.dword || x.text != y.text)
        return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using orvane::RegistryStore;
  const RegistryStore::Keys keys =
      RegistryStore::Parse(std::string(reinterpret_cast<const char*>(data), size));
  const std::string written = RegistryStore::Serialise(keys);
  const RegistryStore::Keys again = RegistryStore::Parse(written);
  if (!SameKeys(keys, again)) __builtin_trap();
  if (RegistryStore::Serialise(again) != written) __builtin_trap();
  return 0;
}
