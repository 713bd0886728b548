// The keyboard picture's entries, tooltips and the Default clear.
#include "model/key_matrix.h"

#include "platform/ini_file.h"

namespace orvane {

int MatrixEntryOfButton(int control_id) {
  if (const int g = GKeyOfButton(control_id); g != 0) return kGKeySetA + g - 1;
  if (const uint16_t code = KeyCodeOfButton(control_id); code != 0) return KeyIndexOf(code);
  return -1;
}

std::string GKeyBaseText(int n) { return "G" + std::to_string(n); }

namespace {

// The name an entry of the naming kinds points at, "" when it points at nothing there is.
std::string NamedTarget(const ITextSource& texts, const KeyAction& entry, std::span<const MacroRecord> macros) {
  switch (entry.type) {
    case kActionSingleKey:
      return entry.value <= 0xFFFF ? KeyDisplayName(texts, uint16_t(entry.value), kKeyTooltipCapacity) : "";
    case kActionPlayMacro:
      for (const MacroRecord& m : macros)
        if (m.id == entry.value) return MacroNameUtf8(m);
      return "";
    case kActionMedia:
      if (entry.value >= uint32_t(kMediaFunctionCount)) return "";
      return KeyDisplayName(texts, MediaFunctions()[entry.value].code, kKeyTooltipCapacity);
    case kActionFunction:
      if (entry.value >= uint32_t(kKeyboardFunctionCount)) return "";
      return texts.Text("FUNC_KEY_DESC" + std::to_string(entry.value + 1));
    default: return "";
  }
}

const char* PromptKeyOf(uint16_t type) {
  switch (type) {
    case kActionSingleKey: return "KEY_PROMPT_SINGLE";
    case kActionPlayMacro: return "KEY_PROMPT_MACRO";
    case kActionMedia: return "KEY_PROMPT_MEDIA";
    case kActionFunction: return "KEY_PROMPT_FUNCTION";
    default: return nullptr;
  }
}

}  // namespace

std::string KeyTooltipText(const ITextSource& texts, const std::string& base, const KeyAction& entry,
                           std::span<const MacroRecord> macros) {
  std::string text = base;
  if (entry.type != kActionDefault) {
    text += texts.Text("KEY_PROMPT_SET");
    if (const char* prompt = PromptKeyOf(entry.type)) {
      text += texts.Text(prompt);
      text += NamedTarget(texts, entry, macros);
      text += ")";
    }
  }
  return TruncateUtf8(text, kKeyTooltipCapacity - 1);
}

bool ClearMatrixEntries(ProfileImage& image, int layer) {
  if (layer < 0 || layer >= kLayerCount) return false;
  for (int j = 0; j < kGKeyCount; ++j)
    if (KeyAction* e = image.EntryAt(layer, kGKeySetA + j)) *e = KeyAction{};
  for (const KeyButton& k : KeyButtons())
    if (KeyAction* e = image.EntryAt(layer, KeyIndexOf(k.code))) *e = KeyAction{};
  return true;
}

}  // namespace orvane
