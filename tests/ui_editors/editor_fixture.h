// What the editor tests share: the composite dialog on the generated skin and the shipped language
// files, over an editing instance of its own, with the main window's side recorded, and key events
// as X11 delivers them (native scan code = evdev code + 8).
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QRect>
#include <memory>
#include <string>
#include <vector>

#include "model/profile_config.h"
#include "store/language.h"
#include "store/settings.h"
#include "tests/support/doubles.h"
#include "ui/editors/composite_dialog.h"

namespace orvane::testing {

// Evdev codes of the keys the tests press.
namespace evdev {
inline constexpr uint32_t kA = 30, kB = 48, kCapsLock = 58, kF1 = 59, kEnter = 28, kEscape = 1, kLeftMeta = 125,
                          kRightMeta = 126, kCompose = 127, kVolumeUp = 115, kPrintScreen = 99, kKeypadEnter = 96;
}

// Sends a key event carrying the X key code of an evdev code to the widget (through the
// application, so its event filters see it as they see a real key).
bool SendKey(QWidget* target, uint32_t evdev_code, bool release, bool auto_repeat = false,
             int qt_key = Qt::Key_unknown);
// Counts the key events that reach a widget.
class KeyCounter : public QObject {
 public:
  explicit KeyCounter(QWidget* widget) { widget->installEventFilter(this); }
  int presses = 0;
  int releases = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) ++presses;
    if (event->type() == QEvent::KeyRelease) ++releases;
    return false;
  }
};

class CompositeFixture {
 public:
  CompositeFixture();
  ~CompositeFixture();

  // The dialog, made on first use with the given macro panel factory.
  Orvane_DlgComposite& Dialog(MacroPanelFactory panel = {});
  // The entry of the current profile's layer.
  KeyAction Entry(int index);
  void SetEntry(int index, KeyAction action);
  // Renders the open dialog to <build>/gallery/<name>.png.
  void Render(const std::string& name);

  ProfileInstance editing;
  std::unique_ptr<LanguageFiles> languages;
  std::unique_ptr<LanguageTextSource> texts;
  ScriptedPrompt prompt;
  std::unique_ptr<AppSettings> settings;
  int current_profile = 1;
  QRect button_rect{200, 200, 40, 40};
  std::vector<std::pair<int, bool>> highlights;
  int refreshes = 0;
  int apply_pending = 0;
  int help = 0;
  std::string osk_program;
  std::vector<std::string> started;

 private:
  std::unique_ptr<Orvane_DlgComposite> dialog_;
};

}  // namespace orvane::testing
