// COrvaneDlg, the program's main window: a skinned dialog that lives hidden behind its icon in the
// notification area for the whole run and is shown on request, only while the keyboard is there.
// It starts the device threads, receives their notifications as window messages (through the
// main-window link), answers the requests of later starts of the program (its window tag), keeps
// the 208 named objects and ends the run with the ordered exit sequence.
//
// Every command and message goes through the dispatch tables of CBaseDialog, one handler per ID.
// The window owns the keyboard picture (CKeyMatrix) and the main commands (CMainCommands) and binds
// their hooks below. What other panels add plugs in through MainDialogHooks: the lighting panel
// (prepare, load, rebuild, relabel, reread, painting), the composite key dialog and the profile
// manager (open, close, the profile switch), the update dialog. A hook left empty does nothing.
#pragma once

#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "device/presence.h"
#include "device/protocol.h"
#include "model/config_context.h"
#include "platform/instance.h"
#include "platform/program_paths.h"
#include "store/language.h"
#include "store/settings.h"
#include "ui/layout/control_ids.h"
#include "ui/main/about_dialog.h"
#include "ui/main/qt_main_window_link.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/qt_prompt.h"
#include "ui/skin/tray_icon.h"

class QComboBox;
class QEventLoop;

namespace orvane {

class CBusyIndicator;
class CKeyMatrix;
class CMainCommands;
class CLightingPanel;
class CPngButton;

// The main window's own IDs beyond the shared table: the simulated keyboard's tray commands.
namespace ids::main {
inline constexpr int kSimPlug = 32790;
inline constexpr int kSimUnplug = 32791;
inline constexpr int kSimLightingEvent = 32792;
inline constexpr int kSimSpecialOn = 32793;
inline constexpr int kSimSpecialOff = 32794;
// How many named objects the window keeps, and how they are named.
inline constexpr int kNamedObjectCount = 208;
inline constexpr const char* kNamedObjectPrefix = "Orvane_Event_";
}  // namespace ids::main

// "Orvane_Event_Main_01" ... "Orvane_Event_Main_208".
std::string NamedObjectName(int number);

// Whether the desktop has a notification area: asked of the desktop, or given (tests).
enum class TrayPresence { Detect, Present, Absent };

// What the window works with; everything outlives the window.
struct MainDialogServices {
  MainDialogServices(ConfigContext config_in, CDeviceProtocol& protocol_in, const LanguageFiles& languages_in,
                     const ITextSource& texts_in, AppSettings& settings_in)
      : config(config_in), protocol(protocol_in), languages(languages_in), texts(texts_in), settings(settings_in) {}

  ConfigContext config;
  CDeviceProtocol& protocol;
  IHidBackend* backend = nullptr;  // the keyboard's HID backend; null: the platform's
  const LanguageFiles& languages;
  const ITextSource& texts;
  RegistryStore* registry = nullptr;  // may be null (settings key not opened)
  AppSettings& settings;
  ProgramPaths paths;
  CInstanceMutex* mutex = nullptr;  // the instance lock; closed by the exit sequence
  bool start_silent = false;         // "/Start"
  // The instance folder for the window tag and the named objects (InstanceFolder() when empty).
  std::string instance_folder;
  CPresenceMonitor::Waits waits;
  TrayPresence tray = TrayPresence::Detect;
  // Told of the tray icon's creation and changes and of every showing of the window (one line
  // each), for measurements; empty normally.
  std::function<void(const std::string&)> report;
  // --simulate: the built-in keyboard's controls for the tray's submenu (empty otherwise).
  struct Simulation {
    std::function<void()> plug;
    std::function<void()> unplug;
    std::function<void(uint16_t usage)> send_event;
  } simulation;
};

struct MainDialogHooks {
  // Step 8: places the key buttons (the key matrix); step 9: prepares the lighting panel.
  std::function<void()> place_key_buttons;
  std::function<void()> prepare_lighting;
  // On arrival: the keyboard's current profile becomes the panel's, then load and rebuild.
  std::function<void(int profile)> set_lighting_profile;
  std::function<void()> load_lighting;
  std::function<void()> rebuild_lighting;
  std::function<void(int language)> relabel_lighting;
  // Timer 1051: reread the lighting from the keyboard and rebuild the panel.
  std::function<void()> reread_lighting;
  std::function<void(uintptr_t slider, intptr_t position)> slider_moving;
  std::function<void()> refresh_key_matrix;
  // Key painting: whether a click on a key paints it (per-key editing on, a colour-page mode),
  // and painting one button; the Default command's lighting reset.
  std::function<bool()> painting_mode;
  std::function<void(int button)> paint_key;
  std::function<void()> reset_lighting;
  // The Apply command (OK runs it before hiding; a time change runs it).
  std::function<void()> apply;
  // Child dialogs: whether open, close as cancelled, relabel.
  std::function<bool()> composite_open;
  std::function<void()> close_composite;
  std::function<void(int language)> composite_language;
  std::function<void()> cancel_profile_manager;
  // Opening the child dialogs: the composite key dialog for a key button (or the macro editor,
  // kMacro), the profile manager, the update dialog.
  std::function<void(int button)> open_composite;
  std::function<void()> open_profile_manager;
  std::function<void()> open_update_dialog;
  // The profile switch of the three profile buttons (0 when refused, else 1) and the label of the
  // profiles button.
  std::function<int(int profile)> switch_profile;
  std::function<void()> refresh_profile_button;
  // The help command (the About dialog's F1 asks for it too).
  std::function<void()> help;
};

class COrvaneDlg : public CBaseDialog, public IMainWindowHost {
  Q_OBJECT
 public:
  explicit COrvaneDlg(MainDialogServices services, QWidget* parent = nullptr);
  ~COrvaneDlg() override;

  MainDialogHooks& hooks() { return hooks_; }
  const MainDialogHooks& hooks() const { return hooks_; }
  // The keyboard picture and the main commands (the window's own parts).
  CKeyMatrix& keyMatrix() { return *matrix_; }
  CMainCommands& commands() { return *commands_; }

  // The modal run: initialisation, then the window's event loop until the exit sequence ends it.
  // The window stays hidden until a show request.
  int RunModal();
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  // Marks the keyboard's current profile on the profile buttons and makes it the lighting panel's
  // profile, reading and rebuilding the panel (a profile that cannot be read changes neither mark).
  void ShowCurrentProfile();

  // IMainWindowHost.
  void SetTimer(int id, uint32_t interval_ms) override;
  void SetTrayState(int icon) override;
  void Hide() override;
  void SetApplyPending(bool pending) override;
  bool IsApplyPending() const override { return apply_pending_; }
  void RefreshKeyMatrix() override;
  void KillTimer(int id);

  // The show request and the exit sequence (also reachable by their messages and commands).
  void ShowRequest();
  void ExitSequence();

  // State, for the panels that plug in and for tests.
  QtMainWindowLink& link() { return *link_; }
  QtPrompt& prompt() { return prompt_; }
  CPresenceMonitor& monitor() { return *monitor_; }
  CTrayIcon& tray() { return tray_; }
  CBusyIndicator* busyIndicator() const { return busy_.get(); }
  CLightingPanel& lighting() const { return *lighting_; }
  CAboutDlg* about() const;
  int initialHideCounter() const { return initial_hide_; }
  int shownTrayIcon() const { return shown_icon_; }
  bool trayAvailable() const { return tray_available_; }
  bool initialised() const { return init_done_; }
  bool ended() const { return ended_; }
  const CWindowTagServer& windowTag() const { return tag_; }
  const CNamedObjects& namedObjects() const { return named_objects_; }
  const std::array<std::string, 3>& linkAddresses() const { return links_; }
  bool TimerActive(int id) const;
  const MainDialogServices& services() const { return services_; }

  // Opens the About dialog (modeless, one at a time).
  void OpenAbout();
  // Right click in the caption strip at the top of the window: the window menu (About).
  void ShowWindowMenu(const QPoint& global);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void setVisible(bool visible) override;

 private:
  // Tool (no task-bar button) while hidden, a dialog window while shown.
  void SetWindowType(Qt::WindowType type);
  void CreateTemplateControls();
  void PlaceControls();
  void RegisterResources();
  void RegisterHandlers();
  void CreateTray();
  void RelabelTrayMenu(QMenu* popup);
  int LanguageIndex() const;
  std::string Text(const std::string& key) const;
  std::string Text(const std::string& key, int language) const;
  CPngButton* Button(int id) const;
  void StyleCaption(CPngButton* button, unsigned format);

  intptr_t OnMainShow(uintptr_t wparam);
  intptr_t OnMainExit(uintptr_t wparam);
  intptr_t OnInitDone(uintptr_t wparam);
  intptr_t OnMainProfile(uintptr_t wparam);
  intptr_t OnDeviceLost();
  intptr_t OnLanguage(uintptr_t wparam, intptr_t lparam);
  void OnTimer(int id);
  void OnMinimize();
  void ShowWindowNow();
  void CloseChildDialogs();
  // True when the keyboard is plugged in but this user may not open it.
  bool KeyboardWithoutPermission() const;
  intptr_t AnswerInstanceRequest(uint32_t message, uintptr_t wparam, intptr_t lparam);

  MainDialogServices services_;
  MainDialogHooks hooks_;
  std::unique_ptr<QtMainWindowLink> link_;
  QtPrompt prompt_;
  std::unique_ptr<CPresenceMonitor> monitor_;
  CWindowTagServer tag_;
  CNamedObjects named_objects_;
  CTrayIcon tray_;
  bool tray_available_ = true;
  std::unique_ptr<CBusyIndicator> busy_;
  std::unique_ptr<CLightingPanel> lighting_;  // bound to the lighting hooks
  std::unique_ptr<CKeyMatrix> matrix_;
  std::unique_ptr<CMainCommands> commands_;
  AboutDialogSlot about_;
  std::map<int, QTimer*> timers_;
  std::map<std::string, QPixmap> pictures_;  // prepared state pictures by file name
  std::array<std::string, 3> links_;
  bool apply_pending_ = false;
  int initial_hide_ = 2;
  bool init_done_ = false;
  bool show_allowed_ = false;   // set while a show request shows the window
  bool shown_on_request_ = false;
  bool opened_on_arrival_ = false;
  // The keyboard went while the editing instance held changes it does not have yet.
  bool pending_at_loss_ = false;
  bool placed_ = false;
  int shown_count_ = 0;
  bool report_paint_ = false;
  bool exiting_ = false;
  bool ended_ = false;
  int shown_icon_ = kTrayIconProgram;
  std::unique_ptr<QEventLoop> modal_loop_;
};

}  // namespace orvane
