#include "ui/main/orvane_dlg.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QGuiApplication>
#include <QShortcut>
#include <cstdio>

#include "platform/hid_backend.h"
#include "platform/paths.h"
#include "store/profile_store.h"
#include "ui/controls/bitmap_slider.h"
#include "ui/layout/dialog_layout.h"
#include "ui/main/about_dialog.h"
#include "ui/main/busy_indicator.h"
#include "ui/main/key_matrix.h"
#include "ui/main/lighting_panel.h"
#include "ui/main/main_commands.h"
#include "ui/skin/gui_thread.h"
#include "ui/skin/png_button.h"
#include "ui/skin/resources.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"

namespace orvane {

namespace {

namespace m = ids::main;

constexpr ColorRef kCaptionWhite = 0xFFFFFF;
constexpr ColorRef kCaptionGrey = 0x7F7F7F;
constexpr const char* kCaptionFace = "Arial Unicode MS";
constexpr unsigned kProfilesCaptionFormat = 40;
constexpr unsigned kVersionCaptionFormat = 36;
constexpr int kProfilesEscapement = 268;
// A right click this close to the top edge is a click on the caption.
constexpr int kCaptionStripHeight = 40;
// What the window menu's About item reads when the language file has no text for it.
constexpr const char* kAboutItemKey = "MAIN_SYSMENU_ABOUT";
constexpr const char* kAboutItemFallback = "About VELMORA Q5...";
// Registry value that remembers that the missing notification area has been explained.
constexpr const char* kNoTrayNoticeValue = "dwNoTrayNotice";

// The controls of dialog template 102 that are not image buttons.
enum class PlainKind { Label, Combo, Slider };
PlainKind KindOf(int id) {
  switch (id) {
    case m::kModeCombo:
    case m::kUserModeCombo: return PlainKind::Combo;
    case m::kBrightnessSlider:
    case m::kSpeedSlider: return PlainKind::Slider;
    default: return PlainKind::Label;
  }
}

bool IsMissing(const std::string& text) { return text.empty() || text == "#Error"; }

}  // namespace

std::string NamedObjectName(int number) {
  char name[64];
  std::snprintf(name, sizeof name, "%sMain_%02d", m::kNamedObjectPrefix, number);
  return name;
}

COrvaneDlg::COrvaneDlg(MainDialogServices services, QWidget* parent)
    : CBaseDialog(ids::templates::kMain, parent, services.paths.main_skin, services.paths.main_skin_folder),
      services_(std::move(services)),
      prompt_(this) {
  link_ = std::make_unique<QtMainWindowLink>(this, *this);
  monitor_ = std::make_unique<CPresenceMonitor>(services_.protocol, *link_, prompt_, services_.texts,
                                                services_.backend, services_.waits);
  monitor_->SetStartSilent(services_.start_silent);
  CPresenceMonitor::KeyboardValueSinks sinks;
  KeyboardFacts* facts = &services_.config.keyboard;
  sinks.set_default_key_block = [facts](std::span<const uint8_t, kKeyBlockBytes> b) { facts->SetDefaultKeyBlock(b); };
  sinks.set_macro_capacity = [facts](size_t bytes) { facts->SetMacroCapacity(bytes); };
  monitor_->SetKeyboardValueSinks(std::move(sinks));
  CreateTemplateControls();
  RegisterHandlers();
  lighting_ = std::make_unique<CLightingPanel>(*this, services_.protocol, services_.languages, services_.settings,
                                               [this] { RefreshKeyMatrix(); });
  lighting_->BindHooks(hooks_);
  matrix_ = std::make_unique<CKeyMatrix>(*this);
  commands_ = std::make_unique<CMainCommands>(*this, *matrix_);
  hooks_.place_key_buttons = [this] { matrix_->PlaceKeyButtons(); };
  hooks_.refresh_key_matrix = [this] { matrix_->RefreshKeyMatrix(); };
  hooks_.apply = [this] { commands_->ApplyConfiguration(); };
  hooks_.help = [this] { commands_->Help(); };
  apply_pending_ = false;
}

COrvaneDlg::~COrvaneDlg() {
  // Whatever path ended the run, no thread may outlive the window: the device threads and the
  // window tag's server are stopped here at the latest.
  link_->BeginShutdown();
  prompt_.Release();
  monitor_->Stop();
  tag_.Join();
  qApp->removeEventFilter(this);
}

// ---- the template -------------------------------------------------------------------------

void COrvaneDlg::CreateTemplateControls() {
  for (const layout::SkinControl& c : layout::Controls(layout::SkinDialog::Main)) {
    if (c.placement == layout::Placement::Picture || c.placement == layout::Placement::Move) continue;
    if (c.id != ids::kNoControl && Control(c.id) != nullptr) continue;
    QWidget* control = nullptr;
    if (c.placement == layout::Placement::Button || c.placement == layout::Placement::ButtonFrom) {
      control = new CPngButton(this);
    } else {
      switch (KindOf(c.id)) {
        case PlainKind::Combo: control = new QComboBox(this); break;
        case PlainKind::Slider: control = new CBitmapSlider(this); break;
        case PlainKind::Label: control = new QLabel(this); break;
      }
    }
    control->setObjectName(QString::fromStdString(c.key));
    if (c.id != ids::kNoControl) AddControl(control, c.id);
  }
  if (auto* combo = ControlAs<QComboBox>(m::kModeCombo)) combo->installEventFilter(this);
}

CPngButton* COrvaneDlg::Button(int id) const { return ControlAs<CPngButton>(id); }

void COrvaneDlg::PlaceControls() {
  // Every state picture once, shared by all buttons whose faces are cut from it.
  const QSize client = background().size();
  std::map<std::string, QPixmap>& cache = pictures_;
  auto picture = [&](std::string_view name) -> const QPixmap* {
    if (name.empty()) return nullptr;
    auto it = cache.find(std::string(name));
    if (it == cache.end())
      it = cache.emplace(std::string(name), PrepareSkinPicture("Skins\\" + std::string(name), client)).first;
    return &it->second;
  };
  for (const std::string& name : layout::StatePictureFiles(layout::SkinDialog::Main)) picture(name);

  auto set_of = [&](layout::Faces faces) {
    const layout::FaceFiles f = layout::FaceFilesOf(faces);
    return SkinPictures{picture(f[0]), picture(f[1]), picture(f[2]), picture(f[3]), picture(f[4])};
  };
  const std::string& ini = iniPath();
  auto place_from = [&](const layout::SkinControl& c, QWidget* control) {
    if (c.placement != layout::Placement::ButtonFrom) return;  // moved and picture entries: nothing here
    const std::string section(c.section);
    auto* button = static_cast<CPngButton*>(control);
    if (!c.picture_key.empty()) {
      // Faces cut at a place of their own (the flip keys D1 to D6).
      PlaceSkinButtonFrom(button, ini, section, c.key, std::string(layout::kSectionPictures), c.picture_key,
                          set_of(c.faces));
      return;
    }
    // The arrows start with the picture of the first flip state; the key matrix turns them.
    const std::string picture_key =
        std::string(c.id == m::kLeftArrow ? layout::kArrowPictureKeys[1] : layout::kArrowPictureKeys[3]);
    PlaceSkinButtonFrom(button, ini, section, c.key, std::string(layout::kSectionPictures), picture_key,
                        picture(layout::FaceFilesOf(c.faces)[0]));
  };
  PlaceSkinControls(
      layout::SkinDialog::Main, [&](layout::Faces faces) { return std::optional<SkinPictures>(set_of(faces)); },
      place_from);
}

// ---- initialisation -----------------------------------------------------------------------

int COrvaneDlg::RunModal() {
  if (!OnInitDialog()) return QDialog::Rejected;
  if (!ended_) {
    modal_loop_ = std::make_unique<QEventLoop>();
    modal_loop_->exec();
  }
  return result();
}

bool COrvaneDlg::OnInitDialog() {
  // 1. Background and outline.
  CBaseDialog::OnInitDialog();
  // 2. A frameless window has no system menu: its About item is offered on a right click in the
  //    caption strip (and on Alt+Space), see ShowWindowMenu.
  auto* window_menu = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
  connect(window_menu, &QShortcut::activated, this, [this] { ShowWindowMenu(mapToGlobal(QPoint(0, 0))); });
  // 3. The program icon.
  RegisterResources();
  setWindowIcon(LoadIconResource(kTrayIconProgram));
  // 4. The window is reachable from now on; no profile is known yet.
  services_.protocol.ClearProfileCache();
  // 5. The device threads: the event listener first, then the presence monitor.
  monitor_->Start();
  // 6. (Layered windows are always there on this platform: nothing to check.)
  // 7. The editing instance starts as the default configuration.
  CreateDefaultProfile(services_.config.editing, std::string(), true);
  SetApplyPending(false);
  // 8. Pictures, controls, links, key buttons, tooltips and caption styles.
  PlaceControls();
  for (size_t i = 0; i < links_.size(); ++i)
    links_[i] = ini().Read(std::string(layout::kSectionScreen), std::string(layout::kMainLinkKeys[i])).value_or("");
  if (hooks_.place_key_buttons) hooks_.place_key_buttons();
  const int language = LanguageIndex();
  const std::pair<int, const char*> tips[] = {{m::kHelp, "MAIN_HELP_PROMPT"},
                                              {m::kClose, "MAIN_CLOSE_PROMPT"},
                                              {m::kMinimize, "MAIN_MINIMIZE_PROMPT"},
                                              {m::kMenu, "MAIN_MENU_PROMPT"}};
  for (const auto& [id, key] : tips)
    if (CPngButton* b = Button(id)) b->SetTooltip(Text(key, language), true);
  if (CPngButton* profiles = Button(m::kProfiles)) {
    profiles->SetTextRotation(kProfilesEscapement, true);
    StyleCaption(profiles, kProfilesCaptionFormat);
  }
  if (auto* version = findChild<CPngButton*>("KALVEN_VER")) {
    version->setText(QString());
    version->SetTextStyle(true, 8, "Verdana Unicode MS", kCaptionWhite, kCaptionWhite, kCaptionWhite, kCaptionGrey,
                          kCaptionWhite, kVersionCaptionFormat);
    version->setEnabled(false);
  }
  // 9. The settings file's path is formed by the settings object; then the lighting panel and the
  //    busy indicator, whose frames are loaded with the panel's bitmaps.
  (void)services_.settings.WskbIniPath();
  if (hooks_.prepare_lighting) hooks_.prepare_lighting();
  if (auto* busy = ControlAs<QLabel>(m::kBusy)) {
    busy_ = std::make_unique<CBusyIndicator>(busy, this);
    busy_->LoadFrames(skinFolder());
  }
  // 10. No task-bar button while hidden; the window tag; the caption.
  tray_available_ = services_.tray == TrayPresence::Detect ? CTrayIcon::Available()
                                                       : services_.tray == TrayPresence::Present;
  SetWindowType(tray_available_ ? Qt::Tool : Qt::Dialog);
  tag_.Start(kMainWindowTag,
             [this](uint32_t message, uintptr_t wparam, intptr_t lparam) {
               return AnswerInstanceRequest(message, wparam, lparam);
             },
             services_.instance_folder);
  setWindowTitle(QString::fromStdString(Text("MAIN_CAPTION", language)));
  // 11. The named objects.
  std::vector<std::string> names;
  for (int n = 1; n <= m::kNamedObjectCount; ++n) names.push_back(NamedObjectName(n));
  named_objects_.Create(names, services_.instance_folder);
  // 12. The notification-area icon.
  CreateTray();
  // 13. Every text.
  SendWindowMessage(this, WM_MAIN_LANGUAGE, kCheckWordLanguage, language >= 4 ? 0 : language);
  // 14. The user-mode combo box.
  if (auto* user_modes = ControlAs<QComboBox>(m::kUserModeCombo)) {
    user_modes->clear();
    // The items are named by these words; a language file may give them texts of its own.
    for (const char* key : {"USER_MODE1", "USER_MODE2", "USER_MODE3"}) {
      const std::string text = Text(key, language);
      user_modes->addItem(QString::fromStdString(IsMissing(text) ? std::string(key) : text));
    }
  }
  qApp->installEventFilter(this);
  // 15. Done: hide once more when the queue gets here.
  PostWindowMessage(this, WM_MAIN_INITDONE, kCheckWordInit, 0);
  return true;
}

void COrvaneDlg::RegisterResources() {
  for (int id : layout::kIconResources) {
    QIcon icon;
    for (int size : layout::kIconSizes) {
      const QImage image = LoadImageFile(JoinPath(services_.paths.program_dir, layout::IconFileName(id, size)));
      if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    RegisterIconResource(id, icon);
  }
  RegisterMenuResource(ids::menu::kTray, MenuResource{{{{ids::menu::kTrayOpen, "Open"},
                                                         {ids::menu::kTrayAbout, "About"},
                                                         {0, ""},
                                                         {ids::menu::kTrayExit, "Exit"}}}});
}

void COrvaneDlg::CreateTray() {
  if (!tray_available_) {
    // No notification area: the window is the only way in. It opens when the keyboard is first
    // seen (also under /Start) and minimises instead of hiding; say so once.
    if (services_.registry == nullptr ||
        services_.registry->ReadDword(kAppRegistryKey, kNoTrayNoticeValue).value_or(0) == 0) {
      QTimer::singleShot(0, this, [this] {
        if (exiting_) return;
        prompt_.Notice(Text("MAIN_NO_TRAY_PROMPT"));
        if (services_.registry != nullptr) services_.registry->WriteDword(kAppRegistryKey, kNoTrayNoticeValue, 1);
      });
    }
    shown_icon_ = kTrayIconProgram;
    return;
  }
  if (services_.registry != nullptr) services_.registry->DeleteValue(kAppRegistryKey, kNoTrayNoticeValue);
  tray_.Create(this, m::kTrayCallbackMessage, Text("KEYBOARD_TRAY_DESC"), LoadIconResource(kTrayIconProgram),
               ids::menu::kTray);
  tray_.SetMenuCallback([this](QMenu* popup) { RelabelTrayMenu(popup); });
  shown_icon_ = kTrayIconProgram;
  if (services_.report) services_.report("tray created");
}

void COrvaneDlg::RelabelTrayMenu(QMenu* popup) {
  const std::map<int, const char*> keys = {
      {ids::menu::kTrayOpen, "MENU_11"}, {ids::menu::kTrayAbout, "MENU_22"}, {ids::menu::kTrayExit, "MENU_33"}};
  for (QAction* action : popup->actions())
    if (auto it = keys.find(MenuCommand(action)); it != keys.end())
      action->setText(QString::fromStdString(Text(it->second)));
  if (!services_.simulation.plug) return;
  // The built-in keyboard's own submenu, so arrival, loss and the icons can be tried out.
  popup->addSeparator();
  QMenu* sim = popup->addMenu(QString::fromStdString(Text("MENU_SIM")));
  const std::pair<int, const char*> items[] = {{m::kSimPlug, "MENU_SIM_PLUG"},
                                               {m::kSimUnplug, "MENU_SIM_UNPLUG"},
                                               {m::kSimLightingEvent, "MENU_SIM_LIGHTING"},
                                               {m::kSimSpecialOn, "MENU_SIM_SPECIAL_ON"},
                                               {m::kSimSpecialOff, "MENU_SIM_SPECIAL_OFF"}};
  for (const auto& [command, key] : items) {
    QAction* action = sim->addAction(QString::fromStdString(Text(key)));
    action->setProperty("simCommand", command);  // no menu command: the tray posts only its own
    connect(action, &QAction::triggered, this,
            [this, command] { PostWindowMessage(this, WM_COMMAND, uintptr_t(command), 0); });
  }
}

// ---- handlers -----------------------------------------------------------------------------

void COrvaneDlg::RegisterHandlers() {
  OnMessage(WM_MAIN_SHOW, [this](uintptr_t w, intptr_t) { return OnMainShow(w); });
  OnMessage(WM_MAIN_EXIT, [this](uintptr_t w, intptr_t) { return OnMainExit(w); });
  OnMessage(WM_MAIN_INITDONE, [this](uintptr_t w, intptr_t) { return OnInitDone(w); });
  OnMessage(WM_MAIN_PROFILE, [this](uintptr_t w, intptr_t) { return OnMainProfile(w); });
  OnMessage(WM_MAIN_DEVICELOST, [this](uintptr_t, intptr_t) { return OnDeviceLost(); });
  OnMessage(WM_MAIN_LANGUAGE, [this](uintptr_t w, intptr_t l) { return OnLanguage(w, l); });
  OnMessage(WM_SLIDER_MOVING, [this](uintptr_t w, intptr_t l) -> intptr_t {
    if (hooks_.slider_moving) hooks_.slider_moving(w, l);
    return 0;
  });

  // (A change of the system time reaches no window on this platform, so nothing here runs the
  // Apply command for it.)
  OnCommand(m::kOk, [this] { OnOK(); });
  OnCommand(m::kCancel, [this] { OnCancel(); });
  OnCommand(m::kMinimize, [this] { OnMinimize(); });
  OnCommand(m::kClose, [this] { ExitSequence(); });
  OnCommand(ids::menu::kTrayOpen, [this] { ShowRequest(); });
  OnCommand(ids::menu::kTrayAbout, [this] { OpenAbout(); });
  OnCommand(ids::menu::kTrayExit, [this] { ExitSequence(); });
  for (int command = m::kSysMenuAbout; command <= m::kSysMenuAboutLast; ++command)
    OnCommand(command, [this] { OpenAbout(); });
  auto sim = [this](auto fn) {
    return [this, fn] {
      if (services_.simulation.plug) fn(services_.simulation);
    };
  };
  OnCommand(m::kSimPlug, sim([](auto& s) { s.plug(); }));
  OnCommand(m::kSimUnplug, sim([](auto& s) { s.unplug(); }));
  OnCommand(m::kSimLightingEvent, sim([](auto& s) { s.send_event(kEventLightingChanged); }));
  OnCommand(m::kSimSpecialOn, sim([](auto& s) { s.send_event(kEventSpecialIconOn); }));
  OnCommand(m::kSimSpecialOff, sim([](auto& s) { s.send_event(kEventSpecialIconOff); }));
}

intptr_t COrvaneDlg::AnswerInstanceRequest(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  // Another start of the program: the request runs on the GUI thread and this server thread waits
  // for it, so that start waits as a sent message would.
  return link_->Send(message, wparam, lparam);
}

intptr_t COrvaneDlg::OnMainShow(uintptr_t wparam) {
  if (wparam != kCheckWordOpen) return 0;
  ShowRequest();
  return 1;
}

intptr_t COrvaneDlg::OnMainExit(uintptr_t wparam) {
  if (wparam != kCheckWordExit) return 0;
  ExitSequence();
  return 1;
}

intptr_t COrvaneDlg::OnInitDone(uintptr_t wparam) {
  if (wparam != kCheckWordInit) return 0;
  init_done_ = true;
  // The end of initialisation hides the window, unless a show request came first (the keyboard
  // may be found, and the window asked for, before this message comes round).
  if (!shown_on_request_) hide();
  return 1;
}

void COrvaneDlg::ShowCurrentProfile() {
  const int profile = services_.protocol.CurrentProfile();
  if (profile >= 0 && profile < int(m::kProfileButtons.size())) {
    for (size_t i = 0; i < m::kProfileButtons.size(); ++i)
      if (CPngButton* b = Button(m::kProfileButtons[i])) b->SetSelected(int(i) == profile, true);
    if (hooks_.set_lighting_profile) hooks_.set_lighting_profile(profile);
  }
  if (hooks_.load_lighting) hooks_.load_lighting();
  if (hooks_.rebuild_lighting) hooks_.rebuild_lighting();
}

intptr_t COrvaneDlg::OnMainProfile(uintptr_t wparam) {
  if (wparam != kCheckWordProfile) return 0;
  if (pending_at_loss_) {
    // Changes that had not reached the keyboard when it went (edits not applied yet, or an Apply
    // cut short by the unplug) outlive its return: they stay on screen with Apply offered, and
    // are not replaced by what the keyboard holds now.
    pending_at_loss_ = false;
    RefreshKeyMatrix();
    SetApplyPending(true);
  } else {
    ReloadFromKeyboard(services_.config, services_.protocol, services_.texts, *link_);
  }
  ShowCurrentProfile();
  // The profiles button names the keyboard's current profile from the start, not only after the
  // first switch.
  if (hooks_.refresh_profile_button) hooks_.refresh_profile_button();
  if (!tray_available_ && !opened_on_arrival_) {
    // Without a notification area nothing else could open the window. The keyboard is here (the
    // connection state turns to present once this handler has answered).
    opened_on_arrival_ = true;
    ShowWindowNow();
  }
  return 1;
}

intptr_t COrvaneDlg::OnDeviceLost() {
  // Whether the window holds changes that the keyboard going now does not have.
  pending_at_loss_ = pending_at_loss_ || IsApplyPending();
  CloseChildDialogs();
  setFocus();
  return 1;
}

intptr_t COrvaneDlg::OnLanguage(uintptr_t wparam, intptr_t lparam) {
  if (wparam != kCheckWordLanguage) return 0;
  const int language = int(lparam);
  if (CAboutDlg* about = this->about()) SendWindowMessage(about, WM_MAIN_LANGUAGE, wparam, lparam);
  if (hooks_.composite_open && hooks_.composite_open() && hooks_.composite_language) hooks_.composite_language(language);
  if (hooks_.relabel_lighting) hooks_.relabel_lighting(language);
  if (hooks_.refresh_profile_button) hooks_.refresh_profile_button();
  const std::pair<int, const char*> tips[] = {
      {m::kMinimize, "MAIN_MINIMIZE_PROMPT"}, {m::kMenu, "MAIN_MENU_PROMPT"}, {m::kClose, "MAIN_CLOSE_PROMPT"}};
  for (const auto& [id, key] : tips) {
    if (CPngButton* b = Button(id)) {
      b->SetTooltip(Text(key, language), false);
      b->SetTooltip(Text(key, language), true);
    }
  }
  const std::pair<int, const char*> captions[] = {
      {m::kProfile1, "PROFILE_1"},     {m::kProfile2, "PROFILE_2"},       {m::kProfile3, "PROFILE_3"},
      {m::kMacro, "PROFILE_MACRO"},    {m::kDefault, "PROFILE_DEFAULT"}, {m::kOk, "PROFILE_OK"},
      {m::kCancel, "PROFILE_CANCLE"}, {m::kApply, "PROFILE_APPLY"}};
  for (const auto& [id, key] : captions) {
    if (CPngButton* b = Button(id)) {
      b->setText(QString::fromStdString(Text(key, language)));
      StyleCaption(b, kDefaultTextFormat);
    }
  }
  return 1;
}

void COrvaneDlg::StyleCaption(CPngButton* button, unsigned format) {
  button->SetTextStyle(true, 10, kCaptionFace, kCaptionWhite, kCaptionWhite, kCaptionWhite, kCaptionGrey,
                       kCaptionWhite, format);
}

// ---- showing and hiding -------------------------------------------------------------------

void COrvaneDlg::ShowRequest() {
  if (exiting_) return;
  if (monitor_->ConnectionState() == 1) {
    ShowWindowNow();
    return;
  }
  const std::string key = KeyboardWithoutPermission() ? "MAIN_NO_PERMISSION_PROMPT" : "MAIN_NO_DEVICE_PROMPT";
  prompt_.Show(PromptRequest{Text(key), std::string(), PromptButtons::Ok, false});
}

void COrvaneDlg::ShowWindowNow() {
  // A normal application window while shown, with its task-bar button.
  SetWindowType(Qt::Dialog);
  if (!placed_) {
    // The first time, in the middle of the screen; later where the user left it.
    placed_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - rect().center());
  }
  show_allowed_ = true;
  shown_on_request_ = true;
  report_paint_ = services_.report != nullptr && !isVisible();
  showNormal();
  show_allowed_ = false;
  raise();
  activateWindow();
}

bool COrvaneDlg::KeyboardWithoutPermission() const {
  IHidBackend& backend = services_.backend != nullptr ? *services_.backend : DefaultHidBackend();
  for (const HidNodeInfo& node : backend.EnumerateNodes())
    if (node.vendor_id == kKeyboardVendorId && node.product_id == kKeyboardProductId && !node.accessible) return true;
  return false;
}

void COrvaneDlg::setVisible(bool visible) {
  // The window never shows itself at start: until initialisation is over, only a show request
  // makes it visible; the first two other attempts are turned down.
  if (visible && !show_allowed_) {
    if (initial_hide_ > 0) {
      --initial_hide_;
      return;
    }
    if (!init_done_) return;
  }
  CBaseDialog::setVisible(visible);
}

void COrvaneDlg::SetWindowType(Qt::WindowType type) {
  if ((windowFlags() & Qt::WindowType_Mask) == type) return;
  setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | type);
}

void COrvaneDlg::Hide() {
  if (!tray_available_ && !exiting_) {
    // Hidden, the window could not be found again: it goes to the task bar instead.
    if (isVisible()) showMinimized();
    return;
  }
  hide();
}

void COrvaneDlg::OnOK() {
  if (hooks_.apply) hooks_.apply();
  Hide();
}

void COrvaneDlg::OnCancel() { Hide(); }

void COrvaneDlg::OnMinimize() {
  // Posted, as the system's minimise command would be.
  QTimer::singleShot(0, this, [this] {
    if (!exiting_) showMinimized();
  });
}

void COrvaneDlg::ShowWindowMenu(const QPoint& global) {
  QMenu menu(this);
  std::string about = Text(kAboutItemKey);
  if (IsMissing(about)) about = kAboutItemFallback;
  QAction* item = menu.addAction(QString::fromStdString(about));
  if (menu.exec(global) == item) DispatchCommand(m::kSysMenuAbout);
}

void COrvaneDlg::OpenAbout() {
  if (exiting_) return;
  about_.Open([this] {
    auto* about = new CAboutDlg(this, JoinPath(services_.paths.main_skin_folder, "About.ini"),
                                services_.paths.main_skin_folder, services_.languages, links_[0],
                                LoadIconResource(kTrayIconProgram));
    about->SetHelpHandler([this] {
      if (hooks_.help) hooks_.help();
    });
    return about;
  });
}

CAboutDlg* COrvaneDlg::about() const { return about_.dialog(); }

void COrvaneDlg::CloseChildDialogs() {
  about_.Destroy();
  if (hooks_.cancel_profile_manager) hooks_.cancel_profile_manager();
  if (hooks_.composite_open && hooks_.composite_open() && hooks_.close_composite) hooks_.close_composite();
}

// ---- the exit sequence ----------------------------------------------------------------------

void COrvaneDlg::ExitSequence() {
  if (exiting_) return;
  exiting_ = true;
  // 1-2. Hide, close the other dialogs.
  hide();
  CloseChildDialogs();
  // A box or file dialog the user has not answered yet runs a loop of its own inside this one;
  // the run can only end once it is gone. Unanswered, a question reads as No.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* open = qobject_cast<QDialog*>(window);
    if (open != nullptr && open != this && open->isVisible()) open->reject();
  }
  // 3. The instance lock and the window tag: a start from now on is a first start.
  if (services_.mutex != nullptr) services_.mutex->Close();
  tag_.Close();
  // 4. The named objects.
  named_objects_.Close();
  // 5. The icon.
  tray_.Remove();
  shown_icon_ = 0;
  SetApplyPending(false);
  // The device threads stop before the instances they reach go: messages and prompts they wait
  // for are let go first, so stopping them cannot wait on this thread.
  link_->BeginShutdown();
  prompt_.Release();
  monitor_->Stop();
  for (auto& [id, timer] : timers_) timer->stop();
  // 6-7. Both instances, each under its own lock, in lock order.
  services_.config.editing.Discard();
  services_.config.applied.Discard();
  // 8. The pictures, and the end of the modal run.
  ReleaseSkin();
  ended_ = true;
  setResult(QDialog::Rejected);
  if (modal_loop_) modal_loop_->quit();
}

// ---- timers, tray, apply state --------------------------------------------------------------

void COrvaneDlg::SetTimer(int id, uint32_t interval_ms) {
  if (exiting_) return;
  QTimer*& timer = timers_[id];
  if (timer == nullptr) {
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
  }
  timer->start(int(interval_ms));
}

void COrvaneDlg::KillTimer(int id) {
  if (auto it = timers_.find(id); it != timers_.end()) it->second->stop();
}

bool COrvaneDlg::TimerActive(int id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

void COrvaneDlg::OnTimer(int id) {
  if (id == m::kTimerBusy) {
    if (busy_) busy_->NextFrame();
    return;
  }
  if (id == m::kTimerLightingReread) {
    KillTimer(id);
    // Never inside an apply's access bracket: the reread waits until the write is done.
    WhenNotBusy([this] {
      if (!exiting_ && hooks_.reread_lighting) hooks_.reread_lighting();
    });
  }
}

void COrvaneDlg::SetTrayState(int icon) {
  if (exiting_ || icon == shown_icon_) return;
  shown_icon_ = icon;
  tray_.SetIcon(icon);
  if (services_.report) services_.report("tray icon " + std::to_string(icon));
}

void COrvaneDlg::SetApplyPending(bool pending) {
  apply_pending_ = pending;
  if (QWidget* apply = Control(m::kApply)) apply->setEnabled(pending);
}

void COrvaneDlg::RefreshKeyMatrix() {
  if (hooks_.refresh_key_matrix) hooks_.refresh_key_matrix();
}

// ---- events ---------------------------------------------------------------------------------

bool COrvaneDlg::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->window() == this) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      // Enter and Escape neither press OK nor close the window.
      if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return true;
      const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
      if (arrow && type != QEvent::ShortcutOverride) {
        QWidget* combo = Control(m::kModeCombo);
        if (combo != nullptr && (widget == combo || combo->isAncestorOf(widget))) return true;
      }
    }
  }
  return CBaseDialog::eventFilter(watched, event);
}

bool COrvaneDlg::event(QEvent* event) {
  // The desktop's notification comes as the system's minimise or close of the window: closing a
  // frameless window from the task bar hides it, as Cancel does.
  if (event->type() == QEvent::Close) {
    event->ignore();
    if (!exiting_) OnCancel();
    return true;
  }
  return CBaseDialog::event(event);
}

void COrvaneDlg::paintEvent(QPaintEvent* event) {
  if (isMinimized()) {
    QPainter painter(this);
    const QIcon icon = LoadIconResource(kTrayIconProgram);
    const QRect box(QPoint(0, 0), QSize(32, 32));
    icon.paint(&painter, box.translated(rect().center() - box.center()));
    return;
  }
  CBaseDialog::paintEvent(event);
  if (report_paint_) {
    report_paint_ = false;
    services_.report("window shown " + std::to_string(++shown_count_));
  }
}

void COrvaneDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && event->position().y() < kCaptionStripHeight) {
    ShowWindowMenu(event->globalPosition().toPoint());
    event->accept();
    return;
  }
  CBaseDialog::mousePressEvent(event);
}

// ---- texts ----------------------------------------------------------------------------------

int COrvaneDlg::LanguageIndex() const { return services_.languages.GetLanguageIndex(); }

std::string COrvaneDlg::Text(const std::string& key) const { return Text(key, LanguageIndex()); }

std::string COrvaneDlg::Text(const std::string& key, int language) const {
  return services_.languages.LoadText(key, language);
}

}  // namespace orvane
