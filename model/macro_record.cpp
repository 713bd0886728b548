// Macro record names, byte form and UTF conversions.
#include "model/macro_record.h"

#include <algorithm>

#include "model/byte_order.h"

namespace orvane {

std::u16string MacroName(const MacroRecord& record) {
  size_t n = 0;
  while (n < size_t(kMacroNameChars) && record.name[n] != 0) ++n;
  return std::u16string(record.name.data(), n);
}

std::string MacroNameUtf8(const MacroRecord& record) { return Utf16ToUtf8(MacroName(record)); }

void SetMacroName(MacroRecord& record, std::u16string_view name) {
  record.name.fill(0);
  size_t n = std::min(name.size(), size_t(kMacroNameChars));
  size_t zero = name.find(u'\0');
  if (zero != std::u16string_view::npos) n = std::min(n, zero);
  // Never leave half a surrogate pair at the cut.
  if (n > 0 && n < name.size() && name[n - 1] >= 0xD800 && name[n - 1] <= 0xDBFF) --n;
  std::copy_n(name.data(), n, record.name.data());
}

void SetMacroName(MacroRecord& record, std::string_view utf8_name) {
  SetMacroName(record, std::u16string_view(Utf8ToUtf16(utf8_name)));
}

void MacroRecordToBytes(const MacroRecord& record, std::span<uint8_t, kMacroRecordSize> out) {
  uint8_t* p = out.data();
  for (size_t i = 0; i < record.name.size(); ++i) StoreU16(p + 2 * i, record.name[i]);
  p[500] = record.cycles;
  p[501] = record.reserved1;
  StoreU16(p + 502, record.isNew);
  StoreU16(p + 504, record.playMode);
  StoreU16(p + 506, record.id);
  StoreU16(p + 508, record.actionCount);
  StoreU16(p + 510, record.reserved2);
  for (size_t i = 0; i < record.actions.size(); ++i) {
    uint8_t* a = p + 512 + i * kMacroActionSize;
    StoreU32(a, record.actions[i].delay);
    StoreU16(a + 4, record.actions[i].keyCode);
    StoreU16(a + 6, record.actions[i].direction);
  }
}

bool MacroRecordFromBytes(std::span<const uint8_t> bytes, MacroRecord& record) {
  if (bytes.size() < kMacroRecordSize) return false;
  const uint8_t* p = bytes.data();
  for (size_t i = 0; i < record.name.size(); ++i) record.name[i] = char16_t(LoadU16(p + 2 * i));
  record.name[kMacroNameChars] = 0;
  record.cycles = p[500];
  record.reserved1 = p[501];
  record.isNew = LoadU16(p + 502);
  record.playMode = LoadU16(p + 504);
  record.id = LoadU16(p + 506);
  record.actionCount = LoadU16(p + 508);
  record.reserved2 = LoadU16(p + 510);
  for (size_t i = 0; i < record.actions.size(); ++i) {
    const uint8_t* a = p + 512 + i * kMacroActionSize;
    record.actions[i] = MacroAction{LoadU32(a), LoadU16(a + 4), LoadU16(a + 6)};
  }
  return true;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    uint8_t c = uint8_t(text[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6 || (c >> 4) == 0xE || (c >> 3) == 0x1E) {
      size_t need = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
      uint32_t v = need == 2 ? (c & 0x1F) : need == 3 ? (c & 0x0F) : (c & 0x07);
      bool ok = i + need <= text.size();
      for (size_t k = 1; ok && k < need; ++k) {
        uint8_t cc = uint8_t(text[i + k]);
        if ((cc & 0xC0) != 0x80) ok = false;
        v = (v << 6) | (cc & 0x3F);
      }
      static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
      if (ok && v >= kMin[need] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        cp = v;
        len = need;
      }
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace orvane
