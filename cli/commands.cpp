// orvane-cli: setting up the keyboard a command talks to, running the command, RunCli.
#include "cli/commands.h"

#include "cli/session.h"

namespace orvane {
namespace cli {

std::atomic<bool> g_stop{false};
std::atomic<bool> g_watching{false};

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

}  // namespace cli

using cli::Cli;
using cli::g_stop;
using cli::g_watching;
using cli::kTool;
using cli::Options;
using cli::ParseArgs;

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
