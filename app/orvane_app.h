// COrvaneApp, the program's application object: it forms what the rest of the run finds in
// process-wide state before any window exists (settings root, settings key, paths from the
// program's own folder, the two configuration instances with their locks, the keyboard's HID
// backend), decides the command line and the single-instance rule, and runs the main window until
// its exit sequence ends the run. The device threads are stopped and joined before the locks and
// instances go.
//
// Options besides the switches: --simulate[=STATE] runs against the built-in simulated keyboard
// (its memory kept in STATE when given), --hid-root DIR against the HID tree of orvane-simkbd.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orvane {

struct AppOptions {
  std::vector<std::string> switches;  // the arguments the single-instance rule examines
  bool simulate = false;
  std::string simulate_state;  // empty: memory only
  std::string hid_root;
  bool help = false;
  std::string error;  // a usage error, to be reported
};

// Splits the program's own options from the rest; "/Kill", "/Start" and anything unknown stay in
// switches, in order.
AppOptions ParseAppOptions(const std::vector<std::string>& args);

class COrvaneApp {
 public:
  COrvaneApp();
  ~COrvaneApp();
  COrvaneApp(const COrvaneApp&) = delete;
  COrvaneApp& operator=(const COrvaneApp&) = delete;

  // Settings, paths, instances, the command line and the single-instance rule. True when this
  // process goes on as the first instance; false when it ends now (exit code 0: a /Kill run or a
  // second start) or cannot run (*exit_code says how).
  bool Start(const AppOptions& options, int* exit_code);
  // The main window until its exit sequence (a QApplication must exist); returns the exit code.
  int RunWindow();
  // The paths formed at start-up.
  const std::string& SkinFolder() const;
  // Index of the language the texts are in now (0 English, 1 Russian).
  int LanguageIndex() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// main(): the platform preference, the QApplication, the run. Returns the exit code.
int RunOrvane(int argc, char** argv);

}  // namespace orvane
