#include "ui/editors/composite_dialog.h"

#include <QComboBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>
#include <array>

#include "model/key_table.h"
#include "model/macro.h"
#include "platform/key_translation.h"
#include "platform/main_window_link.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "store/language.h"
#include "ui/controls/color_static.h"
#include "ui/editors/key_hook.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_placement.h"

namespace orvane {

namespace C = ids::composite;

namespace {

constexpr uint32_t kLanguageWord = kCheckWordLanguage;
constexpr const char* kFontFace = "Arial Unicode MS";
constexpr ColorRef kCaptionWhite = 0xFFFFFF;
constexpr ColorRef kCaptionGrey = 0x7F7F7F;
// Where the dialog is placed when no screen is known at all.
constexpr QRect kFallbackScreenArea(0, 0, 1920, 1080);
constexpr ColorRef kStaticColour = 0xE4E4E4;
constexpr int kKeyNameFontPt = 18;
constexpr int kListFontPt = 12;
constexpr int kCaptionFontPt = 10;
constexpr uint16_t kPrintScreen = 0x137;

// Mouse list items 0-4 and the key codes they stand for.
constexpr std::array<uint16_t, 5> kMouseCodes = {0x171, 0x172, 0x173, 0x161, 0x162};
constexpr std::array<const char*, 5> kMouseKeys = {"IDS_KEYBOARD_MOU_LEFT", "IDS_KEYBOARD_MOU_RIGHT",
                                                   "IDS_KEYBOARD_MOU_MIDDLE", "IDS_KEYBOARD_ROLL_UP",
                                                   "IDS_KEYBOARD_ROLL_DOWN"};

// Controls of the single-key, media and function panels.
constexpr std::array<int, 7> kSingleKeyControls = {C::kSinglePrompt,        C::kKeyInput,   C::kKeyboardRadioStatic,
                                                   C::kMouseRadioStatic,    C::kMouseCombo, C::kKeyboardRadio,
                                                   C::kMouseRadio};
constexpr std::array<int, 2> kMediaControls = {C::kMediaPrompt, C::kMediaSelect};
constexpr std::array<int, 2> kFunctionControls = {C::kFunctionPrompt, C::kFunctionSelect};
constexpr std::array<int, 4> kPanelButtons = {C::kKeyPanel, C::kMacroPanel, C::kMediaPanel, C::kFunctionPanel};

int ClampLanguageIndex(intptr_t index) { return index < 0 || index >= 4 ? 0 : int(index); }

int MouseItemOf(uint32_t code) {
  for (size_t i = 0; i < kMouseCodes.size(); ++i)
    if (kMouseCodes[i] == code) return int(i);
  return -1;
}

// Entry index of a button: G key j (0-8) is entry 256 + j of set A, a key button its key's index.
int EntryIndexOfButton(int button) {
  const std::array<int, kGKeyCount>& g = GKeyButtons();
  for (size_t j = 0; j < g.size(); ++j)
    if (g[j] == button) return kGKeySetA + int(j);
  const uint16_t code = KeyCodeOfButton(button);
  return code != 0 ? KeyIndexOf(code) : -1;
}

// The code a G-key entry carries in every layer.
uint16_t GKeyCodeOfEntry(int entry) {
  if (entry >= kGKeySetA && entry < kGKeySetB) return GKeyCode(0, entry - kGKeySetA + 1);
  if (entry >= kGKeySetB && entry < kGKeyEntriesEnd) return GKeyCode(1, entry - kGKeySetB + 1);
  return 0;
}

QFont Font(int points) {
  QFont font(QString::fromLatin1(kFontFace));
  font.setPointSize(points);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace

QPoint CompositePlacement(const QRect& screen, const QRect& button, const QSize& dialog, bool centred) {
  // Rectangles as the window manager gives them: right and bottom are one past the last pixel.
  const int W = screen.x() + screen.width();
  const int H = screen.y() + screen.height();
  const int w = dialog.width();
  const int h = dialog.height();
  if (centred) return QPoint(screen.x() + (screen.width() - w) / 2, screen.y() + (screen.height() - h) / 2);
  const int left = button.x();
  const int top = button.y();
  const int right = button.x() + button.width();
  const int bottom = button.y() + button.height();
  const bool fits_right = w <= W - right;
  const bool fits_left = w <= left - screen.x();
  const bool fits_below = h <= H - bottom;
  const bool fits_above = h <= top - screen.y();
  if (fits_right && fits_below) return QPoint(right, bottom);
  if (fits_right && fits_above) return QPoint(right, top - h);
  if (fits_left && fits_below) return QPoint(left - w, bottom);
  if (fits_left && fits_above) return QPoint(left - w, top - h);
  return QPoint(right, bottom);
}

Orvane_DlgComposite::Orvane_DlgComposite(CompositeServices services, CompositeHost host, QWidget* parent)
    : CBaseDialog(ids::templates::kComposite, parent, services.ini_path, services.skin_folder),
      services_(std::move(services)),
      host_(std::move(host)) {
  capture_ = std::make_unique<CKeyHook>([this](const KeyHookMessage& m) { OnCapture(m); });
  capture_->SetOwner(this);
  OnCommand(C::kKeyPanel, [this] {
    // A key still at its factory function stays there until a key is captured or a radio clicked.
    if (mode_ != kModeSingleKey && mode_ != kModeDefault) ChoosePanel(kModeSingleKey);
  });
  OnCommand(C::kMacroPanel, [this] { ChoosePanel(kModeMacro); });
  OnCommand(C::kMediaPanel, [this] { ChoosePanel(kModeMedia); });
  OnCommand(C::kFunctionPanel, [this] { ChoosePanel(kModeFunction); });
  OnCommand(C::kClear, [this] { OnClear(); });
  OnCommand(C::kOnScreenKeyboard, [this] { OnOnScreenKeyboard(); });
  OnCommand(C::kKeyboardRadio, [this] { OnRadio(false); });
  OnCommand(C::kMouseRadio, [this] { OnRadio(true); });
  OnCommand(C::kApply, [this] { Apply(); });
  OnCommand(C::kMask, [] {});
  OnCommand(C::kTitle, [] {});
  OnMessage(WM_MAIN_LANGUAGE, [this](uintptr_t word, intptr_t index) -> intptr_t {
    if (word != kLanguageWord) return 0;
    Relabel(ClampLanguageIndex(index));
    return 1;
  });
  OnMessage(WM_MAIN_INITDONE, [](uintptr_t, intptr_t) -> intptr_t { return 0; });
}

Orvane_DlgComposite::~Orvane_DlgComposite() {
  if (capture_) capture_->Remove();
}

bool Orvane_DlgComposite::captureInstalled() const { return capture_ && capture_->installed(); }

std::string Orvane_DlgComposite::Text(const std::string& key) const { return services_.texts.Text(key); }

int Orvane_DlgComposite::LanguageIndex() const { return ClampLanguageIndex(services_.languages.GetLanguageIndex()); }

CPngButton* Orvane_DlgComposite::Button(int id) const { return ControlAs<CPngButton>(id); }

// ---- opening ---------------------------------------------------------------------------------

bool Orvane_DlgComposite::Open(int button) {
  if (open_count_ > 0) return false;
  const int entry = EntryIndexOfButton(button);
  if (entry < 0) return false;
  // The key belongs to the keyboard's current profile; unknown, nothing can be read or written.
  const int profile = host_.current_profile ? host_.current_profile() : 0;
  if (profile < 0 || profile > 2) {
    services_.prompt.Notice(Text("MAIN_NO_DEVICE_PROMPT"));
    return false;
  }
  g9_ = button == GKeyButtons().back();  // G9, which the macro button opens too
  entry_index_ = entry;
  button_ = button;
  profile_ = profile;
  if (host_.highlight_button) host_.highlight_button(button, true);
  if (!OnInitDialog()) {
    Close();
    return false;
  }
  show();
  raise();
  activateWindow();
  return true;
}

void Orvane_DlgComposite::Prepare() {
  if (key_set_.normal != nullptr || open_count_ > 0) return;
  LoadSkin();
  CreateControls();
  PreparePictureSets();
  PlaceControls();
  FillLists();
  // One painting off screen: styles, fonts and glyphs are ready when the dialog first shows.
  QImage scratch(size(), QImage::Format_RGB32);
  render(&scratch);
}

bool Orvane_DlgComposite::OpenComposite(int button) {
  setWindowModality(Qt::ApplicationModal);
  if (!Open(button)) return false;
  QEventLoop loop;
  connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
  if (open_count_ > 0) loop.exec(QEventLoop::DialogExec);
  return true;
}

bool Orvane_DlgComposite::OnInitDialog() {
  // 1. Background and outline; open count.
  CBaseDialog::OnInitDialog();
  ++open_count_;
  closing_ = false;
  // 2-4. Controls (the panel's own and its action list included), pictures, placement.
  CreateControls();
  PreparePictureSets();
  PlaceControls();
  if (panel_) panel_->Create();
  // 5. The record-delay option.
  if (panel_) panel_->ReadRecordDelay();
  // 6-7. Fonts (set with the controls) and lists; the repeat field is the panel's.
  FillLists();
  // 8. The macro list; changed flag off.
  if (panel_) panel_->LoadMacroList();
  SetChangedFlag(false);
  // 9. The entry.
  ReadEntry();
  // 10. Macro-only mode.
  if (g9_) {
    mode_ = kModeMacro;
    for (int id : {C::kKeyPanel, C::kMediaPanel, C::kFunctionPanel, C::kClear}) {
      if (CPngButton* b = Button(id)) {
        b->SetImages(macro2_set_);
        b->setEnabled(false);
      }
    }
    if (CPngButton* title = Button(C::kTitle)) title->SetImages(macro2_set_);
  }
  // 11. Captions live in the separate statics; the panel of the mode.
  if (auto* radio = ControlAs<QRadioButton>(C::kKeyboardRadio)) radio->setText(QString());
  if (auto* radio = ControlAs<QRadioButton>(C::kMouseRadio)) radio->setText(QString());
  captured_ = 0;
  macro_shown_ = false;
  ShowPanel(true);
  SetChangedFlag(false);
  // 12. Beside the key.
  Place();
  // 13. Texts.
  SendWindowMessage(this, WM_MAIN_LANGUAGE, kLanguageWord, intptr_t(LanguageIndex()));
  return true;
}

void Orvane_DlgComposite::CreateControls() {
  if (built_) {
    // Every opening starts from the layout: macro-only mode may have changed the buttons.
    for (int id : {C::kKeyPanel, C::kMediaPanel, C::kFunctionPanel, C::kClear})
      if (CPngButton* b = Button(id)) b->setEnabled(true);
    return;
  }
  built_ = true;
  for (const layout::SkinControl& c : layout::Controls(layout::SkinDialog::Composite)) {
    if (c.placement == layout::Placement::Button) {
      // The macro panel's buttons are the panel's to create.
      if (c.faces != layout::Faces::CompositeKey) continue;
      auto* button = new CPngButton(this);
      button->setObjectName(QString::fromStdString(c.key));
      button->SetTextStyle(true, kCaptionFontPt, kFontFace, kCaptionWhite, kCaptionWhite, kCaptionWhite, kCaptionGrey,
                           kCaptionWhite, kDefaultTextFormat);
      AddControl(button, c.id);
      continue;
    }
    QWidget* control = nullptr;
    switch (c.id) {
      case C::kKeySetting:
      case C::kSinglePrompt:
      case C::kMediaPrompt:
      case C::kFunctionPrompt:
      case C::kKeyboardRadioStatic:
      case C::kMouseRadioStatic: {
        auto* label = new ColorStatic(this);
        label->SetTextColor(kStaticColour);
        label->setWordWrap(c.id != C::kKeyboardRadioStatic && c.id != C::kMouseRadioStatic);
        control = label;
        break;
      }
      case C::kKeyInput: {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setAlignment(Qt::AlignCenter);
        edit->setFont(Font(kKeyNameFontPt));
        // Keys typed here are captured, never edited.
        edit->setFocusPolicy(Qt::StrongFocus);
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        control = edit;
        break;
      }
      case C::kKeyboardRadio:
      case C::kMouseRadio: {
        auto* radio = new QRadioButton(this);
        radio->setAutoExclusive(true);
        control = radio;
        break;
      }
      case C::kMouseCombo:
      case C::kMediaSelect:
      case C::kFunctionSelect: {
        auto* combo = new QComboBox(this);
        combo->setFont(Font(kListFontPt));
        combo->setMaxVisibleItems(18);
        control = combo;
        break;
      }
      default: break;  // the macro panel's controls
    }
    if (control == nullptr) continue;
    control->setObjectName(QString::fromStdString(c.key));
    AddControl(control, c.id);
  }
  if (auto* apply = Button(C::kApply)) apply->setEnabled(false);
  if (services_.macro_panel) panel_ = services_.macro_panel(*this);
}

void Orvane_DlgComposite::PreparePictureSets() {
  if (key_set_.normal != nullptr) return;
  // The first opening of the run loads the five sets; a missing picture ends the process.
  static std::map<std::string, QPixmap> cache;
  auto picture = [&](std::string_view name) -> const QPixmap* {
    auto it = cache.find(std::string(name));
    if (it == cache.end()) it = cache.emplace(std::string(name), LoadFacePicture(name)).first;
    return &it->second;
  };
  auto set_of = [&](layout::Faces faces) {
    const layout::FaceFiles f = layout::FaceFilesOf(faces);
    return SkinPictures{picture(f[0]), picture(f[1]), picture(f[2]), picture(f[3]), picture(f[4])};
  };
  key_set_ = set_of(layout::Faces::CompositeKey);
  macro_set_ = set_of(layout::Faces::CompositeMacro);
  macro2_set_ = set_of(layout::Faces::CompositeMacro2);
  media_set_ = set_of(layout::Faces::CompositeMedia);
  function_set_ = set_of(layout::Faces::CompositeFunction);
}

void Orvane_DlgComposite::PlaceControls() {
  // The key set is the buttons' own; the buttons of the other sets are placed with their panels.
  PlaceSkinControls(layout::SkinDialog::Composite, [this](layout::Faces faces) {
    return faces == layout::Faces::CompositeKey ? std::optional<SkinPictures>(key_set_) : std::nullopt;
  });
}

void Orvane_DlgComposite::FillLists() {
  auto fill = [](QComboBox* combo, const std::vector<std::string>& items) {
    if (combo == nullptr) return;
    combo->clear();
    for (const std::string& item : items) combo->addItem(QString::fromStdString(item));
    combo->setCurrentIndex(0);
  };
  std::vector<std::string> mouse, media, functions;
  for (const char* key : kMouseKeys) mouse.push_back(Text(key));
  for (const MediaFunction& f : MediaFunctions()) media.push_back(KeyDisplayName(services_.texts, f.code));
  for (int n = 1; n <= kKeyboardFunctionCount; ++n) functions.push_back(Text("FUNC_KEY_DESC" + std::to_string(n)));
  fill(ControlAs<QComboBox>(C::kMouseCombo), mouse);
  fill(ControlAs<QComboBox>(C::kMediaSelect), media);
  fill(ControlAs<QComboBox>(C::kFunctionSelect), functions);
}

void Orvane_DlgComposite::ReadEntry() {
  auto lock = services_.editing.Acquire();
  ProfileConfig& config = services_.editing.Config();
  const KeyAction* entry = config.image ? config.image->EntryAt(profile_, entry_index_) : nullptr;
  opened_entry_ = entry != nullptr ? *entry : KeyAction{};
  mode_ = opened_entry_.type;
  value_ = opened_entry_.value;
  code_ = opened_entry_.code;
  keep_entry_ = mode_ == kActionDisabled || mode_ == kActionLaunchProgram || mode_ == kActionStopMacro ||
                mode_ == kActionPlayText || mode_ > kActionFunction;
}

void Orvane_DlgComposite::Place() {
  const QSize size = this->size();
  QRect button = host_.button_rect ? host_.button_rect(button_) : QRect();
  QScreen* screen = button.isValid() ? QGuiApplication::screenAt(button.center()) : nullptr;
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->geometry() : kFallbackScreenArea;
  // Without the button's place the dialog is centred.
  move(CompositePlacement(area, button, size, g9_ || !button.isValid()));
}

// ---- panels ---------------------------------------------------------------------------------

void Orvane_DlgComposite::SetPanelBackground(const SkinPictures& set) {
  if (CPngButton* mask = Button(C::kMask)) {
    mask->SetImages(set);
    mask->update();
  }
}

void Orvane_DlgComposite::ShowPanel(bool opening) {
  auto* mouse_radio = ControlAs<QRadioButton>(C::kMouseRadio);
  auto* keyboard_radio = ControlAs<QRadioButton>(C::kKeyboardRadio);
  auto* key_input = ControlAs<QLineEdit>(C::kKeyInput);
  auto* mouse_combo = ControlAs<QComboBox>(C::kMouseCombo);
  int shown_button = C::kKeyPanel;
  QWidget* focus = nullptr;
  if (mode_ == kModeMacro) {
    SetPanelBackground(macro_set_);
    capture_->Remove();
    if (panel_) panel_->ShowPanel(opening, !macro_shown_, value_);
    macro_shown_ = true;
    shown_button = C::kMacroPanel;
  } else if (mode_ == kModeMedia || mode_ == kModeFunction) {
    const bool media = mode_ == kModeMedia;
    SetPanelBackground(media ? media_set_ : function_set_);
    capture_->Remove();
    if (panel_ && panel_->Recording()) panel_->StopRecording();
    auto* list = ControlAs<QComboBox>(media ? C::kMediaSelect : C::kFunctionSelect);
    if (opening && list != nullptr && value_ < uint32_t(list->count())) list->setCurrentIndex(int(value_));
    shown_button = media ? C::kMediaPanel : C::kFunctionPanel;
    focus = list;
  } else {
    SetPanelBackground(key_set_);
    if (panel_ && panel_->Recording()) panel_->StopRecording();
    capture_->Install();
    bool mouse = false;
    if (opening) {
      // Only a single-key entry names a key; the value of any other type is no key code.
      captured_ = mode_ == kModeSingleKey && value_ <= 0xFFFF ? uint16_t(value_) : 0;
      if (key_input) key_input->clear();
      if (captured_ != 0) {
        const int item = MouseItemOf(captured_);
        if (item >= 0) {
          mouse = true;
          if (mouse_combo) mouse_combo->setCurrentIndex(item);
        } else if (key_input) {
          key_input->setText(QString::fromStdString(KeyDisplayName(services_.texts, captured_)));
        }
      }
    }
    if (mouse_radio) mouse_radio->setChecked(mouse);
    if (keyboard_radio) keyboard_radio->setChecked(!mouse);
    if (key_input) key_input->setEnabled(!mouse);
    if (mouse_combo) mouse_combo->setEnabled(mouse);
    focus = key_input;
  }
  // Show the panel's controls, hide the others.
  const bool single = shown_button == C::kKeyPanel;
  for (int id : kSingleKeyControls)
    if (QWidget* w = Control(id)) w->setVisible(single && !(g9_ && id == C::kSinglePrompt));
  for (int id : kMediaControls)
    if (QWidget* w = Control(id)) w->setVisible(shown_button == C::kMediaPanel && !(g9_ && id == C::kMediaPrompt));
  for (int id : kFunctionControls)
    if (QWidget* w = Control(id))
      w->setVisible(shown_button == C::kFunctionPanel && !(g9_ && id == C::kFunctionPrompt));
  if (panel_) panel_->SetPanelVisible(shown_button == C::kMacroPanel);
  for (int id : kPanelButtons)
    if (CPngButton* b = Button(id)) b->SetSelected(id == shown_button, true);
  if (focus != nullptr && focus->isVisible()) focus->setFocus();
}

void Orvane_DlgComposite::ChoosePanel(uint16_t mode) {
  if (mode_ == mode) return;
  mode_ = mode;
  keep_entry_ = false;
  ShowPanel(false);
  SetChangedFlag(true);
}

// ---- single key -----------------------------------------------------------------------------

void Orvane_DlgComposite::OnCapture(const KeyHookMessage& message) {
  auto* keyboard_radio = ControlAs<QRadioButton>(C::kKeyboardRadio);
  const bool keyboard = keyboard_radio != nullptr && keyboard_radio->isChecked();
  bool capture = false;
  if (IsWindowsKeyCode(message.code)) {
    // The Windows and Menu keys are captured whatever the radios show, and the key then counts
    // as the keyboard key it is (or Apply would store the mouse button instead).
    capture = true;
    if (!keyboard) OnRadio(false);
  } else {
    capture = keyboard && ((!message.release && !message.autoRepeat) || message.code == kPrintScreen);
  }
  if (!capture) return;
  captured_ = message.code;
  if (auto* input = ControlAs<QLineEdit>(C::kKeyInput))
    input->setText(QString::fromStdString(KeyDisplayName(services_.texts, captured_)));
  mode_ = kModeSingleKey;
  keep_entry_ = false;
  SetChangedFlag(true);
}

void Orvane_DlgComposite::OnRadio(bool mouse) {
  if (auto* input = ControlAs<QLineEdit>(C::kKeyInput)) input->setEnabled(!mouse);
  if (auto* combo = ControlAs<QComboBox>(C::kMouseCombo)) combo->setEnabled(mouse);
  if (auto* radio = ControlAs<QRadioButton>(mouse ? C::kMouseRadio : C::kKeyboardRadio)) radio->setChecked(true);
  mode_ = kModeSingleKey;
  keep_entry_ = false;
}

void Orvane_DlgComposite::OnClear() {
  if (!services_.prompt.AskYesNo(Text("COMPOSITE_PROMPT_TEXT_CLEAR"))) return;
  keep_entry_ = false;
  if (mode_ != kModeSingleKey && mode_ != kModeDefault) {
    mode_ = kModeSingleKey;
    ShowPanel(false);
    SetChangedFlag(true);
  }
  if (mode_ == kModeSingleKey) {
    if (auto* input = ControlAs<QLineEdit>(C::kKeyInput)) input->clear();
    mode_ = kModeDefault;
    captured_ = 0;
    OnRadio(false);
    mode_ = kModeDefault;
    SetChangedFlag(true);
  }
}

void Orvane_DlgComposite::OnOnScreenKeyboard() {
  const std::string program = host_.on_screen_keyboard ? host_.on_screen_keyboard() : FindOnScreenKeyboard();
  if (program.empty()) {
    services_.prompt.Notice(Text("COMPOSITE_OSK_MISSING"));
    return;
  }
  const int result = host_.start_program ? host_.start_program(program) : StartDetached(program);
  if (result <= 32) services_.prompt.Notice(Text("COMPOSITE_OSK_MISSING"));
}

// ---- Apply, OK, Cancel, closing --------------------------------------------------------------

void Orvane_DlgComposite::SetChanged() { SetChangedFlag(true); }

void Orvane_DlgComposite::SetChangedFlag(bool on) {
  changed_ = on;
  if (QWidget* apply = Control(C::kApply)) apply->setEnabled(on);
}

void Orvane_DlgComposite::Apply() {
  // 1-2. The macro panel: cell edit ended, recording stopped, the list applied.
  if (panel_) {
    panel_->EndCellEdit();
    if (panel_->Recording()) panel_->StopRecording();
    panel_->ApplyMacroList();
  }
  {
    auto lock = services_.editing.Acquire();
    ProfileConfig& config = services_.editing.Config();
    KeyAction* entry = config.image ? config.image->EntryAt(profile_, entry_index_) : nullptr;
    if (entry != nullptr && !keep_entry_) {
      // 3. The key's old text (program path or text block) goes.
      config.texts.Clear(profile_ * kLayerEntries + entry_index_);
      // 4. The new entry.
      KeyAction next;
      next.type = mode_;
      next.code = GKeyCodeOfEntry(entry_index_);
      auto* mouse_radio = ControlAs<QRadioButton>(C::kMouseRadio);
      switch (mode_) {
        case kModeSingleKey:
          if (mouse_radio != nullptr && mouse_radio->isChecked()) {
            auto* combo = ControlAs<QComboBox>(C::kMouseCombo);
            const int item = combo != nullptr ? std::clamp(combo->currentIndex(), 0, int(kMouseCodes.size()) - 1) : 0;
            next.value = kMouseCodes[size_t(item)];
          } else {
            next.value = captured_;
            // No key, or the key itself: the factory function, stored as a whole Default entry.
            if (captured_ == 0 || KeyIndexOf(captured_) == entry_index_) {
              next.type = kActionDefault;
              next.value = 0;
            }
          }
          break;
        case kModeMacro:
          if (!panel_ || panel_->Empty()) {
            next.type = kActionDefault;
          } else {
            next.value = MacroIdAtPosition(services_.editing, panel_->SelectedPosition());
            next.code = panel_->RepeatCount();
          }
          break;
        case kModeMedia:
        case kModeFunction: {
          auto* list = ControlAs<QComboBox>(mode_ == kModeMedia ? C::kMediaSelect : C::kFunctionSelect);
          next.value = list != nullptr && list->currentIndex() > 0 ? uint32_t(list->currentIndex()) : 0;
          break;
        }
        default: break;
      }
      // 5. Written into the current profile's layer.
      *entry = next;
    }
  }
  // 6. The key matrix, the changed flag, the main window's Apply.
  if (host_.refresh_key_matrix) host_.refresh_key_matrix();
  SetChangedFlag(false);
  if (host_.set_apply_pending) host_.set_apply_pending();
}

void Orvane_DlgComposite::OnOK() {
  if (open_count_ <= 0) return;
  Apply();
  Close();
  QDialog::done(QDialog::Accepted);
}

void Orvane_DlgComposite::OnCancel() {
  if (open_count_ <= 0) return;
  Close();
  QDialog::done(QDialog::Rejected);
}

void Orvane_DlgComposite::CloseComposite() {
  if (open_count_ > 0) OnCancel();
}

void Orvane_DlgComposite::Close() {
  if (closing_) return;
  closing_ = true;
  capture_->Remove();
  if (panel_) {
    if (panel_->Recording()) panel_->StopRecording();
    panel_->Free();
  }
  SetChangedFlag(false);
  if (open_count_ > 0) --open_count_;
  if (host_.highlight_button) host_.highlight_button(button_, false);
}

// ---- texts and keys -------------------------------------------------------------------------

void Orvane_DlgComposite::Relabel(int index) {
  index = ClampLanguageIndex(index);
  auto text = [&](const char* key) { return QString::fromStdString(services_.languages.LoadText(key, index)); };
  const std::pair<int, const char*> statics[] = {
      {C::kKeyboardRadioStatic, "IDS_MACRO_KB_KEY"}, {C::kMouseRadioStatic, "IDS_MACRO_MOU_KEY"},
      {C::kSinglePrompt, "SINGLE_STATIC"},           {C::kMediaPrompt, "MEDIA_EDIT_TISHI"},
      {C::kFunctionPrompt, "FUNCTION_TISHI"},        {C::kKeySetting, g9_ ? "MACRO_EDIT_TISHI" : "KEY_SETTING_TISHI"},
  };
  for (const auto& [id, key] : statics)
    if (auto* label = ControlAs<QLabel>(id)) label->setText(text(key));
  // The window carries its title text too: window lists and the window manager name it by it.
  setWindowTitle(text(g9_ ? "MACRO_EDIT_TISHI" : "KEY_SETTING_TISHI"));
  const std::pair<int, const char*> buttons[] = {{C::kKeyPanel, "SINGLE_KEY"},   {C::kMediaPanel, "MULTI_MEDIA"},
                                                 {C::kFunctionPanel, "FUNCTION_KEY"}, {C::kMacroPanel, "MACRO_SETTING"},
                                                 {C::kOk, "MACRO_OK"},           {C::kCancel, "MACRO_CANCLE"}};
  for (const auto& [id, key] : buttons) {
    if (CPngButton* b = Button(id)) {
      const bool blank = g9_ && id != C::kMacroPanel && id != C::kOk && id != C::kCancel;
      b->setText(blank ? QString() : text(key));
    }
  }
  // The mouse and function lists follow the language too, keeping their selections.
  auto relabel_list = [&](int id, auto key_of) {
    auto* combo = ControlAs<QComboBox>(id);
    if (combo == nullptr) return;
    for (int i = 0; i < combo->count(); ++i) combo->setItemText(i, text(key_of(i).c_str()));
  };
  relabel_list(C::kMouseCombo, [](int i) { return std::string(kMouseKeys[size_t(std::min(i, 4))]); });
  relabel_list(C::kFunctionSelect, [](int i) { return "FUNC_KEY_DESC" + std::to_string(i + 1); });
  if (CPngButton* apply = Button(C::kApply)) {
    const std::string caption = services_.languages.LoadText("COMPOSITE_APPLY", index);
    apply->setText(QString::fromStdString(caption == kMissingText ? std::string("Apply") : caption));
  }
  if (CPngButton* clear = Button(C::kClear)) clear->SetTooltip(text("COMPOSITE_PROMPT_CLEAR").toStdString(), true);
  if (CPngButton* osk = Button(C::kOnScreenKeyboard))
    osk->SetTooltip(text("COMPOSITE_PROMPT_OSK").toStdString(), true);
  if (panel_) panel_->Relabel(index);
}

bool Orvane_DlgComposite::event(QEvent* event) { return CBaseDialog::event(event); }

void Orvane_DlgComposite::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    // Neither closes the dialog.
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: event->accept(); return;
    case Qt::Key_F1:
      if (!(panel_ && panel_->Recording()) && host_.help) host_.help();
      event->accept();
      return;
    default: break;
  }
  CBaseDialog::keyPressEvent(event);
}

void Orvane_DlgComposite::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  CBaseDialog::keyReleaseEvent(event);
}

}  // namespace orvane
