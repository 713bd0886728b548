// One run of orvane-cli: the options it was given, the keyboard it talks to (simulated, under a
// HID root, or the machine's), the prompt on the terminal, and one member per command. The
// commands are defined in keyboard_commands.cpp (the keyboard and its lighting, list, describe,
// watch) and file_commands.cpp (profile files and their JSON form); commands.cpp sets up the
// keyboard and runs the command. Inside the cli library only.
#pragma once

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

#include "cli/arguments.h"
#include "cli/commands.h"
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

namespace orvane::cli {

inline constexpr const char* kTool = "orvane-cli";
inline constexpr const char* kUdevHint =
    "install the udev rule (packaging/install-udev-rule.sh, see the README)";

// Set by RequestCliStop; true while `watch` runs.
extern std::atomic<bool> g_stop;
extern std::atomic<bool> g_watching;

std::string ResultText(int result);
std::string Timestamp();
std::string Bytes3(const uint8_t* p);

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

}  // namespace orvane::cli
