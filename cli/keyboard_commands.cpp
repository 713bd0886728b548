// orvane-cli's keyboard commands: list, describe, info, read, write, apply, select, lighting and
// watch.
#include "cli/session.h"
#include "model/lighting.h"
#include "model/lighting_run.h"

#include <algorithm>

namespace orvane::cli {

// ---- list and describe ----

int Cli::CmdList() {
  int code = kExitSuccess;
  if (!SetUpBackend(&code)) return code;
  const bool all = o_.flags.count("all") > 0;
  std::vector<HidNodeInfo> nodes = backend_->EnumerateNodes();
  JsonValue devices = JsonValue::Array();
  std::string text;
  int keyboards = 0;
  std::vector<std::string> locked;
  for (const HidNodeInfo& node : nodes) {
    const bool keyboard =
        node.vendor_id == kKeyboardVendorId && node.product_id == kKeyboardProductId;
    if (!keyboard && !all) continue;
    if (!o_.device.empty() && node.node != o_.device && o_.device.rfind(node.node + "#", 0) != 0)
      continue;
    if (keyboard) ++keyboards;
    if (keyboard && !node.accessible) locked.push_back(node.node);
    HidDescriptor desc;
    std::string why;
    const bool parsed = ParseHidDescriptor(node.report_descriptor.data(),
                                           node.report_descriptor.size(), &desc, &why);
    JsonValue d = JsonValue::Object();
    d.Set("node", node.node);
    d.Set("vendor_id", static_cast<int>(node.vendor_id));
    d.Set("product_id", static_cast<int>(node.product_id));
    d.Set("version", static_cast<int>(node.version));
    d.Set("keyboard", keyboard);
    d.Set("accessible", node.accessible);
    text += node.node + "  " + HexText(node.vendor_id, 4) + ":" + HexText(node.product_id, 4).substr(2) +
            (keyboard ? "  VELMORA Q5" : "") +
            (node.accessible ? "" : "  NO PERMISSION (cannot be opened by this user)") + "\n";
    JsonValue cols = JsonValue::Array();
    if (!parsed) {
      d.Set("descriptor_error", why);
      text += "  report descriptor cannot be parsed: " + why + "\n";
    }
    for (size_t i = 0; i < desc.collections.size(); ++i) {
      const HidCollectionInfo& c = desc.collections[i];
      const std::string path =
          MakeHidInterfacePath(node.node, node.vendor_id, node.product_id, int(i + 1));
      JsonValue cj = JsonValue::Object();
      cj.Set("path", path);
      const JsonValue described = CollectionToJson(c);
      for (const auto& m : described.Members()) cj.Set(m.first, m.second);
      std::string role;
      if (keyboard && c.usage_page == kCommandUsagePage && c.usage == kCommandUsage)
        role = "command channel";
      else if (keyboard && c.usage_page == kConsumerUsagePage && c.usage == kConsumerControlUsage)
        role = "event channel";
      if (!role.empty()) cj.Set("role", role);
      cols.Push(std::move(cj));
      text += "  " + path + (role.empty() ? "" : "  (" + role + ")") + "\n";
      text += CollectionToText(c, "    ");
    }
    d.Set("collections", std::move(cols));
    devices.Push(std::move(d));
  }
  if (o_.json) {
    JsonValue root = JsonValue::Object();
    root.Set("devices", std::move(devices));
    if (!locked.empty()) root.Set("hint", std::string("no permission: ") + kUdevHint);
    PrintJson(root);
  } else {
    if (keyboards == 0) text += "No keyboard found.\n";
    out_ << text;
    if (!locked.empty()) {
      out_ << "The keyboard is plugged in, but this user may not open it: " << kUdevHint << ".\n";
    }
  }
  return kExitSuccess;
}

int Cli::CmdDescribe() {
  const std::string& path = o_.positional[0];
  ReadError read_error = ReadError::kNone;
  const auto file = ReadWholeFile(path, 1u << 20, &read_error);
  if (!file)
    return Fail(kExitInvalidFile, path + ": cannot be read (" +
                                      (read_error == ReadError::kTooLarge ? std::string("over 1 MiB")
                                                                          : ReadErrorText(read_error)) +
                                      ")");
  std::vector<uint8_t> bytes;
  std::string why;
  if (!DescriptorBytesFromFile(*file, &bytes, &why)) return Fail(kExitInvalidFile, path + ": " + why);
  HidDescriptor desc;
  if (!ParseHidDescriptor(bytes.data(), bytes.size(), &desc, &why))
    return Fail(kExitInvalidFile, path + ": not a valid report descriptor: " + why);
  if (o_.json) {
    JsonValue root = JsonValue::Object();
    JsonValue cols = JsonValue::Array();
    for (const HidCollectionInfo& c : desc.collections) cols.Push(CollectionToJson(c));
    root.Set("collections", std::move(cols));
    PrintJson(root);
    return kExitSuccess;
  }
  out_ << bytes.size() << " descriptor bytes, " << desc.collections.size()
       << " top-level collection(s)" << (desc.uses_report_ids ? ", with report IDs" : "") << "\n";
  for (size_t i = 0; i < desc.collections.size(); ++i) {
    out_ << "Collection " << i + 1 << ":\n" << CollectionToText(desc.collections[i], "  ");
  }
  return kExitSuccess;
}

// ---- keyboard commands ----

int Cli::CmdInfo() {
  int code = Connect();
  if (code != kExitSuccess) return FinishKeyboard(code);
  const int profile = protocol_->CurrentProfile();
  JsonValue modes = JsonValue::Array();
  std::string mode_text;
  for (size_t slot = 0; slot < DeviceSettings::kModeCount; ++slot) {
    const int mode = settings_.Mode(slot);
    if (mode == 0 || mode == 16) continue;
    const std::string name = languages_.LoadModeText(mode, languages_.GetLanguageIndex());
    JsonValue m = JsonValue::Object();
    m.Set("mode", mode);
    m.Set("name", name);
    modes.Push(std::move(m));
    mode_text += "  " + std::to_string(mode) + "  " + name + "\n";
  }
  const HidAttributes& a = channel_->Attributes();
  if (o_.json) {
    JsonValue root = JsonValue::Object();
    root.Set("device", channel_->DevicePath());
    root.Set("vendor_id", static_cast<int>(a.vendor_id));
    root.Set("product_id", static_cast<int>(a.product_id));
    root.Set("version", static_cast<int>(a.version));
    root.Set("current_profile", profile);
    root.Set("macro_capacity", static_cast<int64_t>(settings_.MacroCapacityBytes()));
    root.Set("modes", std::move(modes));
    root.Set("colour_pages", settings_.HasColourPages());
    root.Set("default_key_block", default_block_read_ ? "keyboard" : "built-in");
    PrintJson(root);
  } else {
    out_ << "Keyboard:         " << channel_->DevicePath() << " (" << HexText(a.vendor_id, 4) << ":"
         << HexText(a.product_id, 4).substr(2) << ", version " << HexText(a.version, 4) << ")\n"
         << "Current profile:  "
         << (profile >= 0 ? std::to_string(profile) : std::string("cannot be read")) << "\n"
         << "Macro capacity:   " << settings_.MacroCapacityBytes() << " bytes\n"
         << "Colour pages:     " << (settings_.HasColourPages() ? "yes" : "no") << "\n"
         << "Default key block: " << (default_block_read_ ? "read from the keyboard" : "built-in")
         << "\n"
         << "Lighting modes:\n"
         << mode_text;
  }
  return FinishKeyboard(kExitSuccess);
}

int Cli::CmdRead() {
  const std::string& path = o_.positional[0];
  int code = kExitSuccess;
  if (!MayWrite(path, &code)) return code;
  code = Connect();
  if (code != kExitSuccess) return FinishKeyboard(code);
  if (!default_block_read_) return FinishKeyboard(NoKeyLayout(path + " was not written"));
  if (BuildImageFromKeyboard(context_.keyboard, path, *protocol_, texts_) != 1)
    return FinishKeyboard(Fail(kExitFailure, "reading the configuration from the keyboard failed" +
                                                 Unplugged() + "; " + path + " was not written"));
  if (!o_.json) out_ << "Read the keyboard's configuration into " << OneLineText(path) << "\n";
  return FinishKeyboard(kExitSuccess);
}

// write (all layers, as the import command) and apply (one layer).
int Cli::CmdWrite(bool all_layers) {
  const std::string& path = o_.positional[0];
  int64_t profile = -1;
  if (!all_layers) {
    auto it = o_.values.find("profile");
    if (it == o_.values.end()) return Fail(kExitUsage, "apply needs --profile N (0, 1 or 2)");
    if (!ParseInt(it->second, 0, 2, &profile))
      return Fail(kExitUsage, "--profile: \"" + it->second + "\" is not 0, 1 or 2");
  }
  int code = ValidateInput(path);
  if (code != kExitSuccess) return code;
  if (LoadProfileFile(context_.editing, path) != 1) return Fail(kExitInvalidFile, path + ": cannot be loaded");
  code = Connect();
  if (code != kExitSuccess) return FinishKeyboard(code);
  if (!default_block_read_) return FinishKeyboard(NoKeyLayout("nothing was written"));

  // The same snapshot and write as the program's import (all layers) or apply (one layer into
  // the on-board profile of the same number), with the same capacity rules and notices.
  const bool ok = (all_layers ? Apply(context_, true, *protocol_, prompt_, texts_)
                              : ApplyLayer(context_, static_cast<int>(profile), *protocol_, prompt_, texts_)) == 1;
  // What was meant to be written, re-encoded from the snapshot that was written.
  std::optional<ConfigurationWrite> plan;
  {
    ProfileInstance& applied = context_.applied;
    auto lock = applied.Acquire();
    plan = PlanConfigurationWrite(applied.Config(),
                                  all_layers ? std::vector<int>{0, 1, 2} : std::vector<int>{static_cast<int>(profile)},
                                  context_.keyboard);
  }
  if (!ok) {
    return FinishKeyboard(
        Fail(kExitFailure, "writing " + path + " to the keyboard failed" + Unplugged()));
  }
  if (o_.flags.count("verify")) {
    if (!plan) return FinishKeyboard(Fail(kExitFailure, "verify: out of memory"));
    code = Verify(plan->blocks, plan->area);
    if (code != kExitSuccess) return FinishKeyboard(code);
  }
  if (!o_.json) {
    out_ << "Wrote " << OneLineText(path)
         << (all_layers ? " to on-board profiles 0, 1 and 2"
                        : " layer " + std::to_string(profile) + " to on-board profile " +
                              std::to_string(profile))
         << (o_.flags.count("verify") ? " (verified)" : "") << "\n";
  }
  return FinishKeyboard(kExitSuccess);
}

int Cli::Verify(const std::vector<std::pair<int, KeyBlock>>& blocks,
                const std::vector<uint8_t>& area) {
  int differences = 0;
  for (const auto& [layer, expected] : blocks) {
    std::array<uint8_t, kKeyBlockBytes> got{};
    const int r = protocol_->ReadKeyBlock(got, layer);
    if (r != kResultOk)
      return Fail(kExitFailure, "verify: reading key block " + std::to_string(layer) +
                                    " failed: " + Why(r));
    int diff = 0, first = -1;
    for (int p = 0; p < kKeyBlockEntryCount; ++p) {
      if (!std::equal(expected.begin() + 3 * p, expected.begin() + 3 * p + 3, got.begin() + 3 * p)) {
        if (first < 0) first = p;
        ++diff;
      }
    }
    if (diff) {
      ++differences;
      err_ << kTool << ": verify: key block " << layer << ": " << diff
           << " entries differ (first at position " << first << ": wrote "
           << Bytes3(expected.data() + 3 * first) << ", read " << Bytes3(got.data() + 3 * first)
           << ")\n";
    }
  }
  if (!area.empty()) {
    std::vector<uint8_t> got(area.size());
    const int r = protocol_->ReadMacroArea(got);
    if (r != kResultOk)
      return Fail(kExitFailure, "verify: reading the macro area failed: " + Why(r));
    if (got != area) {
      ++differences;
      size_t first = 0;
      while (first < area.size() && area[first] == got[first]) ++first;
      err_ << kTool << ": verify: macro area differs (first at byte " << first << " of "
           << area.size() << ")\n";
    }
  }
  if (differences) return Fail(kExitFailure, "verify: the keyboard holds something else than was written");
  return kExitSuccess;
}

int Cli::CmdSelect() {
  int64_t n = 0;
  if (!ParseInt(o_.positional[0], 0, 2, &n))
    return Fail(kExitUsage, "select: \"" + o_.positional[0] + "\" is not 0, 1 or 2");
  int code = Connect();
  if (code != kExitSuccess) return FinishKeyboard(code);
  protocol_->SelectProfile(static_cast<int>(n));
  // SelectProfile keeps the profile only when the keyboard took it.
  if (protocol_->CachedProfile() != n)
    return FinishKeyboard(Fail(kExitFailure, "selecting on-board profile " + std::to_string(n) +
                                                 " failed" + Unplugged()));
  if (!o_.json) out_ << "On-board profile " << n << " is now current\n";
  return FinishKeyboard(kExitSuccess);
}

// ---- lighting ----

// The fields "lighting set" writes, in the order it writes them.
enum class LightingOption { Mode, Brightness, Speed, Direction, Rate };
struct LightingField {
  const char* option;
  LightingOption field;
  int64_t lo, hi;
};
constexpr LightingField kLightingFields[] = {
    {"mode", LightingOption::Mode, 1, kModePerKey},
    {"brightness", LightingOption::Brightness, 0, kBrightnessLevels - 1},
    {"speed", LightingOption::Speed, 0, kSpeedPositions - 1},
    {"direction", LightingOption::Direction, 0, kDirectionForward},
    {"rate", LightingOption::Rate, 0, 3},
};

int Cli::CmdLighting() {
  if (!o_.positional.empty()) {
    if (o_.positional[0] == "set") return CmdLightingSet();
    return Fail(kExitUsage, "lighting: unknown argument \"" + o_.positional[0] + "\" (only \"set\")");
  }
  for (const auto& [name, value] : o_.values)
    return Fail(kExitUsage, "lighting: --" + name + " belongs to \"lighting set\"");
  int code = Connect();
  if (code != kExitSuccess) return FinishKeyboard(code);
  LightingState state;
  const int failed = RunLightingPlan(
      *protocol_, state.RereadPlan(),
      [&](const LightingStep& step, std::span<const uint8_t> data) { state.Take(step, data); });
  if (failed != kResultOk)
    return FinishKeyboard(Fail(kExitFailure, "reading the lighting failed: " + Why(failed)));
  const int index = languages_.GetLanguageIndex();
  JsonValue profiles = JsonValue::Array();
  for (int p = 0; p < 3; ++p) {
    const LightingValues v = DecodeLighting(state.Record(p));
    const int mode = v.mode;
    const std::string name = languages_.LoadModeText(mode, index);
    if (o_.json) {
      JsonValue j = JsonValue::Object();
      j.Set("profile", p);
      j.Set("mode", mode);
      j.Set("mode_name", name);
      j.Set("brightness", static_cast<int>(v.brightness));
      j.Set("speed", static_cast<int>(v.speed));
      j.Set("user_mode", static_cast<int>(v.user_mode));
      j.Set("direction", static_cast<int>(v.direction));
      j.Set("report_rate", static_cast<int>(v.report_rate));
      j.Set("paint_tool", static_cast<int>(v.paint_tool));
      profiles.Push(std::move(j));
    } else {
      out_ << "Profile " << p << ": mode " << mode << " (" << name << "), brightness "
           << int(v.brightness) << ", speed " << int(v.speed) << ", direction "
           << int(v.direction) << ", user mode " << int(v.user_mode) << ", report rate "
           << int(v.report_rate) << ", paint tool " << int(v.paint_tool) << "\n";
    }
  }
  if (o_.json) {
    JsonValue root = JsonValue::Object();
    root.Set("profiles", std::move(profiles));
    PrintJson(root);
  }
  return FinishKeyboard(kExitSuccess);
}

int Cli::CmdLightingSet() {
  auto it = o_.values.find("profile");
  if (it == o_.values.end()) return Fail(kExitUsage, "lighting set needs --profile N (0, 1 or 2)");
  int64_t profile = 0;
  if (!ParseInt(it->second, 0, 2, &profile))
    return Fail(kExitUsage, "--profile: \"" + it->second + "\" is not 0, 1 or 2");
  std::vector<std::pair<const LightingField*, uint8_t>> writes;
  for (const LightingField& f : kLightingFields) {
    auto v = o_.values.find(f.option);
    if (v == o_.values.end()) continue;
    int64_t x = 0;
    if (!ParseInt(v->second, f.lo, f.hi, &x))
      return Fail(kExitUsage, std::string("--") + f.option + ": \"" + v->second +
                                  "\" is not a number from " + std::to_string(f.lo) + " to " +
                                  std::to_string(f.hi));
    if (f.field == LightingOption::Direction && x != kDirectionBackward && x != kDirectionForward)
      return Fail(kExitUsage, "--direction: \"" + v->second + "\" is not 0 or 255");
    writes.emplace_back(&f, static_cast<uint8_t>(x));
  }
  if (writes.empty())
    return Fail(kExitUsage, "lighting set: give at least one of --mode, --brightness, --speed, "
                            "--direction and --rate");
  int code = Connect();
  if (code != kExitSuccess) return FinishKeyboard(code);
  LightingState state;
  state.TakeSettings(std::span<const uint8_t, kSettingsBytes>(settings_.bytes));
  state.SetProfile(static_cast<int>(profile));
  for (const auto& [field, value] : writes) {
    if (field->field != LightingOption::Mode) continue;
    const auto& modes = state.Modes();
    std::string list;
    for (uint8_t m : modes) list += (list.empty() ? "" : ", ") + std::to_string(m);
    if (std::find(modes.begin(), modes.end(), value) == modes.end() || !IsKnownMode(value))
      return FinishKeyboard(Fail(kExitUsage, "--mode: the keyboard does not offer mode " +
                                                 std::to_string(value) + " (it offers " + list + ")"));
  }
  int failed = kResultOk;
  std::string failed_field;
  for (const auto& [field, value] : writes) {
    LightingPlan plan;
    switch (field->field) {
      case LightingOption::Mode: plan = state.SetMode(value); break;
      case LightingOption::Brightness: plan = state.SetBrightness(value); break;
      // The option takes the byte the keyboard keeps; the model takes the slider's position.
      case LightingOption::Speed: plan = state.SetSpeedPosition(SpeedPositionOfByte(value)); break;
      case LightingOption::Direction: plan = state.SetDirection(value); break;
      case LightingOption::Rate: plan = state.SetReportRate(value); break;
    }
    const int r = RunLightingPlan(*protocol_, plan);
    if (r != kResultOk && failed == kResultOk) {
      failed = r;
      failed_field = field->option;
    }
  }
  if (failed != kResultOk)
    return FinishKeyboard(Fail(kExitFailure, "writing the lighting " + failed_field + " failed: " +
                                                 Why(failed)));
  if (!o_.json) out_ << "Lighting of profile " << profile << " written\n";
  return FinishKeyboard(kExitSuccess);
}

// ---- watch ----

// The main window's side of the presence monitor, as lines on the output.
class WatchLink : public IMainWindowLink {
 public:
  explicit WatchLink(std::function<void(const std::string&, const std::string&)> print)
      : print_(std::move(print)) {}
  void Post(uint32_t, uintptr_t, intptr_t) override {}
  intptr_t Send(uint32_t message, uintptr_t, intptr_t) override {
    if (message == WM_MAIN_PROFILE) print_("arrived", "keyboard arrived");
    else if (message == WM_MAIN_DEVICELOST) print_("removed", "keyboard removed");
    return 0;
  }
  void SetTimer(int, uint32_t) override {}
  void SetTrayState(int) override {}
  void Hide() override {}
  void SetApplyPending(bool) override {}
  bool IsApplyPending() const override { return false; }
  void RefreshKeyMatrix() override {}

 private:
  std::function<void(const std::string&, const std::string&)> print_;
};

int Cli::CmdWatch() {
  double timeout = 0;
  if (auto it = o_.values.find("timeout"); it != o_.values.end()) {
    int64_t t = 0;
    if (!ParseInt(it->second, 1, 86400 * 365, &t))
      return Fail(kExitUsage, "--timeout: \"" + it->second + "\" is not a number of seconds");
    timeout = double(t);
  }
  int code = kExitSuccess;
  if (!SetUpBackend(&code)) return code;
  std::mutex print_mutex;
  auto print = [&](const std::string& kind, const std::string& what, int usage = -1) {
    std::lock_guard lock(print_mutex);
    const std::string ts = Timestamp();
    if (o_.json) {
      JsonValue j = JsonValue::Object();
      j.Set("time", ts);
      j.Set("event", kind);
      if (usage >= 0) j.Set("usage", usage);
      j.Set("text", what);
      out_ << WriteJson(j, -1) << std::endl;
    } else {
      out_ << ts << "  " << what << std::endl;
    }
  };
  WatchLink link([&](const std::string& k, const std::string& w) { print(k, w); });
  CDeviceProtocol protocol;
  CPresenceMonitor monitor(protocol, link, prompt_, texts_, backend_);
  monitor.SetStartSilent(true);
  CPresenceMonitor::KeyboardValueSinks sinks;
  KeyboardFacts& keyboard = context_.keyboard;
  sinks.set_default_key_block = [&keyboard](std::span<const uint8_t, kKeyBlockBytes> b) {
    keyboard.SetDefaultKeyBlock(b);
  };
  sinks.set_macro_capacity = [&keyboard](size_t bytes) { keyboard.SetMacroCapacity(bytes); };
  monitor.SetKeyboardValueSinks(std::move(sinks));
  monitor.SetEventObserver([&](uint16_t usage) {
    if (usage == 0) return;  // the release that follows every event
    std::string what;
    switch (usage) {
      case kEventLightingChanged: what = "lighting changed on the keyboard"; break;
      case kEventSpecialIconOn: what = "special state on"; break;
      case kEventSpecialIconOff: what = "special state off"; break;
      default: what = "other"; break;
    }
    print("event", "event " + HexText(usage, 4) + ": " + what, usage);
  });
  g_stop = false;
  g_watching = true;
  if (!monitor.Start()) {
    g_watching = false;
    return Fail(kExitFailure, "cannot start watching");
  }
  err_ << kTool << ": watching for the keyboard; press Ctrl-C to stop" << std::endl;
  const auto start = std::chrono::steady_clock::now();
  while (!g_stop.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (timeout > 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= timeout)
      break;
  }
  monitor.Stop();
  g_watching = false;
  return kExitSuccess;
}

}  // namespace orvane::cli
