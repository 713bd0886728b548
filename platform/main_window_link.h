// How worker threads and core code reach the main window without knowing about the GUI toolkit:
// messages posted or sent (sent = wait for the window to handle it), timers, the tray icon state,
// hiding, and the Apply button's pending state. The GUI implements it with queued and
// blocking-queued calls; the command-line tool headless; tests record the calls (doubles.h).
#pragma once

#include <cstdint>

namespace orvane {

// The main window's own messages. Those marked "checked" carry their four-letter check word in
// wparam and are ignored without it.
constexpr uint32_t WM_MAIN_EXIT = 0x4D4B;        // checked
constexpr uint32_t WM_MAIN_SHOW = 0x5350;        // checked
constexpr uint32_t WM_MAIN_INITDONE = 0x4D4E;    // checked
constexpr uint32_t WM_MAIN_PROFILE = 0x5452;     // checked
constexpr uint32_t WM_MAIN_DEVICELOST = 0x4753;
constexpr uint32_t WM_MAIN_LANGUAGE = 0x5041;    // checked
constexpr uint32_t WM_SLIDER_MOVING = 0x28D1;
// A start with "/Update" asks the running instance to open its firmware update dialog; the
// window answers at once and opens the dialog afterwards, so that start does not wait for it.
constexpr uint32_t WM_MAIN_UPDATE = 0x5544;      // checked

// Check words: four letters packed big-endian into 32 bits ('E','X','I','T' -> 0x45584954).
constexpr uint32_t CheckWord(char a, char b, char c, char d) {
  return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) |
         uint32_t(uint8_t(d));
}

// The main window's tag (the letters "MAIN"): how another start of the program recognises it.
constexpr uint32_t kMainWindowTag = 0x4D41494E;

// The check words of the messages of the main window that do not come from the device link.
// The exit request's word is the one of these whose letters run last to first.
constexpr uint32_t kCheckWordExit = 0x4C4C494B;  // "KILL"
constexpr uint32_t kCheckWordInit = CheckWord('I', 'N', 'I', 'T');
constexpr uint32_t kCheckWordLanguage = CheckWord('L', 'A', 'N', 'G');
constexpr uint32_t kCheckWordShow = CheckWord('O', 'P', 'E', 'N');
constexpr uint32_t kCheckWordUpdate = CheckWord('U', 'P', 'D', 'T');
static_assert(kCheckWordExit == CheckWord('L', 'L', 'I', 'K') && kCheckWordInit == 0x494E4954 &&
              kCheckWordLanguage == 0x4C414E47 && kCheckWordShow == 0x4F50454E);

// Tray icon states (icon resource numbers): no keyboard, keyboard present, special state.
constexpr int kTrayIconProgram = 128;
constexpr int kTrayIconPresent = 141;
constexpr int kTrayIconSpecial = 142;

// The main window's lighting reread timer.
constexpr int kTimerLightingReread = 1051;

class IMainWindowLink {
 public:
  virtual ~IMainWindowLink() = default;
  virtual void Post(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
  // Delivers the message and waits until the window has handled it; returns the handler's result.
  virtual intptr_t Send(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
  virtual void SetTimer(int id, uint32_t interval_ms) = 0;
  virtual void SetTrayState(int icon) = 0;
  virtual void Hide() = 0;
  virtual void SetApplyPending(bool pending) = 0;
  virtual bool IsApplyPending() const = 0;
  // Redraws every key of the key matrix from the current profile's layer of the editing instance.
  virtual void RefreshKeyMatrix() = 0;
};

}  // namespace orvane
