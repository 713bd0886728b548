#include "ui/main/lighting_panel.h"

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <array>

#include "device/protocol.h"
#include "model/lighting_run.h"
#include "platform/paths.h"
#include "store/language.h"
#include "store/settings.h"
#include "ui/controls/bitmap_slider.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"

namespace orvane {
namespace {

namespace m = ids::main;

constexpr ColorRef kLitFrame = 0xFFFFFF;
constexpr ColorRef kDarkFrame = 0x000000;
constexpr int kFrameValue = 50;
// Slider messages carry positions within this range; the state clamps them to its own levels.
constexpr intptr_t kSliderMessageMin = -1;
constexpr intptr_t kSliderMessageMax = 1000;

// The per-key editing switch.
constexpr const char* kEditingOff = "dengup.bmp";
constexpr const char* kEditingOn = "dengdown.bmp";
// "All keys off" and "all keys on", each not chosen / chosen.
constexpr const char* kAllOffUp = "sjsup.bmp";
constexpr const char* kAllOffDown = "sjsdown.bmp";
constexpr const char* kAllOnUp = "ledsjsup.bmp";
constexpr const char* kAllOnDown = "ledsjsdown.bmp";
// The paint tools: 1164 lights keys, 1165 darkens them.
constexpr const char* kTool1Up = "user1up.bmp";
constexpr const char* kTool1Down = "user1down.bmp";
constexpr const char* kTool2Up = "user2up.bmp";
constexpr const char* kTool2Down = "user2down.bmp";

// Modes whose direction controls sit at the keys ending in "2" and "3".
constexpr bool DirectionAtSecondPlace(int mode) { return mode >= 1 && mode <= 3; }
constexpr int kModeAtThirdPlace = 12;
// Modes with pictures of their own for the two directions.
constexpr int kModeSpreadConverge = 3;
constexpr int kModeUpDown = 15;

// The picture controls, clicked like buttons.
constexpr std::array<int, 7> kPictureControls = {m::kPerKeySwitch, m::kDirectionLeft, m::kDirectionRight,
                                                 m::kDarkenAll,    m::kLightAll,      m::kTool1,
                                                 m::kTool2};

// Every control of the panel that the per-key editing switch hides, by group.
constexpr std::array<int, 2> kBrightnessControls = {m::kBrightnessStatic, m::kBrightnessSlider};
constexpr std::array<int, 2> kSpeedControls = {m::kSpeedStatic, m::kSpeedSlider};
constexpr std::array<int, 3> kDirectionControls = {m::kDirectionStatic, m::kDirectionLeft, m::kDirectionRight};
constexpr std::array<int, 10> kUserModeControls = {m::kUserModeStatic, m::kDarkenAll,   m::kDarkenAllStatic,
                                                   m::kLightAll,       m::kLightAllStatic, m::kToolStatic,
                                                   m::kToolStatic2,    m::kTool1,     m::kTool2,
                                                   m::kUserModeCombo};
constexpr std::array<int, 5> kReportRateControls = {m::kUsbStatic, m::kReportRate1, m::kReportRate2, m::kReportRate3,
                                                    m::kReportRate4};

// The labels and their texts in section "LIGHT".
constexpr std::pair<int, const char*> kLabels[] = {
    {m::kLightingTitle, "Deng"}, {m::kBrightnessStatic, "Light"}, {m::kSpeedStatic, "Speed"},
    {m::kDirectionStatic, "FX"}, {m::kUserModeStatic, "DC"},      {m::kLightAllStatic, "LEDOFF"},
    {m::kDarkenAllStatic, "ALLOFF"}, {m::kToolStatic, "Tool"},   {m::kToolStatic2, "Tool2"},
    {m::kUsbStatic, "Usb"}};

// The user-mode combo box's items are named by these words; a language file may give them texts.
constexpr std::array<const char*, kUserModes> kUserModeItems = {"USER_MODE1", "USER_MODE2", "USER_MODE3"};

bool IsMissing(const std::string& text) { return text.empty() || text == "#Error"; }

}  // namespace

CLightingPanel::CLightingPanel(CBaseDialog& dialog, CDeviceProtocol& protocol, const LanguageFiles& languages,
                               AppSettings& settings, std::function<void()> refresh_key_matrix)
    : dialog_(dialog),
      protocol_(protocol),
      languages_(languages),
      settings_(settings),
      refresh_key_matrix_(std::move(refresh_key_matrix)) {}

CLightingPanel::~CLightingPanel() = default;

void CLightingPanel::BindHooks(MainDialogHooks& hooks) {
  hooks.prepare_lighting = [this] { Prepare(); };
  hooks.set_lighting_profile = [this](int profile) { SetProfile(profile); };
  hooks.load_lighting = [this] { Load(); };
  hooks.rebuild_lighting = [this] { Rebuild(); };
  hooks.relabel_lighting = [this](int language) { Label(language); };
  hooks.reread_lighting = [this] { Reread(); };
  hooks.slider_moving = [this](uintptr_t slider, intptr_t position) { OnSliderMoving(slider, position); };
  hooks.painting_mode = [this] { return Editing(); };
  hooks.paint_key = [this](int button) { PaintKey(button); };
  hooks.reset_lighting = [this] { Reset(); };
}

template <class T>
T* CLightingPanel::ControlAs(int id) const {
  return dialog_.ControlAs<T>(id);
}

int CLightingPanel::LanguageIndex() const { return languages_.GetLanguageIndex(); }

int CLightingPanel::Run(const LightingPlan& plan) {
  if (plan.empty()) return kResultOk;
  return RunLightingPlan(protocol_, plan,
                         [this](const LightingStep& step, std::span<const uint8_t> data) { state_.Take(step, data); });
}

// ---- preparing --------------------------------------------------------------------------------

void CLightingPanel::Prepare() {
  for (const std::string& name : layout::LightingBitmapFiles()) {
    const QImage image = LoadImageFile(JoinPath(dialog_.skinFolder(), name));
    bitmaps_[name] = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
  }
  if (auto* brightness = ControlAs<CBitmapSlider>(m::kBrightnessSlider)) {
    brightness->SetRange(0, kBrightnessLevels - 1);
    brightness->SetPicture(Bitmap(layout::BrightnessBitmap(0)));
    shown_[m::kBrightnessSlider] = layout::BrightnessBitmap(0);
  }
  if (auto* speed = ControlAs<CBitmapSlider>(m::kSpeedSlider)) {
    speed->SetRange(0, kSpeedPositions - 1);
    speed->SetPicture(Bitmap(layout::SpeedBitmap(0)));
    shown_[m::kSpeedSlider] = layout::SpeedBitmap(0);
  }
  for (int id : kPictureControls) {
    if (auto* picture = ControlAs<QLabel>(id)) {
      picture->installEventFilter(this);
      picture->setCursor(Qt::PointingHandCursor);
    }
  }
  RegisterHandlers();
  SetPicture(m::kDarkenAll, kAllOffUp);
  SetPicture(m::kLightAll, kAllOnUp);
  ShowToolPictures();
  ShowDirectionPictures(state_.Values().mode);
  ReadEditingSwitch();
  SetPicture(m::kPerKeySwitch, editing_ ? kEditingOn : kEditingOff);
  if (editing_)
    ShowControlsForMode(SelectedMode());
  else
    HidePanel();
}

void CLightingPanel::RegisterHandlers() {
  if (auto* modes = ControlAs<QComboBox>(m::kModeCombo))
    connect(modes, &QComboBox::activated, this, [this](int position) { OnModeSelected(position); });
  if (auto* user_modes = ControlAs<QComboBox>(m::kUserModeCombo))
    connect(user_modes, &QComboBox::activated, this, [this](int position) { OnUserModeSelected(position); });
  dialog_.OnCommand(m::kDirectionLeft, [this] { OnDirection(kDirectionForward); });
  dialog_.OnCommand(m::kDirectionRight, [this] { OnDirection(kDirectionBackward); });
  for (size_t i = 0; i < m::kReportRateButtons.size(); ++i)
    dialog_.OnCommand(m::kReportRateButtons[i], [this, i] { OnReportRate(int(i)); });
  dialog_.OnCommand(m::kTool1, [this] { OnPaintTool(0); });
  dialog_.OnCommand(m::kTool2, [this] { OnPaintTool(1); });
  dialog_.OnCommand(m::kDarkenAll, [this] { OnAllKeys(false); });
  dialog_.OnCommand(m::kLightAll, [this] { OnAllKeys(true); });
  dialog_.OnCommand(m::kPerKeySwitch, [this] { OnEditingSwitch(); });
}

bool CLightingPanel::eventFilter(QObject* watched, QEvent* event) {
  // The press is the picture's own: passed on, it would reach the window's body and start
  // moving the window, which then follows the pointer.
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      event->accept();
      return true;
    }
  }
  // A picture is clicked when the left button goes up over it, as a button is.
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
      dialog_.DispatchCommand(ControlId(widget));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

void CLightingPanel::ReadEditingSwitch() { editing_ = settings_.DengCheck() == "1"; }

// ---- loading ----------------------------------------------------------------------------------

void CLightingPanel::SetProfile(int profile) { state_.SetProfile(profile); }

int CLightingPanel::Load() {
  // 1. The mode list from the settings record.
  if (auto* modes = ControlAs<QComboBox>(m::kModeCombo)) modes->clear();
  std::optional<std::array<uint8_t, kSettingsBytes>> settings;
  RunLightingPlan(protocol_, LightingState::SettingsPlan(), [&](const LightingStep&, std::span<const uint8_t> data) {
    if (data.size() != kSettingsBytes) return;
    settings.emplace();
    std::copy(data.begin(), data.end(), settings->begin());
  });
  if (!settings) {
    state_.TakeSettings(std::nullopt);
    return -1;
  }
  state_.TakeSettings(std::span<const uint8_t, kSettingsBytes>(*settings));
  // 2-4. The colour page of the shown profile (when there are pages), the three records, record p.
  Run(state_.LoadPlan());
  state_.Decode();
  // 5. The per-key editing switch.
  ReadEditingSwitch();
  return 0;
}

void CLightingPanel::Reread() {
  if (auto* modes = ControlAs<QComboBox>(m::kModeCombo)) modes->clear();
  std::optional<std::array<uint8_t, kSettingsBytes>> settings;
  RunLightingPlan(protocol_, LightingState::SettingsPlan(), [&](const LightingStep&, std::span<const uint8_t> data) {
    if (data.size() != kSettingsBytes) return;
    settings.emplace();
    std::copy(data.begin(), data.end(), settings->begin());
  });
  if (settings) {
    state_.TakeSettings(std::span<const uint8_t, kSettingsBytes>(*settings));
    Run(state_.RereadPlan());
    state_.Redecode();
  } else {
    state_.TakeSettings(std::nullopt);
  }
  ReadEditingSwitch();
  Rebuild();
}

// ---- showing the state ------------------------------------------------------------------------

void CLightingPanel::FillModes() {
  auto* modes = ControlAs<QComboBox>(m::kModeCombo);
  if (modes == nullptr) return;
  modes->clear();
  const int language = LanguageIndex();
  for (uint8_t code : state_.Modes())
    modes->addItem(QString::fromStdString(languages_.LoadModeText(code, language)));
}

void CLightingPanel::SelectModeCode(int code) {
  auto* modes = ControlAs<QComboBox>(m::kModeCombo);
  if (modes == nullptr) return;
  int position = -1;
  for (size_t i = 0; i < state_.Modes().size(); ++i)
    if (state_.Modes()[i] == code) position = int(i);
  modes->setCurrentIndex(position);
}

int CLightingPanel::SelectedMode() const {
  const auto* modes = ControlAs<QComboBox>(m::kModeCombo);
  if (modes == nullptr) return -1;
  const int position = modes->currentIndex();
  if (position < 0 || size_t(position) >= state_.Modes().size()) return -1;
  return state_.Modes()[size_t(position)];
}

void CLightingPanel::Rebuild() {
  const LightingValues& v = state_.Values();
  FillModes();
  SelectModeCode(v.mode);
  if (auto* user_modes = ControlAs<QComboBox>(m::kUserModeCombo)) user_modes->setCurrentIndex(v.user_mode);
  ShowReportRate();
  ShowSliders();
  ShowDirectionPictures(v.mode);
  ShowToolPictures();
  SetPicture(m::kDarkenAll, kAllOffUp);
  SetPicture(m::kLightAll, kAllOnUp);
  if (!editing_) {
    SetPicture(m::kPerKeySwitch, kEditingOff);
    HidePanel();
    return;
  }
  SetPicture(m::kPerKeySwitch, kEditingOn);
  ClearKeyFrames();
  PlaceDirection(v.mode);
  ShowControlsForMode(v.mode);
  if (v.mode == kModePerKey) {
    Run(state_.PageRereadPlan());
    ShowMask();
  }
}

void CLightingPanel::ShowSliders() {
  const LightingValues& v = state_.Values();
  if (auto* brightness = ControlAs<CBitmapSlider>(m::kBrightnessSlider)) {
    brightness->SetPos(v.brightness);
    SetPicture(m::kBrightnessSlider, layout::BrightnessBitmap(BrightnessPicture(brightness->GetPos())));
  }
  if (auto* speed = ControlAs<CBitmapSlider>(m::kSpeedSlider)) {
    speed->SetPos(SpeedPositionOfByte(v.speed));
    SetPicture(m::kSpeedSlider, layout::SpeedBitmap(speed->GetPos()));
  }
}

void CLightingPanel::ShowReportRate() {
  for (size_t i = 0; i < m::kReportRateButtons.size(); ++i)
    if (auto* b = ControlAs<CPngButton>(m::kReportRateButtons[i]))
      b->SetSelected(int(i) == state_.Values().report_rate, true);
}

void CLightingPanel::ShowToolPictures() {
  const bool lights = state_.Values().paint_tool == 0;
  SetPicture(m::kTool1, lights ? kTool1Down : kTool1Up);
  SetPicture(m::kTool2, lights ? kTool2Up : kTool2Down);
}

void CLightingPanel::PlaceDirection(int mode) {
  const char* suffix = DirectionAtSecondPlace(mode) ? "2" : mode == kModeAtThirdPlace ? "3" : "";
  const std::pair<int, const char*> controls[] = {{m::kDirectionStatic, "CONTROL_BLFXStatic"},
                                                  {m::kDirectionLeft, "CONTROL_BLFXLStaPic"},
                                                  {m::kDirectionRight, "CONTROL_BLFXRStaPic"}};
  for (const auto& [id, key] : controls)
    if (QWidget* control = dialog_.Control(id))
      MoveSkinControl(control, dialog_.iniPath(), std::string(layout::kSectionButtons), std::string(key) + suffix);
}

void CLightingPanel::ShowDirectionPictures(int mode) {
  const bool forward = state_.Values().direction == kDirectionForward;
  const char* left = forward ? "leftdown.bmp" : "leftup.bmp";
  const char* right = forward ? "rightup.bmp" : "rightdown.bmp";
  if (mode == kModeSpreadConverge) {
    left = forward ? "kuosandown.bmp" : "kuosan.bmp";
    right = forward ? "julong.bmp" : "julongdown.bmp";
  } else if (mode == kModeUpDown) {
    left = forward ? "updown.bmp" : "upup.bmp";
    right = forward ? "downup.bmp" : "downdown.bmp";
  }
  SetPicture(m::kDirectionLeft, left);
  SetPicture(m::kDirectionRight, right);
}

void CLightingPanel::ShowControlsForMode(int mode) {
  const LightingVisibility v = VisibilityOfMode(mode);
  auto show = [this](auto ids, bool visible) {
    for (int id : ids)
      if (QWidget* control = dialog_.Control(id)) control->setVisible(visible);
  };
  if (QWidget* modes = dialog_.Control(m::kModeCombo)) modes->setVisible(v.mode_combo);
  show(kBrightnessControls, v.brightness);
  show(kSpeedControls, v.speed);
  show(kDirectionControls, v.direction);
  show(kUserModeControls, v.user_mode);
  show(kReportRateControls, true);
}

void CLightingPanel::HidePanel() {
  auto hide = [this](auto ids) {
    for (int id : ids)
      if (QWidget* control = dialog_.Control(id)) control->hide();
  };
  if (QWidget* modes = dialog_.Control(m::kModeCombo)) modes->hide();
  hide(kBrightnessControls);
  hide(kSpeedControls);
  hide(kDirectionControls);
  hide(kUserModeControls);
  hide(kReportRateControls);
}

void CLightingPanel::Label(int language) {
  for (const auto& [id, key] : kLabels)
    if (auto* label = ControlAs<QLabel>(id)) label->setText(QString::fromStdString(languages_.LoadLightText(key, language)));
  // The item texts are looked up again too, so the combo boxes follow the language.
  if (auto* modes = ControlAs<QComboBox>(m::kModeCombo))
    for (int i = 0; i < modes->count() && size_t(i) < state_.Modes().size(); ++i)
      modes->setItemText(i, QString::fromStdString(languages_.LoadModeText(state_.Modes()[size_t(i)], language)));
  if (auto* user_modes = ControlAs<QComboBox>(m::kUserModeCombo)) {
    for (int i = 0; i < user_modes->count() && i < kUserModes; ++i) {
      const std::string text = languages_.LoadText(kUserModeItems[size_t(i)], language);
      user_modes->setItemText(i, QString::fromStdString(IsMissing(text) ? kUserModeItems[size_t(i)] : text));
    }
  }
}

// ---- key frames -------------------------------------------------------------------------------

void CLightingPanel::ClearKeyFrames() {
  auto clear = [this](int id) {
    if (auto* b = ControlAs<CPngButton>(id)) {
      b->SetFrame(kDarkFrame, kFrameValue, false);
      b->SetSelected(false, true);
    }
  };
  for (int id : layout::GKeyButtons()) clear(id);
  for (const layout::KeyButton& k : layout::KeyButtons()) clear(k.controlId);
  clear(m::kFn);
}

void CLightingPanel::ShowMask() {
  const auto page = state_.Page();
  const int u = state_.Values().user_mode;
  auto frame = [&](int id) {
    if (auto* b = ControlAs<CPngButton>(id))
      b->SetFrame(MaskBit(page, u, LightOfButton(id)) ? kLitFrame : kDarkFrame, kFrameValue, true);
  };
  for (const layout::KeyButton& k : layout::KeyButtons()) frame(k.controlId);
  for (int id : layout::GKeyButtons()) frame(id);
  frame(m::kFn);
}

void CLightingPanel::FrameAllKeys(bool lit) {
  auto frame = [&](int id) {
    if (auto* b = ControlAs<CPngButton>(id)) b->SetFrame(lit ? kLitFrame : kDarkFrame, kFrameValue, true);
  };
  for (const layout::KeyButton& k : layout::KeyButtons()) frame(k.controlId);
  for (int id : layout::GKeyButtons()) frame(id);
  frame(m::kFn);
}

// ---- actions ----------------------------------------------------------------------------------

void CLightingPanel::OnModeSelected(int position) {
  const int code = position >= 0 && size_t(position) < state_.Modes().size() ? state_.Modes()[size_t(position)] : -1;
  PlaceDirection(code);
  ShowDirectionPictures(code);
  ClearKeyFrames();
  if (IsKnownMode(code)) {
    Run(state_.SetMode(code));
    if (code == kModePerKey) ShowMask();
  }
  ShowControlsForMode(code);
}

void CLightingPanel::OnSliderMoving(uintptr_t slider, intptr_t position) {
  const int pos = int(std::clamp<intptr_t>(position, kSliderMessageMin, kSliderMessageMax));
  if (slider == uintptr_t(m::kBrightnessSlider)) {
    Run(state_.SetBrightness(pos));
    SetPicture(m::kBrightnessSlider, layout::BrightnessBitmap(BrightnessPicture(state_.Values().brightness)));
  } else if (slider == uintptr_t(m::kSpeedSlider)) {
    Run(state_.SetSpeedPosition(pos));
    SetPicture(m::kSpeedSlider, layout::SpeedBitmap(SpeedPositionOfByte(state_.Values().speed)));
  }
}

void CLightingPanel::OnDirection(uint8_t direction) {
  Run(state_.SetDirection(direction));
  ShowDirectionPictures(SelectedMode());
}

void CLightingPanel::OnReportRate(int rate) {
  Run(state_.SetReportRate(rate));
  ShowReportRate();
}

void CLightingPanel::OnPaintTool(int tool) {
  Run(state_.SetPaintTool(tool));
  ShowToolPictures();
}

void CLightingPanel::OnUserModeSelected(int position) {
  Run(state_.SelectUserMode(position, editing_));
  ShowMask();
}

void CLightingPanel::OnAllKeys(bool lit) {
  SetPicture(m::kDarkenAll, lit ? kAllOffUp : kAllOffDown);
  SetPicture(m::kLightAll, lit ? kAllOnDown : kAllOnUp);
  FrameAllKeys(lit);
  Run(state_.SetAllKeys(lit));
}

void CLightingPanel::OnEditingSwitch() {
  editing_ = !editing_;
  settings_.WriteDengCheck(editing_ ? "1" : "0");
  SetPicture(m::kPerKeySwitch, editing_ ? kEditingOn : kEditingOff);
  ClearKeyFrames();
  if (editing_) {
    const int mode = SelectedMode();
    PlaceDirection(mode);
    ShowControlsForMode(mode);
    if (mode == kModePerKey) ShowMask();
    return;
  }
  if (refresh_key_matrix_) refresh_key_matrix_();
  HidePanel();
}

void CLightingPanel::PaintKey(int button) {
  if (SelectedMode() != kModePerKey) return;
  const LightingState::Paint paint = state_.PaintKey(button);
  // Keys without a light of their own (and buttons that only share Esc's) are not painted.
  if (paint.plan.empty()) return;
  if (auto* b = ControlAs<CPngButton>(button)) b->SetFrame(paint.lit ? kLitFrame : kDarkFrame, kFrameValue, true);
  Run(paint.plan);
}

void CLightingPanel::Reset() {
  // 1. Mode 1 with the direction at 0, as a mode change shows it (the model's plan writes byte 0).
  const LightingPlan plan = state_.Reset();
  SelectModeCode(state_.Values().mode);
  PlaceDirection(state_.Values().mode);
  ShowDirectionPictures(state_.Values().mode);
  ClearKeyFrames();
  if (editing_) ShowControlsForMode(state_.Values().mode);
  // 2. The sliders; neither "all keys" picture chosen.
  ShowSliders();
  SetPicture(m::kDarkenAll, kAllOffUp);
  SetPicture(m::kLightAll, kAllOnUp);
  // 3. User mode 0 on a keyboard with pages. The record's bytes 3 to 34 become zero, so the
  //    report rate and the paint tool show their new values too.
  if (state_.HasColourPages())
    if (auto* user_modes = ControlAs<QComboBox>(m::kUserModeCombo)) user_modes->setCurrentIndex(0);
  ShowReportRate();
  ShowToolPictures();
  // 4-5. The writes, then the key frames.
  Run(plan);
  ClearKeyFrames();
}

// ---- pictures ---------------------------------------------------------------------------------

const QPixmap& CLightingPanel::Bitmap(const std::string& file) const {
  static const QPixmap kNone;
  auto it = bitmaps_.find(file);
  return it == bitmaps_.end() ? kNone : it->second;
}

void CLightingPanel::SetPicture(int control_id, const std::string& file) {
  shown_[control_id] = file;
  if (auto* slider = ControlAs<CBitmapSlider>(control_id)) {
    slider->ReplacePicture(Bitmap(file));
    return;
  }
  if (auto* picture = ControlAs<QLabel>(control_id)) picture->setPixmap(Bitmap(file));
}

std::string CLightingPanel::PictureOf(int control_id) const {
  auto it = shown_.find(control_id);
  return it == shown_.end() ? std::string() : it->second;
}

}  // namespace orvane
