// The commands of orvane-cli.
#include "cli/commands.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "cli/describe.h"
#include "cli/json.h"
#include "cli/profile_json.h"
#include "device/hid_device.h"
#include "device/presence.h"
#include "device/protocol.h"
#include "model/apply.h"
#include "model/device_image.h"
#include "model/key_table.h"
#include "model/macro.h"
#include "model/profile_config.h"
#include "model/profile_file.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/hid_backend.h"
#include "platform/hid_interfaces.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "sim/sim_backend.h"
#include "store/language.h"
#include "store/profile_store.h"

namespace orvane {
namespace {

std::atomic<bool> g_stop{false};
std::atomic<bool> g_watching{false};

constexpr const char* kTool = "orvane-cli";
constexpr const char* kUdevHint =
    "install the udev rule (packaging/install-udev-rule.sh, see the README)";

// ---------------------------------------------------------------------------------------------
// Arguments

struct Options {
  // global
  std::string device;
  std::string hid_root;
  bool simulate = false;
  std::string state;
  bool yes = false;
  bool json = false;
  bool help = false;
  // command
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // command options with a value
  std::set<std::string> flags;                // command options without one
};

struct CommandInfo {
  const char* name;
  const char* usage;
  const char* summary;
  const char* details;
  std::vector<const char*> value_options;
  std::vector<const char*> flag_options;
  size_t min_args;
  size_t max_args;
};

const std::vector<CommandInfo>& Commands() {
  static const std::vector<CommandInfo> commands = {
      {"list", "list [--all]", "list the keyboards found, with their interfaces",
       "Lists every keyboard found: its HID nodes, vendor and product, and per top-level\n"
       "collection the interface path, usage page and usage, report lengths and capabilities.\n"
       "A keyboard that is plugged in but may not be opened is listed as such.\n"
       "  --all   list every HID device, not only the keyboard\n"
       "  --json  {\"devices\": [{\"node\", \"vendor_id\", \"product_id\", \"accessible\",\n"
       "          \"collections\": [{\"path\", ... as describe}]}]}\n",
       {}, {"all"}, 0, 0},
      {"describe", "describe FILE", "show what a HID report descriptor holds",
       "Parses a HID report descriptor with the project's own parser and prints each top-level\n"
       "collection: usage page, usage, input/output/feature report lengths (report ID byte\n"
       "included) and the button and value capabilities. FILE holds raw descriptor bytes or\n"
       "hex text as HID tools print it (\"05 01 09 06 ...\", hexdump output, hid-tools \"R:\" lines).\n"
       "  --json  {\"collections\": [{\"usage_page\", \"usage\", \"input_report_length\",\n"
       "          \"output_report_length\", \"feature_report_length\", \"button_caps\", \"value_caps\"}]}\n",
       {}, {}, 1, 1},
      {"info", "info", "show the keyboard's current profile, macro space and lighting modes",
       "Shows the keyboard's interface, current on-board profile, macro capacity, the lighting\n"
       "modes it offers with their names, and whether it has per-key colour pages.\n",
       {}, {}, 0, 0},
      {"read", "read FILE.orv", "save the keyboard's configuration as a profile file",
       "Reads the three on-board profiles and the macros from the keyboard and writes them as a\n"
       "profile file. An existing FILE is replaced only with --yes or after a Yes.\n",
       {}, {}, 1, 1},
      {"write", "write FILE.orv [--verify]", "write a profile file to all three on-board profiles",
       "Validates and loads the profile file and writes all three on-board profiles and the\n"
       "macros, as the program's import does.\n"
       "  --verify  read the key blocks and the macro area back and report any difference\n",
       {}, {"verify"}, 1, 1},
      {"apply", "apply FILE.orv --profile N [--verify]",
       "write one layer of a profile file to on-board profile N",
       "Validates and loads the profile file and writes its layer N (0, 1 or 2) to on-board\n"
       "profile N, with the macros.\n"
       "  --profile N  the on-board profile, 0 to 2 (required)\n"
       "  --verify     read the key block and the macro area back and report any difference\n",
       {"profile"}, {"verify"}, 1, 1},
      {"select", "select N", "make on-board profile N (0, 1 or 2) the current one",
       "Makes on-board profile N (0 to 2) the keyboard's current profile.\n", {}, {}, 1, 1},
      {"show", "show FILE.orv", "show a profile file's key assignments and macros",
       "For each layer, the keys that are not at their default, with their names and what they\n"
       "do; then each macro with its actions. --json gives the form described in docs/cli.md.\n",
       {}, {}, 1, 1},
      {"validate", "validate FILE.orv", "check that a file is a valid profile file",
       "Checks the profile file's header as the program does before loading it.\n", {}, {}, 1, 1},
      {"new", "new FILE.orv", "write a default profile file",
       "Writes a profile file with every key at its default and no macros. An existing FILE is\n"
       "replaced only with --yes or after a Yes.\n",
       {}, {}, 1, 1},
      {"export-json", "export-json FILE.orv OUT.json", "convert a profile file to JSON",
       "Writes the profile file in its JSON form; import-json gives back the same bytes.\n", {}, {},
       2, 2},
      {"import-json", "import-json IN.json FILE.orv", "convert JSON back to a profile file",
       "Builds a profile file from its JSON form. A wrong or unknown member is an error naming\n"
       "the member.\n",
       {}, {}, 2, 2},
      {"lighting", "lighting | lighting set --profile N [--mode M] [--brightness B] [--speed S] "
                   "[--direction D] [--rate R]",
       "show or change the lighting of the on-board profiles",
       "Without arguments: the three lighting records decoded (mode, brightness, speed,\n"
       "direction, user mode, report rate, paint tool).\n"
       "lighting set writes single fields of profile N's record, as the lighting panel does:\n"
       "  --mode M        a mode the keyboard offers (see info)\n"
       "  --brightness B  0 to 24\n"
       "  --speed S       the speed byte, 0 to 4\n"
       "  --direction D   0 or 255\n"
       "  --rate R        USB report rate selection, 0 to 3\n",
       {"profile", "mode", "brightness", "speed", "direction", "rate"}, {}, 0, 1},
      {"watch", "watch [--timeout SECONDS]", "print keyboard arrivals, removals and events",
       "Runs the presence monitor and the event listener and prints arrivals, removals and the\n"
       "keyboard's events with timestamps until interrupted (Ctrl-C) or SECONDS have passed.\n"
       "With --json each event is one JSON object per line.\n",
       {"timeout"}, {}, 0, 0},
  };
  return commands;
}

const CommandInfo* FindCommand(const std::string& name) {
  for (const CommandInfo& c : Commands())
    if (name == c.name) return &c;
  return nullptr;
}

std::string ToolHelp() {
  std::string s =
      "Usage: orvane-cli [OPTIONS] COMMAND [ARGS]\n"
      "Configures the VELMORA Q5 keyboard from the command line.\n\n"
      "Options:\n"
      "  --device PATH        use the keyboard at this interface path or hidraw node\n"
      "  --hid-root DIR       look for HID devices in DIR/sys and DIR/dev (e.g. orvane-simkbd's)\n"
      "  --simulate[=STATE]   use the built-in simulated keyboard; with STATE its memory is kept\n"
      "                       in that file between commands\n"
      "  --yes                answer Yes to questions (e.g. replacing an existing file)\n"
      "  --json               machine-readable output\n"
      "  --help               this text; COMMAND --help for a command's\n\n"
      "Commands:\n";
  for (const CommandInfo& c : Commands()) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-12s %s\n", c.name, c.summary);
    s += line;
  }
  s += "\nExit codes: 0 success, 1 keyboard or operation failure, 2 usage error, 3 invalid file.\n";
  return s;
}

std::string CommandHelp(const CommandInfo& c) {
  return std::string("Usage: orvane-cli [OPTIONS] ") + c.usage + "\n" + c.summary + ".\n\n" +
         c.details;
}

bool IsGlobalValueOption(const std::string& name) { return name == "device" || name == "hid-root"; }

// Parses the arguments; false with *error for a usage error.
bool ParseArgs(const std::vector<std::string>& args, Options* o, std::string* error) {
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // "-1" is an argument (a wrong profile number), not an option.
    const bool negative_number = a.size() >= 2 && a[0] == '-' && a[1] >= '0' && a[1] <= '9';
    if (options_done || a.size() < 2 || a[0] != '-' || negative_number) {
      if (o->command.empty()) o->command = a;
      else o->positional.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    if (a == "-h") {
      o->help = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      *error = "unknown option " + a;
      return false;
    }
    std::string name = a.substr(2);
    std::optional<std::string> value;
    const size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    auto take_value = [&](std::string* out) {
      if (value) {
        *out = *value;
      } else if (i + 1 < args.size()) {
        *out = args[++i];
      } else {
        *error = "option --" + name + " needs a value";
        return false;
      }
      if (out->empty()) {
        *error = "option --" + name + " needs a value";
        return false;
      }
      return true;
    };
    auto no_value = [&]() {
      if (value) {
        *error = "option --" + name + " takes no value";
        return false;
      }
      return true;
    };
    if (name == "help") {
      if (!no_value()) return false;
      o->help = true;
    } else if (name == "yes") {
      if (!no_value()) return false;
      o->yes = true;
    } else if (name == "json") {
      if (!no_value()) return false;
      o->json = true;
    } else if (name == "simulate") {
      o->simulate = true;
      if (value) {
        if (value->empty()) {
          *error = "option --simulate= needs a file name";
          return false;
        }
        o->state = *value;
      }
    } else if (IsGlobalValueOption(name)) {
      if (!take_value(name == "device" ? &o->device : &o->hid_root)) return false;
    } else {
      // A command option: which ones a command takes is checked once the command is known.
      bool takes_value = false, known = false;
      for (const CommandInfo& c : Commands()) {
        for (const char* v : c.value_options) {
          if (name == v) known = takes_value = true;
        }
        for (const char* f : c.flag_options) {
          if (name == f) known = true;
        }
      }
      if (!known) {
        *error = "unknown option --" + name;
        return false;
      }
      if (takes_value) {
        std::string v;
        if (!take_value(&v)) return false;
        if (o->values.count(name)) {
          *error = "option --" + name + " given twice";
          return false;
        }
        o->values[name] = v;
      } else {
        if (!no_value()) return false;
        o->flags.insert(name);
      }
    }
  }
  return true;
}

bool ParseInt(const std::string& s, int64_t lo, int64_t hi, int64_t* out) {
  if (s.empty() || s.size() > 12) return false;
  int64_t v = 0;
  size_t i = 0;
  bool neg = false;
  if (s[0] == '-') {
    neg = true;
    i = 1;
    if (s.size() == 1) return false;
  }
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  if (neg) v = -v;
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Output helpers

std::string ResultText(int result) {
  switch (result) {
    case kResultOk: return "success";
    case kResultNoDevice: return "no reply from the keyboard";
    case kResultNotWritten: return "the request could not be written";
    case kResultStatusFailed: return "the keyboard reported an error (status 0xFF)";
    case kResultStatusBusy: return "the keyboard reported an error (status 0xFE)";
    case kResultBadArgument: return "bad argument";
    case kResultReadsDisagree: return "two reads of the same memory gave different bytes";
    case kResultKeyboardBusy: return "the keyboard is busy";
    default: return "result " + std::to_string(result);
  }
}

std::string Timestamp() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  char out[80];
  std::snprintf(out, sizeof out, "%s.%03d", buf, static_cast<int>(ms));
  return out;
}

std::string Bytes3(const uint8_t* p) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X %02X %02X", p[0], p[1], p[2]);
  return buf;
}

// Message boxes of the core, on a terminal: notices go to the error stream; questions are
// answered Yes with --yes, asked on a terminal, and answered No otherwise.
class CliPrompt : public IPrompt {
 public:
  CliPrompt(std::ostream& err, bool yes) : err_(err), yes_(yes) {}
  PromptAnswer Show(const PromptRequest& request) override {
    std::lock_guard lock(mutex_);
    ++shown_;
    // Texts may carry file names: one line each, whatever the names hold.
    const std::string text = OneLineText(request.text);
    if (request.buttons == PromptButtons::Ok) {
      err_ << kTool << ": " << text << "\n";
      return PromptAnswer::Ok;
    }
    if (yes_) return PromptAnswer::Yes;
    if (!StdinIsTerminal()) {
      err_ << kTool << ": " << text << " (no; give --yes to answer yes)\n";
      return PromptAnswer::No;
    }
    err_ << text << " [y/N] " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return PromptAnswer::No;
    return (line == "y" || line == "Y" || line == "yes") ? PromptAnswer::Yes : PromptAnswer::No;
  }
  int Shown() const { return shown_; }

 private:
  std::ostream& err_;
  bool yes_;
  std::mutex mutex_;
  int shown_ = 0;
};

// ---------------------------------------------------------------------------------------------
// The run of one command

class Cli {
 public:
  Cli(const ConfigContext& context, Options options, std::ostream& out, std::ostream& err)
      : context_(context),
        o_(std::move(options)),
        out_(out),
        err_(err),
        prompt_(err, o_.yes),
        languages_(&registry_, ProgramFolder()),
        texts_(languages_) {}
  ~Cli() { Disconnect(); }

  int Run();

 private:
  // Every error is one line, whatever the file names in it hold.
  int Fail(int code, const std::string& message) {
    err_ << kTool << ": " << OneLineText(message) << "\n";
    return code;
  }

  // ---- HID backend and keyboard ----
  bool SetUpBackend(int* code);
  int Connect();
  void Disconnect();
  int FinishKeyboard(int code);
  // What a failed command result means here: the keyboard's loss when its channel hung up.
  std::string Why(int result) const;
  // " (the keyboard was unplugged)" when the channel hung up, else nothing.
  std::string Unplugged() const;
  int NoKeyLayout(const std::string& consequence);

  // ---- files ----
  int ValidateInput(const std::string& path);
  bool MayWrite(const std::string& path, int* code);

  // ---- commands ----
  int CmdList();
  int CmdDescribe();
  int CmdInfo();
  int CmdRead();
  int CmdWrite(bool all_layers);
  int CmdSelect();
  int CmdShow();
  int CmdValidate();
  int CmdNew();
  int CmdExportJson();
  int CmdImportJson();
  int CmdLighting();
  int CmdLightingSet();
  int CmdWatch();

  int Verify(const std::vector<std::pair<int, KeyBlock>>& blocks, const std::vector<uint8_t>& area);
  std::string KeyName(uint16_t code) const { return KeyDisplayName(texts_, code); }
  std::string EntryName(int index) const;
  std::string Describe(const KeyAction& e, const ProfileConfig& config, int slot) const;
  void PrintJson(const JsonValue& v) { out_ << WriteJson(v) << "\n"; }

  const ConfigContext context_;
  Options o_;
  std::ostream& out_;
  std::ostream& err_;
  CliPrompt prompt_;
  RegistryStore registry_;
  LanguageFiles languages_;
  LanguageTextSource texts_;

  // Declared in the order they must be set up; destroyed the other way round.
  std::unique_ptr<SimHidBackend> sim_;
  std::unique_ptr<IHidBackend> hid_root_;
  IHidBackend* backend_ = nullptr;
  std::unique_ptr<CHidDevice> channel_;
  std::unique_ptr<CDeviceProtocol> protocol_;
  // A keyboard command is one exchange, from the first read on arrival to the last command.
  std::unique_ptr<CDeviceProtocol::Exchange> exchange_;
  DeviceSettings settings_;
  bool default_block_read_ = false;
};

bool Cli::SetUpBackend(int* code) {
  if (backend_) return true;
  if (o_.simulate && !o_.hid_root.empty()) {
    *code = Fail(kExitUsage, "--simulate and --hid-root cannot be used together");
    return false;
  }
  if (o_.simulate) {
    if (o_.state.empty()) {
      sim_ = std::make_unique<SimHidBackend>();
    } else {
      std::string why;
      sim_ = SimHidBackend::WithStateFile(o_.state, &why);
      if (!sim_) {
        *code = Fail(kExitInvalidFile, "simulated keyboard state " + o_.state + ": " +
                                           (why.empty() ? "cannot be used" : why));
        return false;
      }
    }
    backend_ = sim_.get();
  } else if (!o_.hid_root.empty()) {
    hid_root_ = CreatePlatformHidBackend(o_.hid_root);
    backend_ = hid_root_.get();
  } else {
    backend_ = &DefaultHidBackend();
  }
  return true;
}

// Finds and opens the keyboard's command channel, then reads what the program reads on arrival:
// the default key block and the settings record (macro capacity).
int Cli::Connect() {
  int code = kExitSuccess;
  if (!SetUpBackend(&code)) return code;
  std::vector<HidInterfaceInfo> interfaces = EnumerateHidInterfaces(*backend_);
  std::vector<const HidInterfaceInfo*> candidates;
  bool device_seen = false;
  for (const HidInterfaceInfo& i : interfaces) {
    if (!o_.device.empty() && i.path != o_.device && i.node != o_.device) continue;
    device_seen = true;
    if (i.vendor_id == kKeyboardVendorId && i.product_id == kKeyboardProductId &&
        i.caps.usage_page == kCommandUsagePage && i.caps.usage == kCommandUsage)
      candidates.push_back(&i);
  }
  if (candidates.empty()) {
    if (!o_.device.empty())
      return Fail(kExitFailure, device_seen ? o_.device + " is not the keyboard's command channel"
                                            : "no HID device at " + o_.device);
    return Fail(kExitFailure, "no keyboard found (is it plugged in?)");
  }
  channel_ = std::make_unique<CHidDevice>(backend_);
  std::string no_permission, not_a_device;
  for (const HidInterfaceInfo* c : candidates) {
    if (channel_->Open(c->path, true, true, true, false)) {
      const HidAttributes& a = channel_->Attributes();
      const HidCaps& caps = channel_->Caps();
      if (a.vendor_id == kKeyboardVendorId && a.product_id == kKeyboardProductId &&
          caps.usage_page == kCommandUsagePage && caps.usage == kCommandUsage)
        break;
      channel_->Close();
    } else if (channel_->LastOpenError() == HidOpenError::NotADevice) {
      not_a_device = c->node;
    } else if (channel_->LastOpenError() == HidOpenError::NoPermission || !c->accessible) {
      no_permission = c->node;
    }
  }
  if (!channel_->IsOpen()) {
    channel_.reset();
    if (!not_a_device.empty())
      return Fail(kExitFailure, not_a_device + " is not a HID device node (not a hidraw character "
                                               "device); it was not used");
    if (!no_permission.empty())
      return Fail(kExitFailure, "the keyboard is plugged in (" + no_permission +
                                    "), but this user may not open it: " + kUdevHint);
    return Fail(kExitFailure, "cannot open the keyboard at " + candidates.front()->path);
  }
  protocol_ = std::make_unique<CDeviceProtocol>(channel_.get());
  protocol_->SetOpen(true);
  exchange_ = std::make_unique<CDeviceProtocol::Exchange>(*protocol_);

  // As the connection handler does on arrival, so everything encodes as the program would.
  std::array<uint8_t, kKeyBlockBytes> block{};
  const int b = protocol_->ReadSteadyDefaultKeyBlock(block);
  if (exchange_->Busy()) return Fail(kExitFailure, texts_.Text(kTextKeyboardBusy));
  if (channel_->HungUp()) return Fail(kExitFailure, "the keyboard was unplugged");
  if (b == kResultOk) {
    context_.keyboard.SetDefaultKeyBlock(block);
    default_block_read_ = true;
  } else {
    prompt_.Notice(texts_.Text("MAIN_DEFAULT_MATRIX_PROMPT"));
  }
  const int r = protocol_->ReadSettings(&settings_);
  if (r != kResultOk)
    return Fail(kExitFailure, "reading the keyboard's settings failed: " + Why(r));
  context_.keyboard.SetMacroCapacity(settings_.MacroCapacityBytes());
  return kExitSuccess;
}

// Every key block is encoded and decoded against the keyboard's own factory layout; with the
// built-in one in its place a key could land on another position, so the tool stops instead.
int Cli::NoKeyLayout(const std::string& consequence) {
  return Fail(kExitFailure, "the keyboard's factory key layout could not be read twice alike, so "
                            "its keys cannot be mapped safely; " + consequence);
}

std::string Cli::Why(int result) const {
  return channel_ && channel_->HungUp() ? "the keyboard was unplugged" : ResultText(result);
}

std::string Cli::Unplugged() const {
  return channel_ && channel_->HungUp() ? " (the keyboard was unplugged)" : "";
}

void Cli::Disconnect() {
  exchange_.reset();  // lets the keyboard go for other programs
  if (protocol_) protocol_->SetOpen(false);
  if (channel_) channel_->Close();
  protocol_.reset();
  channel_.reset();
}

// Ends a keyboard command: closes the channel and keeps the simulated keyboard's memory.
int Cli::FinishKeyboard(int code) {
  Disconnect();
  if (sim_ && !o_.state.empty()) {
    std::string why;
    if (!sim_->Save(&why))
      return Fail(kExitFailure, "saving the simulated keyboard's state failed: " + why);
  }
  return code;
}

int Cli::ValidateInput(const std::string& path) {
  const int before = prompt_.Shown();
  const int v = ValidateProfileFile(path, prompt_, texts_);
  if (v <= 0) {
    if (prompt_.Shown() > before) return kExitInvalidFile;  // the store said why
    const InputFile file(path);
    if (!file.IsOpen()) {
      switch (file.Error()) {
        case ReadError::kMissing: return Fail(kExitInvalidFile, path + ": no such file");
        case ReadError::kNotRegular: return Fail(kExitInvalidFile, path + ": not a regular file");
        default: return Fail(kExitInvalidFile, path + ": cannot be opened for reading");
      }
    }
    if (file.Size() < kProfileImageSize)
      return Fail(kExitInvalidFile, path + ": too short for a profile file (" +
                                        std::to_string(file.Size()) + " bytes)");
    if (v == -2) return Fail(kExitInvalidFile, path + ": cannot be read");
    return Fail(kExitInvalidFile, path + ": not a valid profile file");
  }
  // The header holds together; a file cut short of what it declares still loads, but whatever
  // is missing would be lost without a word, so it is refused as damaged.
  const InputFile file(path);
  std::array<uint8_t, 32> header{};
  if (!file.ReadAt(0, header.data(), header.size()))
    return Fail(kExitInvalidFile, path + ": cannot be read");
  const std::string missing = MissingProfileParts(HeaderFromBytes(header), file.Size());
  if (!missing.empty())
    return Fail(kExitInvalidFile, path + ": damaged: the file is shorter than its header says (" +
                                      std::to_string(file.Size()) + " of " +
                                      std::to_string(DeclaredProfileFileSize(HeaderFromBytes(header))) +
                                      " bytes); missing: " + missing);
  return kExitSuccess;
}

// Whether an output file may be written: a new one always, an existing one after a Yes.
bool Cli::MayWrite(const std::string& path, int* code) {
  std::string why;
  if (!CanWriteFileAtomic(path, &why)) {
    *code = Fail(kExitFailure, "cannot write " + path + ": " + why);
    return false;
  }
  if (!FileExists(path)) return true;
  if (prompt_.AskYesNo(path + " exists. Replace it?")) return true;
  *code = Fail(kExitFailure, path + " exists and was not replaced (give --yes to replace it)");
  return false;
}

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

struct LightingField {
  const char* option;
  size_t offset;
  int64_t lo, hi;
};
constexpr LightingField kLightingFields[] = {
    {"mode", 0, 1, 254}, {"brightness", 1, 0, 24}, {"speed", 2, 0, 4},
    {"direction", 4, 0, 255}, {"rate", 15, 0, 3},
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
  std::array<std::array<uint8_t, kReportDataBytes>, 3> records{};
  protocol_->BeginAccess();
  int failed = kResultOk;
  for (int p = 0; p < 3; ++p) {
    const int r = protocol_->ReadLighting(records[size_t(p)], kReportDataBytes,
                                          static_cast<uint16_t>(p * kLightingRecordBytes));
    if (r != kResultOk && failed == kResultOk) failed = r;
  }
  protocol_->EndAccess();
  if (failed != kResultOk)
    return FinishKeyboard(Fail(kExitFailure, "reading the lighting failed: " + Why(failed)));
  const int index = languages_.GetLanguageIndex();
  JsonValue profiles = JsonValue::Array();
  for (int p = 0; p < 3; ++p) {
    const auto& rec = records[size_t(p)];
    const int mode = rec[0];
    const int rate = rec[15] > 3 ? 3 : rec[15];
    const int tool = rec[16] > 1 ? 0 : rec[16];
    const std::string name = languages_.LoadModeText(mode, index);
    if (o_.json) {
      JsonValue j = JsonValue::Object();
      j.Set("profile", p);
      j.Set("mode", mode);
      j.Set("mode_name", name);
      j.Set("brightness", static_cast<int>(rec[1]));
      j.Set("speed", static_cast<int>(rec[2]));
      j.Set("user_mode", static_cast<int>(rec[3]));
      j.Set("direction", static_cast<int>(rec[4]));
      j.Set("report_rate", rate);
      j.Set("paint_tool", tool);
      profiles.Push(std::move(j));
    } else {
      out_ << "Profile " << p << ": mode " << mode << " (" << name << "), brightness "
           << int(rec[1]) << ", speed " << int(rec[2]) << ", direction " << int(rec[4])
           << ", user mode " << int(rec[3]) << ", report rate " << rate << ", paint tool "
           << tool << "\n";
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
    if (f.offset == 4 && x != 0 && x != 255)
      return Fail(kExitUsage, "--direction: \"" + v->second + "\" is not 0 or 255");
    writes.emplace_back(&f, static_cast<uint8_t>(x));
  }
  if (writes.empty())
    return Fail(kExitUsage, "lighting set: give at least one of --mode, --brightness, --speed, "
                            "--direction and --rate");
  int code = Connect();
  if (code != kExitSuccess) return FinishKeyboard(code);
  for (const auto& [field, value] : writes) {
    if (field->offset != 0) continue;
    bool offered = false;
    std::string list;
    for (size_t slot = 0; slot < DeviceSettings::kModeCount; ++slot) {
      const int m = settings_.Mode(slot);
      if (m == 0 || m == 16) continue;
      offered = offered || m == value;
      list += (list.empty() ? "" : ", ") + std::to_string(m);
    }
    if (!offered || (value > 28 && value != DeviceSettings::kPerKeyMode))
      return FinishKeyboard(Fail(kExitUsage, "--mode: the keyboard does not offer mode " +
                                                 std::to_string(value) + " (it offers " + list + ")"));
  }
  protocol_->BeginAccess();
  int failed = kResultOk;
  std::string failed_field;
  for (const auto& [field, value] : writes) {
    const uint8_t byte = value;
    const int r = protocol_->WriteLighting(
        &byte, 1, static_cast<uint16_t>(profile * kLightingRecordBytes + field->offset));
    if (r != kResultOk && failed == kResultOk) {
      failed = r;
      failed_field = field->option;
    }
  }
  protocol_->EndAccess();
  if (failed != kResultOk)
    return FinishKeyboard(Fail(kExitFailure, "writing the lighting " + failed_field + " failed: " +
                                                 Why(failed)));
  if (!o_.json) out_ << "Lighting of profile " << profile << " written\n";
  return FinishKeyboard(kExitSuccess);
}

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

int Cli::Run() {
  if (o_.command.empty() || o_.command == "help") {
    if (o_.command == "help" && !o_.positional.empty()) {
      const CommandInfo* c = FindCommand(o_.positional[0]);
      if (!c) return Fail(kExitUsage, "unknown command \"" + o_.positional[0] + "\"");
      out_ << CommandHelp(*c);
      return kExitSuccess;
    }
    if (o_.help || o_.command == "help") {
      out_ << ToolHelp();
      return kExitSuccess;
    }
    err_ << ToolHelp();
    return Fail(kExitUsage, "no command given");
  }
  const CommandInfo* command = FindCommand(o_.command);
  if (!command)
    return Fail(kExitUsage, "unknown command \"" + o_.command + "\" (see orvane-cli --help)");
  if (o_.help) {
    out_ << CommandHelp(*command);
    return kExitSuccess;
  }
  for (const auto& [name, value] : o_.values) {
    bool ok = false;
    for (const char* v : command->value_options) ok = ok || name == v;
    if (!ok) return Fail(kExitUsage, o_.command + ": unknown option --" + name);
  }
  for (const std::string& name : o_.flags) {
    bool ok = false;
    for (const char* f : command->flag_options) ok = ok || name == f;
    if (!ok) return Fail(kExitUsage, o_.command + ": unknown option --" + name);
  }
  if (o_.positional.size() < command->min_args || o_.positional.size() > command->max_args)
    return Fail(kExitUsage, std::string("usage: orvane-cli ") + command->usage);

  const std::string& c = o_.command;
  if (c == "list") return CmdList();
  if (c == "describe") return CmdDescribe();
  if (c == "info") return CmdInfo();
  if (c == "read") return CmdRead();
  if (c == "write") return CmdWrite(true);
  if (c == "apply") return CmdWrite(false);
  if (c == "select") return CmdSelect();
  if (c == "show") return CmdShow();
  if (c == "validate") return CmdValidate();
  if (c == "new") return CmdNew();
  if (c == "export-json") return CmdExportJson();
  if (c == "import-json") return CmdImportJson();
  if (c == "lighting") return CmdLighting();
  if (c == "watch") return CmdWatch();
  return Fail(kExitUsage, "unknown command \"" + c + "\"");
}

}  // namespace

int RunCli(const ConfigContext& context, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err) {
  Options options;
  std::string error;
  if (!ParseArgs(args, &options, &error)) {
    err << kTool << ": " << error << " (see orvane-cli --help)\n";
    return kExitUsage;
  }
  try {
    Cli cli(context, std::move(options), out, err);
    return cli.Run();
  } catch (const std::bad_alloc&) {
    err << kTool << ": out of memory\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    err << kTool << ": " << e.what() << "\n";
    return kExitFailure;
  }
}

void RequestCliStop() { g_stop.store(true); }
bool CliWatching() { return g_watching.load(); }

}  // namespace orvane
