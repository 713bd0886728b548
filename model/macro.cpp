// Macro creation, the macro area and macro/key consistency.
#include "model/macro.h"

#include <algorithm>

#include "model/byte_order.h"
#include "model/key_table.h"
#include "platform/format.h"
#include "platform/tick.h"

namespace orvane {
namespace {

// Case folding for name comparisons: ASCII, Latin-1 and Cyrillic, which is what our languages use.
char16_t FoldCase(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return char16_t(c + 0x20);
  if (c >= 0x410 && c <= 0x42F) return char16_t(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return char16_t(c + 0x50);
  return c;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (FoldCase(text[i]) != FoldCase(prefix[i])) return false;
  return true;
}

std::u16string NumberedName(const ITextSource& texts, int64_t number) {
  return Utf8ToUtf16(texts.Text("MACRO_NEW_PREFIX") + std::to_string(number));
}

size_t BlockSize(const MacroRecord& m, bool with_names) {
  size_t size = 4 + 4 * size_t(ValidActionCount(m));
  if (with_names) size += 2 * MacroName(m).size();
  return size;
}

// Writes into the area without ever passing its end.
class AreaWriter {
 public:
  explicit AreaWriter(std::vector<uint8_t>& area) : area_(area) {}
  void U8(size_t at, uint8_t v) {
    if (at < area_.size()) area_[at] = v;
  }
  void U16(size_t at, uint16_t v) {
    U8(at, uint8_t(v));
    U8(at + 1, uint8_t(v >> 8));
  }

 private:
  std::vector<uint8_t>& area_;
};

}  // namespace

uint16_t NextFreeMacroId(std::span<const MacroRecord> list) {
  for (uint16_t id = 1; id <= kMaxMacros; ++id) {
    bool used = std::any_of(list.begin(), list.end(), [id](const MacroRecord& m) { return m.id == id; });
    if (!used) return id;
  }
  return 0;
}

MacroRecord NewMacro(std::u16string_view name, std::span<const MacroRecord> list) {
  MacroRecord record{};
  SetMacroName(record, name);
  record.cycles = 1;
  record.isNew = 1;
  record.playMode = 0;
  record.id = NextFreeMacroId(list);
  record.actionCount = 0;
  return record;
}

std::u16string GenerateMacroNameAmong(int& counter, std::span<const std::u16string> names,
                                      const ITextSource& texts,
                                      const std::function<void(uint32_t ms)>& wait) {
  if (names.empty()) counter = 0;
  for (;;) {
    ++counter;
    std::u16string name = NumberedName(texts, counter);
    bool taken = std::any_of(names.begin(), names.end(),
                             [&](const std::u16string& other) { return StartsWithNoCase(other, name); });
    if (!taken) return name;
    if (wait) wait(16);
  }
}

std::u16string GenerateMacroName(int& counter, std::span<const MacroRecord> list,
                                 const ITextSource& texts,
                                 const std::function<void(uint32_t ms)>& wait) {
  std::vector<std::u16string> names;
  names.reserve(list.size());
  for (const MacroRecord& m : list) names.push_back(MacroName(m));
  return GenerateMacroNameAmong(counter, std::span<const std::u16string>(names), texts, wait);
}

bool NameBeginsWith(std::u16string_view name, std::u16string_view prefix) {
  return StartsWithNoCase(name, prefix);
}

std::u16string GenerateMacroName(int& counter, std::span<const MacroRecord> list,
                                 const ITextSource& texts) {
  return GenerateMacroName(counter, list, texts, [](uint32_t ms) { SleepMs(ms); });
}

uint32_t NormalizeTypedDelay(int64_t typed, bool* over_limit) {
  bool over = typed > int64_t(kMaxMacroDelay);
  if (over_limit) *over_limit = over;
  int64_t v = over ? int64_t(kMaxMacroDelay) : std::max<int64_t>(typed, 0);
  return uint32_t(v - v % 10);
}

uint8_t ClampCycles(int64_t typed) { return uint8_t(std::clamp<int64_t>(typed, 1, 255)); }

std::optional<int64_t> LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  constexpr int64_t kSaturated = int64_t(1) << 53;  // far beyond any limit a field checks
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min(kSaturated, value * 10 + (text[i] - '0'));
  return negative ? -value : value;
}

uint32_t TypedDelayOfText(std::string_view text, bool* over_limit) {
  return NormalizeTypedDelay(LeadingNumber(text).value_or(0), over_limit);
}

uint8_t CyclesOfText(std::string_view text) { return ClampCycles(LeadingNumber(text).value_or(1)); }

std::optional<std::string> CyclesFieldCorrection(std::string_view text) {
  const std::optional<int64_t> n = LeadingNumber(text);
  if (!n) return std::nullopt;
  if (*n < 1) return "1";
  if (*n > 255) return "255";
  return std::nullopt;
}

MacroAreaSize MacroAreaSizes(std::span<const MacroRecord> macros) {
  MacroAreaSize s;
  s.withoutNames = kMacroAreaHeaderSize + 2 * macros.size();
  s.withNames = s.withoutNames;
  for (const MacroRecord& m : macros) {
    s.withoutNames += BlockSize(m, false);
    s.withNames += BlockSize(m, true);
  }
  return s;
}

MacroAreaSize MacroAreaSizes(const ProfileInstance& instance) {
  auto lock = instance.Acquire();
  return MacroAreaSizes(instance.Config().macros);
}

MacroAreaFit FitMacroArea(const MacroAreaSize& sizes, size_t capacity) {
  if (sizes.withNames <= capacity) return MacroAreaFit::WithNames;
  if (sizes.withoutNames <= capacity) return MacroAreaFit::WithoutNames;
  return MacroAreaFit::TooLong;
}

MacroMemoryUse MacroMemoryUseOf(std::span<const MacroRecord> macros, size_t capacity) {
  MacroMemoryUse use;
  use.sizes = MacroAreaSizes(macros);
  use.available = capacity;
  use.fit = FitMacroArea(use.sizes, capacity);
  use.used = use.fit == MacroAreaFit::WithNames ? use.sizes.withNames : use.sizes.withoutNames;
  return use;
}

DeviceKeyForm MacroKeyFormOf(uint16_t key_code) {
  DeviceUsage u = DeviceUsageOf(key_code);
  switch (u.kind) {
    case kUsageKeyboard:
      if (uint8_t bit = ModifierBitOfCode(key_code)) return {2, 1, bit};
      return {2, 2, uint8_t(u.value)};
    case kUsageConsumer:
      return {3, uint8_t(u.value), uint8_t(u.value >> 8)};
    case kUsageSystem:
      return {4, uint8_t(u.value), uint8_t(u.value >> 8)};
    case kUsageMouse:
      switch (u.value) {
        case 0xF1: return {1, 1, 1};
        case 0xF2: return {1, 1, 2};
        case 0xF3: return {1, 1, 4};
        case 0xF4: return {1, 5, 0x01};
        case 0xF5: return {1, 5, 0xFF};
        default: return {};
      }
    default:
      return {};
  }
}

EncodedMacroAction EncodeMacroAction(const MacroAction& action) {
  DeviceKeyForm f = MacroKeyFormOf(action.keyCode);
  uint32_t units = std::min<uint32_t>(action.delay / 10, 0xFFF);
  uint16_t w0 = uint16_t(units | (uint32_t(f.kind & 7) << 12) | (action.direction != kRelease ? 0x8000 : 0));
  return {w0, uint16_t(f.b1 | (f.b2 << 8))};
}

MacroAction DecodeMacroAction(EncodedMacroAction e) {
  MacroAction a;
  a.delay = uint32_t(e.word0 & 0xFFF) * 10;
  a.keyCode = KeyCodeOfDefaultEntry(uint8_t((e.word0 >> 12) & 7), uint8_t(e.word1), uint8_t(e.word1 >> 8));
  a.direction = (e.word0 & 0x8000) ? kPress : kRelease;
  return a;
}

std::vector<uint8_t> EncodeMacroArea(std::span<const MacroRecord> macros, size_t area_size,
                                     bool with_names) {
  std::vector<uint8_t> area(area_size, 0);
  AreaWriter w(area);
  const size_t n = macros.size();
  w.U16(0, kMacroAreaMagic);
  w.U16(2, uint16_t(area_size));
  w.U16(4, uint16_t(n));
  w.U16(6, with_names ? 1 : 0);
  size_t offset = kMacroAreaHeaderSize + 2 * n;
  for (size_t p = 0; p < n; ++p) {
    const MacroRecord& m = macros[p];
    const int count = ValidActionCount(m);
    const std::u16string name = with_names ? MacroName(m) : std::u16string();
    w.U16(kMacroAreaHeaderSize + 2 * p, uint16_t(offset));
    w.U16(offset, uint16_t(count));
    w.U8(offset + 2, m.cycles);
    w.U8(offset + 3, uint8_t(name.size()));
    size_t at = offset + 4;
    for (int i = 0; i < count && at < area_size; ++i, at += 4) {
      EncodedMacroAction e = EncodeMacroAction(m.actions[size_t(i)]);
      w.U16(at, e.word0);
      w.U16(at + 2, e.word1);
    }
    at = offset + 4 + 4 * size_t(count);
    for (size_t i = 0; i < name.size() && at < area_size; ++i, at += 2) w.U16(at, name[i]);
    offset += 4 + 4 * size_t(count) + 2 * name.size();
  }
  return area;
}

std::vector<uint8_t> EncodeMacroArea(const ProfileInstance& instance, size_t area_size,
                                     bool with_names) {
  auto lock = instance.Acquire();
  return EncodeMacroArea(instance.Config().macros, area_size, with_names);
}

std::vector<MacroRecord> DecodeMacroArea(std::span<const uint8_t> area, const ITextSource& texts) {
  std::vector<MacroRecord> macros;
  if (area.size() < kMacroAreaHeaderSize || LoadU16(area.data()) != kMacroAreaMagic) return macros;
  const size_t size = area.size();
  size_t n = std::min<size_t>(LoadU16(area.data() + 4), kMaxMacros);
  macros.resize(n);
  for (size_t p = 0; p < n; ++p) {
    MacroRecord& m = macros[p];
    m.id = uint16_t(p + 1);
    m.cycles = 1;
    const size_t entry = kMacroAreaHeaderSize + 2 * p;
    const size_t block = entry + 2 <= size ? LoadU16(area.data() + entry) : size;
    size_t name_chars = 0;
    if (block + 4 <= size) {
      const uint8_t* b = area.data() + block;
      const size_t declared = LoadU16(b);
      m.cycles = b[2];
      name_chars = b[3];
      const size_t room = (size - block - 4) / 4;
      const size_t count = std::min({declared, size_t(kMaxMacroActions), room});
      m.actionCount = uint16_t(count);
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* a = b + 4 + 4 * i;
        m.actions[i] = DecodeMacroAction({LoadU16(a), LoadU16(a + 2)});
      }
      // The name follows all declared actions; only the characters inside the area are taken.
      const size_t name_at = block + 4 + 4 * declared;
      std::u16string name;
      for (size_t i = 0; i < name_chars && name_at + 2 * i + 2 <= size; ++i)
        name.push_back(char16_t(LoadU16(area.data() + name_at + 2 * i)));
      SetMacroName(m, std::u16string_view(name));
      name_chars = MacroName(m).size();
    }
    if (name_chars == 0) SetMacroName(m, std::u16string_view(NumberedName(texts, int64_t(p) + 1)));
  }
  return macros;
}

uint16_t MacroIdAtPosition(const ProfileInstance& editing, int position) {
  auto lock = editing.Acquire();
  const auto& macros = editing.Config().macros;
  if (position < 0 || size_t(position) >= macros.size()) return 0;
  return macros[size_t(position)].id;
}

bool IsMacroAssigned(const ProfileInstance& editing, uint16_t id) {
  auto lock = editing.Acquire();
  const ProfileImage* image = editing.Config().image.get();
  if (!image) return false;
  return std::any_of(image->entries.begin(), image->entries.end(), [id](const KeyAction& e) {
    return e.type == kActionPlayMacro && e.value == id;
  });
}

bool ConfirmMacroDelete(const MacroRecord& record, const ProfileInstance& editing,
                        const ITextSource& texts, IPrompt& prompt) {
  if (record.isNew == 1) return true;
  if (!IsMacroAssigned(editing, record.id)) return true;
  return prompt.AskYesNo(texts.Text("MACRO_DELETE_CONFIRM_OF_KEYS"));
}

bool ReconcileMacroAssignments(ProfileInstance& editing, std::vector<MacroRecord> list) {
  auto lock = editing.Acquire();
  bool changed = false;
  if (ProfileImage* image = editing.Config().image.get()) {
    for (KeyAction& e : image->entries) {
      if (e.type != kActionPlayMacro) continue;
      if (e.value == 0) {
        if (!list.empty()) {
          e.value = list.front().id;
          changed = true;
        }
        continue;
      }
      bool kept = std::any_of(list.begin(), list.end(), [&](const MacroRecord& m) {
        return m.id == e.value && m.isNew == 0;
      });
      if (!kept) {
        e.type = kActionDefault;
        changed = true;
      }
    }
  }
  for (MacroRecord& m : list) m.isNew = 0;
  editing.Config().macros = std::move(list);
  return changed;
}

void FreeMacroArray(ProfileInstance& instance) {
  auto lock = instance.Acquire();
  auto& macros = instance.Config().macros;
  if (macros.empty()) return;
  macros.clear();
  macros.shrink_to_fit();
}

}  // namespace orvane
