// orvane-cli's file commands: show, validate, new, export-json and import-json.
#include "cli/session.h"

namespace orvane::cli {

// ---- files ----

std::string Cli::EntryName(int index) const {
  if (index < kKeyTableSize) return KeyName(KeyCodeOf(index));
  if (index >= kGKeySetA && index < kGKeySetB) return "G" + std::to_string(index - kGKeySetA + 1);
  if (index >= kGKeySetB && index < kGKeyEntriesEnd)
    return "G" + std::to_string(index - kGKeySetB + 1) + " (set B)";
  return "entry " + std::to_string(index);
}

std::string Cli::Describe(const KeyAction& e, const ProfileConfig& config, int slot) const {
  const std::u16string* text = config.texts.Text(slot);
  switch (e.type) {
    case kActionDefault: return "default";
    case kActionDisabled: return "disabled";
    case kActionSingleKey: return "key " + KeyName(static_cast<uint16_t>(e.value));
    case kActionLaunchProgram:
      return "launch program " + JsonQuote(text ? Utf16ToUtf8(*text) : std::string());
    case kActionPlayMacro: {
      for (const MacroRecord& m : config.macros)
        if (m.id == e.value) return "play macro " + std::to_string(e.value) + " " + JsonQuote(MacroNameUtf8(m));
      return "play macro " + std::to_string(e.value) + " (no such macro)";
    }
    case kActionStopMacro: return "stop the playing macro";
    case kActionPlayText: return "type text " + JsonQuote(text ? Utf16ToUtf8(*text) : std::string());
    case kActionMedia:
      if (e.value < uint32_t(kMediaFunctionCount))
        return "media: " + KeyName(MediaFunctions()[e.value].code);
      return "media function " + std::to_string(e.value) + " (unknown)";
    case kActionFunction:
      if (e.value <= 10) return "keyboard function: " + texts_.Text("FUNC_KEY_DESC" + std::to_string(e.value + 1));
      return "keyboard function " + std::to_string(e.value) + " (unknown)";
    default: return "unknown type " + std::to_string(e.type);
  }
}

int Cli::CmdShow() {
  const std::string& path = o_.positional[0];
  int code = ValidateInput(path);
  if (code != kExitSuccess) return code;
  const auto bytes = ReadWholeFile(path, kMaxProfileLoadBytes);
  ProfileConfig config;
  if (!bytes || !ParseProfileFile(*bytes, config) || !config.image)
    return Fail(kExitInvalidFile, path + ": cannot be loaded");
  JsonValue layers = JsonValue::Array();
  for (int layer = 0; layer < kLayerCount; ++layer) {
    JsonValue keys = JsonValue::Array();
    bool header = false;
    for (int i = 0; i < kLayerEntries; ++i) {
      const KeyAction& e = *config.image->EntryAt(layer, i);
      if (e.type == kActionDefault) continue;
      const int slot = layer * kLayerEntries + i;
      const std::string name = EntryName(i);
      const std::string does = Describe(e, config, slot);
      if (o_.json) {
        JsonValue k = JsonValue::Object();
        k.Set("entry", i);
        if (i < kKeyTableSize) k.Set("key", HexText(KeyCodeOf(i), kJsonCodeDigits));
        k.Set("name", name);
        if (const char* t = KeyActionTypeName(e.type)) k.Set("type", t);
        else k.Set("type", static_cast<int>(e.type));
        if (HasText(e.type)) {
          const std::u16string* text = config.texts.Text(slot);
          k.Set("text", text ? Utf16ToUtf8(*text) : std::string());
        } else if (e.type == kActionSingleKey) {
          k.Set("value", HexText(e.value, kJsonCodeDigits));
          k.Set("value_name", KeyName(static_cast<uint16_t>(e.value)));
        } else {
          k.Set("value", static_cast<int64_t>(e.value));
        }
        k.Set("does", does);
        keys.Push(std::move(k));
      } else {
        if (!header) out_ << "Layer " << layer << (layer == 3 ? " (not on the keyboard)" : "") << ":\n";
        header = true;
        out_ << "  " << name << ": " << does << "\n";
      }
    }
    if (o_.json) {
      JsonValue l = JsonValue::Object();
      l.Set("layer", layer);
      l.Set("keys", std::move(keys));
      layers.Push(std::move(l));
    }
  }
  JsonValue macros = JsonValue::Array();
  if (!o_.json && !config.macros.empty()) out_ << "Macros:\n";
  for (const MacroRecord& m : config.macros) {
    JsonValue actions = JsonValue::Array();
    if (!o_.json)
      out_ << "  " << m.id << " " << JsonQuote(MacroNameUtf8(m)) << ", played " << int(m.cycles)
           << " time(s), " << ValidActionCount(m) << " action(s)\n";
    for (int i = 0; i < ValidActionCount(m); ++i) {
      const MacroAction& a = m.actions[size_t(i)];
      const bool release = a.direction == kRelease;
      if (o_.json) {
        JsonValue ja = JsonValue::Object();
        ja.Set("key", HexText(a.keyCode, kJsonCodeDigits));
        ja.Set("name", KeyName(a.keyCode));
        ja.Set("direction", release ? "release" : "press");
        ja.Set("delay", static_cast<int64_t>(a.delay));
        actions.Push(std::move(ja));
      } else {
        out_ << "    " << (release ? "release" : "press  ") << " " << KeyName(a.keyCode)
             << ", then " << a.delay << " ms\n";
      }
    }
    if (o_.json) {
      JsonValue jm = JsonValue::Object();
      jm.Set("id", static_cast<int>(m.id));
      jm.Set("name", MacroNameUtf8(m));
      jm.Set("cycles", static_cast<int>(m.cycles));
      jm.Set("actions", std::move(actions));
      macros.Push(std::move(jm));
    }
  }
  if (o_.json) {
    JsonValue root = JsonValue::Object();
    root.Set("file", path);
    root.Set("layers", std::move(layers));
    root.Set("macros", std::move(macros));
    PrintJson(root);
  } else if (config.macros.empty()) {
    out_ << "No macros.\n";
  }
  return kExitSuccess;
}

int Cli::CmdValidate() {
  const std::string& path = o_.positional[0];
  const int code = ValidateInput(path);
  if (o_.json) {
    JsonValue root = JsonValue::Object();
    root.Set("file", path);
    root.Set("valid", code == kExitSuccess);
    PrintJson(root);
  } else if (code == kExitSuccess) {
    out_ << OneLineText(path) << ": valid profile file\n";
  }
  return code;
}

int Cli::CmdNew() {
  const std::string& path = o_.positional[0];
  int code = kExitSuccess;
  if (!MayWrite(path, &code)) return code;
  if (CreateDefaultProfile(context_.editing, path, false) != 1) return Fail(kExitFailure, "cannot write " + path);
  if (!o_.json) out_ << "Wrote a default profile file to " << OneLineText(path) << "\n";
  return kExitSuccess;
}

int Cli::CmdExportJson() {
  const std::string& path = o_.positional[0];
  const std::string& out_path = o_.positional[1];
  int code = ValidateInput(path);
  if (code != kExitSuccess) return code;
  const auto bytes = ReadWholeFile(path, kMaxProfileLoadBytes);
  if (!bytes) return Fail(kExitInvalidFile, path + ": cannot be read");
  JsonValue json;
  std::string why;
  if (!ProfileToJson(*bytes, &json, &why)) return Fail(kExitInvalidFile, path + ": " + why);
  if (!MayWrite(out_path, &code)) return code;
  if (!WriteFileAtomic(out_path, WriteJson(json) + "\n", &why))
    return Fail(kExitFailure, "cannot write " + out_path + ": " + why);
  return kExitSuccess;
}

int Cli::CmdImportJson() {
  const std::string& in_path = o_.positional[0];
  const std::string& path = o_.positional[1];
  ReadError read_error = ReadError::kNone;
  const auto text = ReadTextFile(in_path, kJsonMaxInputBytes, &read_error);
  if (!text)
    return Fail(kExitInvalidFile, in_path + ": cannot be read (" + ReadErrorText(read_error) + ")");
  JsonValue json;
  std::string why;
  if (!ParseJson(*text, &json, &why, &ProfileJsonShape()))
    return Fail(kExitInvalidFile, in_path + ": " + why);
  std::vector<uint8_t> bytes;
  if (!ProfileFromJson(json, &bytes, &why)) return Fail(kExitInvalidFile, in_path + ": " + why);
  int code = kExitSuccess;
  if (!MayWrite(path, &code)) return code;
  if (!WriteFileAtomic(path, bytes, &why)) return Fail(kExitFailure, "cannot write " + path + ": " + why);
  return kExitSuccess;
}

}  // namespace orvane::cli
