// The lighting panel of the main window, offscreen, against the built-in simulated keyboard: what
// arrival shows, what every control writes (the keyboard's memory is compared byte for byte after
// each scenario), per-key painting, the editing switch, the defaults, the keyboard's own change
// event, and the sliders' pictures against their click mapping. The looks of the panel in its mode
// groups are written to <build>/gallery/lighting_*.png.
#include <gtest/gtest.h>

#include <set>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "model/key_table.h"
#include "model/lighting.h"
#include "platform/instance.h"
#include "platform/program_paths.h"
#include "platform/registry.h"
#include "sim/sim_backend.h"
#include "store/language.h"
#include "store/settings.h"
#include "tests/support/pump_events.h"
#include "ui/controls/bitmap_slider.h"
#include "ui/layout/dialog_layout.h"
#include "ui/main/lighting_panel.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/theme.h"

namespace orvane {
namespace {

namespace m = ids::main;
using testing_support::PumpUntil;

constexpr uint8_t kCmdWriteLightingByte = 0x06;
constexpr uint8_t kCmdReadColourPageByte = 0x10;
constexpr uint8_t kCmdWriteColourPageByte = 0x11;
const int kButtonA = ButtonOfKeyCode(0x01E);
constexpr int kButtonF6 = 1015;  // a key without a light
constexpr int kButtonG5 = 1004;  // shares light 0 with Esc

struct Request {
  uint8_t command;
  uint8_t length;
  uint16_t address;
  std::vector<uint8_t> data;
};

class LightingPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("orvane-lighting-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::create_directories(root_ / "data");
    std::filesystem::create_directories(root_ / "config");
    std::filesystem::create_directories(root_ / "instance");
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    registry_ = std::make_unique<RegistryStore>((root_ / "config/registry.reg").string());
    languages_ = std::make_unique<LanguageFiles>(registry_.get(), ORVANE_DATA_DIR, [this] { return language_; });
    texts_ = std::make_unique<LanguageTextSource>(*languages_);
    settings_ = std::make_unique<AppSettings>(registry_.get(), (root_ / "data").string());
    memory_ = SimMemory::Factory();
  }

  void TearDown() override {
    if (dialog_ && !dialog_->ended()) dialog_->ExitSequence();
    dialog_.reset();
    sim_.reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // Starts the window with per-key editing on or off against a keyboard holding memory_, and
  // waits until the keyboard has arrived and the panel has been loaded.
  void Start(bool editing) {
    settings_->WriteDengCheck(editing ? "1" : "0");
    sim_ = std::make_unique<SimHidBackend>(memory_);
    MainDialogServices s(ConfigContext{editing_, applied_, keyboard_}, protocol_, *languages_, *texts_, *settings_);
    s.backend = sim_.get();
    s.registry = registry_.get();
    s.paths = FormProgramPaths(std::string(ORVANE_DATA_DIR) + "/orvane", ORVANE_DATA_DIR);
    s.mutex = &mutex_;
    s.start_silent = true;
    s.instance_folder = (root_ / "instance").string();
    s.waits = {1, 20, 20, 20, 1};
    s.tray = TrayPresence::Present;
    ASSERT_EQ(mutex_.Acquire("QX27M40B", (root_ / "instance").string()), CInstanceMutex::State::Created);
    dialog_ = std::make_unique<COrvaneDlg>(std::move(s));
    dialog_->hooks().refresh_key_matrix = [this] { ++matrix_refreshes_; };
    ASSERT_TRUE(dialog_->OnInitDialog());
    ASSERT_TRUE(PumpUntil([&] { return dialog_->initialised() && dialog_->monitor().ConnectionState() == 1; }));
    sim_->Keyboard().ClearRequests();
  }

  CLightingPanel& panel() { return dialog_->lighting(); }
  SimMemory Memory() { return sim_->Keyboard().Memory(); }
  template <class T>
  T* Control(int id) {
    T* control = dialog_->ControlAs<T>(id);
    EXPECT_NE(control, nullptr) << id;
    return control;
  }
  bool Shown(int id) { return !dialog_->Control(id)->isHidden(); }
  CPngButton* Key(int id) { return Control<CPngButton>(id); }

  // The requests the keyboard received since the last call, with the given command.
  std::vector<Request> Requests(uint8_t command) {
    std::vector<Request> out;
    for (const SimReport& r : sim_->Keyboard().Requests()) {
      if (r[3] != command) continue;
      out.push_back({r[3], r[4], uint16_t(r[5] | r[6] << 8), std::vector<uint8_t>(r.begin() + 8, r.begin() + 8 + r[4])});
    }
    return out;
  }

  void Click(QWidget* widget, QPoint at = QPoint(-1, -1)) {
    if (at.x() < 0) at = widget->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
    QApplication::processEvents();
  }
  void Click(int id) { Click(dialog_->Control(id)); }

  // Chooses a mode in the mode combo box as the user does.
  void ChooseMode(int code) {
    auto* combo = Control<QComboBox>(m::kModeCombo);
    const auto& modes = panel().state().Modes();
    const auto it = std::find(modes.begin(), modes.end(), uint8_t(code));
    ASSERT_NE(it, modes.end()) << code;
    const int position = int(it - modes.begin());
    combo->setCurrentIndex(position);
    emit combo->activated(position);
  }
  void ChooseUserMode(int position) {
    auto* combo = Control<QComboBox>(m::kUserModeCombo);
    combo->setCurrentIndex(position);
    emit combo->activated(position);
  }
  void Slide(int slider, int position) {
    SendWindowMessage(dialog_.get(), WM_SLIDER_MOVING, uintptr_t(slider), position);
  }

  // The window as a user sees it, for a look at it.
  void Render(const std::string& name) {
    dialog_->ShowRequest();
    ASSERT_TRUE(PumpUntil([&] { return dialog_->isVisible(); }));
    QApplication::processEvents();
    const QString out = QString::fromStdString(std::string(ORVANE_DATA_DIR) + "/../gallery");
    QDir().mkpath(out);
    EXPECT_TRUE(dialog_->grab().save(out + "/lighting_" + QString::fromStdString(name) + ".png"));
  }

  static inline int counter_ = 0;
  uint16_t language_ = 0x0409;
  std::filesystem::path root_;
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<LanguageFiles> languages_;
  std::unique_ptr<LanguageTextSource> texts_;
  std::unique_ptr<AppSettings> settings_;
  SimMemory memory_;
  std::unique_ptr<SimHidBackend> sim_;
  ProfileInstance editing_;
  ProfileInstance applied_;
  KeyboardFacts keyboard_;
  CDeviceProtocol protocol_;
  CInstanceMutex mutex_;
  std::unique_ptr<COrvaneDlg> dialog_;
  int matrix_refreshes_ = 0;
};

void SetModes(SimMemory& memory, std::vector<uint8_t> modes) {
  std::fill(memory.settings.begin() + 16, memory.settings.end(), 0);
  std::copy(modes.begin(), modes.end(), memory.settings.begin() + 16);
}

TEST_F(LightingPanelTest, ArrivalShowsTheShownProfilesRecordWithItsClampsAndTheOfferedModes) {
  SetModes(memory_, {1, 16, 0, 5, 254});
  memory_.settings[10] = 1;  // the keyboard's current profile
  auto& r = memory_.lighting[1];
  r[0] = 5, r[1] = 10, r[2] = 1, r[3] = 2, r[4] = 255, r[15] = 7, r[16] = 9;
  Start(true);
  const SimMemory before = Memory();

  auto* combo = Control<QComboBox>(m::kModeCombo);
  ASSERT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->itemText(0).toStdString(), languages_->LoadModeText(1, 0));
  EXPECT_EQ(combo->itemText(1).toStdString(), languages_->LoadModeText(5, 0));
  EXPECT_EQ(combo->itemText(2).toStdString(), languages_->LoadModeText(254, 0));
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_EQ(Control<CBitmapSlider>(m::kBrightnessSlider)->GetPos(), 10);
  EXPECT_EQ(panel().PictureOf(m::kBrightnessSlider), "10.bmp");
  EXPECT_EQ(Control<CBitmapSlider>(m::kSpeedSlider)->GetPos(), 3);
  EXPECT_EQ(panel().PictureOf(m::kSpeedSlider), "28.bmp");
  EXPECT_EQ(Control<QComboBox>(m::kUserModeCombo)->currentIndex(), 2);
  // Report rate 7 counts as 3, paint tool 9 as 0.
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(Key(m::kReportRateButtons[i])->selected(), i == 3);
  EXPECT_EQ(panel().PictureOf(m::kTool1), "user1down.bmp");
  EXPECT_EQ(panel().PictureOf(m::kTool2), "user2up.bmp");
  EXPECT_EQ(panel().PictureOf(m::kDirectionLeft), "leftdown.bmp");
  EXPECT_EQ(panel().PictureOf(m::kPerKeySwitch), "dengdown.bmp");
  // Mode 5: no speed, no direction, no user-mode controls.
  EXPECT_TRUE(Shown(m::kModeCombo));
  EXPECT_TRUE(Shown(m::kBrightnessSlider));
  EXPECT_FALSE(Shown(m::kSpeedSlider));
  EXPECT_FALSE(Shown(m::kDirectionLeft));
  EXPECT_FALSE(Shown(m::kUserModeCombo));
  EXPECT_TRUE(Shown(m::kReportRate1));
  // The labels come from section "LIGHT".
  EXPECT_EQ(Control<QLabel>(m::kBrightnessStatic)->text().toStdString(), languages_->LoadLightText("Light", 0));
  EXPECT_EQ(Control<QLabel>(m::kDarkenAllStatic)->text().toStdString(), languages_->LoadLightText("ALLOFF", 0));
  EXPECT_EQ(Control<QComboBox>(m::kUserModeCombo)->itemText(0).toStdString(), languages_->LoadText("USER_MODE1", 0));
  // Loading only reads.
  EXPECT_TRUE(Requests(kCmdWriteLightingByte).empty());
  EXPECT_EQ(Memory().lighting, before.lighting);
  EXPECT_EQ(Memory().colour_pages, before.colour_pages);
}

TEST_F(LightingPanelTest, EveryControlWritesItsOneByteOfTheShownRecord) {
  SetModes(memory_, {1, 2, 3, 7, 12, 15, 27, 254});
  memory_.settings[10] = 2;
  Start(true);
  SimMemory expected = Memory();
  auto& r = expected.lighting[2];

  ChooseMode(27);
  r[0] = 27;
  EXPECT_TRUE(Shown(m::kSpeedSlider));
  EXPECT_TRUE(Shown(m::kDirectionLeft));
  Render("mode27");
  ChooseMode(7);
  r[0] = 7;
  EXPECT_FALSE(Shown(m::kSpeedSlider));
  EXPECT_FALSE(Shown(m::kDirectionLeft));
  EXPECT_FALSE(Shown(m::kUserModeCombo));
  Render("mode7");

  // Speed: position 0 writes 4, position 4 writes 0; the pictures are 25 + position.
  Slide(m::kSpeedSlider, 0);
  EXPECT_EQ(Memory().lighting[2][2], 4);
  EXPECT_EQ(panel().PictureOf(m::kSpeedSlider), "25.bmp");
  Slide(m::kSpeedSlider, 4);
  r[2] = 0;
  EXPECT_EQ(panel().PictureOf(m::kSpeedSlider), "29.bmp");
  Slide(m::kBrightnessSlider, 17);
  r[1] = 17;
  EXPECT_EQ(panel().PictureOf(m::kBrightnessSlider), "17.bmp");

  // Directions: mode 3 has the spread and converge pictures, the direction controls move.
  ChooseMode(3);
  r[0] = 3;
  Click(m::kDirectionLeft);
  r[4] = 255;
  EXPECT_EQ(panel().PictureOf(m::kDirectionLeft), "kuosandown.bmp");
  EXPECT_EQ(panel().PictureOf(m::kDirectionRight), "julong.bmp");
  Render("mode3");
  ChooseMode(15);
  r[0] = 15;
  EXPECT_EQ(panel().PictureOf(m::kDirectionLeft), "updown.bmp");
  Click(m::kDirectionRight);
  r[4] = 0;
  EXPECT_EQ(panel().PictureOf(m::kDirectionRight), "downdown.bmp");

  // Report rate and paint tool.
  Click(m::kReportRate3);
  r[15] = 2;
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(Key(m::kReportRateButtons[i])->selected(), i == 2);
  Click(m::kTool2);
  r[16] = 1;
  EXPECT_EQ(panel().PictureOf(m::kTool1), "user1up.bmp");
  EXPECT_EQ(panel().PictureOf(m::kTool2), "user2down.bmp");

  // Each change was one framed one-byte write.
  for (const Request& w : Requests(kCmdWriteLightingByte)) {
    EXPECT_EQ(w.length, 1);
    EXPECT_GE(w.address, 84);
    EXPECT_LT(w.address, 126);
  }
  EXPECT_EQ(Memory().lighting, expected.lighting);
  EXPECT_EQ(Memory().colour_pages, expected.colour_pages);
}

TEST_F(LightingPanelTest, PerKeyModePaintsOneMaskByteAndSkipsKeysWithoutALight) {
  memory_.settings[10] = 1;
  memory_.colour_pages[1].fill(0);
  memory_.colour_pages[1][21 * 2 + 3] = 0x81;  // user mode 2: lights 24 and 31
  Start(true);
  SimMemory expected = Memory();

  ChooseMode(254);
  expected.lighting[1][0] = 254;
  for (int id : {m::kUserModeCombo, m::kDarkenAll, m::kLightAll, m::kTool1, m::kDarkenAllStatic})
    EXPECT_TRUE(Shown(id)) << id;
  EXPECT_FALSE(Shown(m::kSpeedSlider));
  EXPECT_TRUE(Key(kButtonA)->frameMode());
  EXPECT_EQ(Key(kButtonA)->frameColour(), 0u);
  EXPECT_EQ(Key(kButtonA)->frameValue(), 50);

  // A is light 11: bit 3 of byte 1 of user mode 0's mask, sent alone.
  sim_->Keyboard().ClearRequests();
  dialog_->hooks().paint_key(kButtonA);
  std::vector<Request> writes = Requests(kCmdWriteColourPageByte);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].address, 256 + 1);
  EXPECT_EQ(writes[0].data, std::vector<uint8_t>{0x08});
  expected.colour_pages[1][1] = 0x08;
  EXPECT_EQ(Key(kButtonA)->frameColour(), 0xFFFFFFu);

  // F6 (no light) and G5 (no light of its own) are left alone.
  sim_->Keyboard().ClearRequests();
  dialog_->hooks().paint_key(kButtonF6);
  dialog_->hooks().paint_key(kButtonG5);
  EXPECT_TRUE(sim_->Keyboard().Requests().empty());
  EXPECT_EQ(Key(kButtonF6)->frameColour(), 0u);

  // Tool 1 darkens A again.
  Click(m::kTool2);
  expected.lighting[1][16] = 1;
  dialog_->hooks().paint_key(kButtonA);
  expected.colour_pages[1][1] = 0x00;
  EXPECT_EQ(Key(kButtonA)->frameColour(), 0u);

  // All on, all off: the whole mask of user mode 0 and every key's frame.
  Click(m::kLightAll);
  EXPECT_EQ(panel().PictureOf(m::kLightAll), "ledsjsdown.bmp");
  EXPECT_EQ(panel().PictureOf(m::kDarkenAll), "sjsup.bmp");
  EXPECT_EQ(Key(kButtonF6)->frameColour(), 0xFFFFFFu);
  EXPECT_EQ(Key(m::kFn)->frameColour(), 0xFFFFFFu);
  std::fill_n(expected.colour_pages[1].begin(), 21, 0xFF);
  EXPECT_EQ(Memory().colour_pages, expected.colour_pages);
  Render("mode254_all_on");
  Click(m::kDarkenAll);
  EXPECT_EQ(panel().PictureOf(m::kDarkenAll), "sjsdown.bmp");
  EXPECT_EQ(panel().PictureOf(m::kLightAll), "ledsjsup.bmp");
  EXPECT_EQ(Key(kButtonA)->frameColour(), 0u);
  std::fill_n(expected.colour_pages[1].begin(), 21, 0x00);

  // User mode 2: byte 3, the page read again and its mask shown (light 24 is F3, 31 none).
  sim_->Keyboard().ClearRequests();
  ChooseUserMode(2);
  expected.lighting[1][3] = 2;
  EXPECT_EQ(Requests(kCmdReadColourPageByte).size(), 4u);
  EXPECT_EQ(Key(1012)->frameColour(), 0xFFFFFFu);  // F3
  EXPECT_EQ(Key(kButtonA)->frameColour(), 0u);
  Click(m::kTool1);
  expected.lighting[1][16] = 0;
  dialog_->hooks().paint_key(kButtonA);
  expected.colour_pages[1][42 + 1] = 0x08;
  Render("mode254");
  // Under every frame the key is still drawn with its label, F1-F4 included: they share their
  // place with D1-D6, so the background under them shows neither block.
  const QImage shot = dialog_->grab().toImage();
  for (int id : {1010, 1011, 1012, 1013, 1014, kButtonA}) {
    const QRect inner = Key(id)->geometry().adjusted(5, 5, -5, -5);
    std::set<QRgb> colours;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
      for (int x = inner.left(); x <= inner.right(); ++x) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 4u) << "key " << id << " shows no face under its frame";
  }

  EXPECT_EQ(Memory().lighting, expected.lighting);
  EXPECT_EQ(Memory().colour_pages, expected.colour_pages);
}

TEST_F(LightingPanelTest, TheEditingSwitchShowsThePanelAndDecidesWhereKeyClicksGo) {
  memory_.lighting[0][0] = 254;
  Start(false);
  const SimMemory before = Memory();
  // Off: only the switch and its title; clicks open the key's assignment even in mode 254.
  EXPECT_FALSE(dialog_->hooks().painting_mode());
  EXPECT_TRUE(Shown(m::kPerKeySwitch));
  EXPECT_TRUE(Shown(m::kLightingTitle));
  for (int id : {m::kModeCombo, m::kBrightnessSlider, m::kSpeedSlider, m::kReportRate1, m::kUsbStatic,
                 m::kUserModeCombo, m::kDirectionLeft})
    EXPECT_FALSE(Shown(id)) << id;
  EXPECT_EQ(panel().PictureOf(m::kPerKeySwitch), "dengup.bmp");
  Render("editing_off");

  // The press on the switch is the switch's: a drag that follows does not move the window.
  QWidget* editing_switch = dialog_->Control(m::kPerKeySwitch);
  const QPoint placed = dialog_->pos();
  const QPoint at = editing_switch->rect().center();
  QMouseEvent press(QEvent::MouseButtonPress, at, editing_switch->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(editing_switch, &press);
  const QPoint moved_to = editing_switch->mapTo(dialog_.get(), at) + QPoint(40, 30);
  QMouseEvent drag(QEvent::MouseMove, moved_to, dialog_->mapToGlobal(moved_to), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(dialog_.get(), &drag);
  QMouseEvent release(QEvent::MouseButtonRelease, at, editing_switch->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(editing_switch, &release);
  QApplication::processEvents();
  EXPECT_EQ(dialog_->pos(), placed);
  EXPECT_EQ(settings_->DengCheck(), "1");
  EXPECT_TRUE(dialog_->hooks().painting_mode());
  EXPECT_EQ(panel().PictureOf(m::kPerKeySwitch), "dengdown.bmp");
  EXPECT_TRUE(Shown(m::kModeCombo));
  EXPECT_TRUE(Shown(m::kUserModeCombo));
  EXPECT_TRUE(Key(kButtonA)->frameMode());

  // On, in another mode: a key click paints nothing.
  ChooseMode(7);
  sim_->Keyboard().ClearRequests();
  dialog_->hooks().paint_key(kButtonA);
  EXPECT_TRUE(Requests(kCmdWriteColourPageByte).empty());
  EXPECT_FALSE(Key(kButtonA)->frameMode());

  const int refreshes = matrix_refreshes_;
  Click(m::kPerKeySwitch);
  EXPECT_EQ(settings_->DengCheck(), "0");
  EXPECT_FALSE(dialog_->hooks().painting_mode());
  EXPECT_EQ(matrix_refreshes_, refreshes + 1);
  EXPECT_FALSE(Shown(m::kModeCombo));
  EXPECT_FALSE(Shown(m::kReportRate4));

  SimMemory expected = before;
  expected.lighting[0][0] = 7;
  EXPECT_EQ(Memory().lighting, expected.lighting);
  EXPECT_EQ(Memory().colour_pages, expected.colour_pages);
}

TEST_F(LightingPanelTest, DefaultsWriteTheRecordAndThePageOnlyWhereThereArePages) {
  // Without colour pages: the mode byte and the 35-byte record, nothing else.
  SetModes(memory_, {1, 2, 3, 7});
  memory_.settings[10] = 1;
  auto& r = memory_.lighting[1];
  r = {7, 3, 0, 1, 255};
  r[15] = 2, r[16] = 1, r[40] = 0x5A;
  Start(true);
  SimMemory expected = Memory();
  dialog_->hooks().reset_lighting();
  EXPECT_TRUE(Requests(kCmdWriteColourPageByte).empty());
  std::vector<Request> writes = Requests(kCmdWriteLightingByte);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[1].address, 42);
  EXPECT_EQ(writes[1].length, 35);
  std::fill_n(expected.lighting[1].begin(), 35, 0);
  expected.lighting[1][0] = 1, expected.lighting[1][1] = 24, expected.lighting[1][2] = 2;
  EXPECT_EQ(Memory().lighting, expected.lighting);
  EXPECT_EQ(Memory().colour_pages, expected.colour_pages);
  EXPECT_EQ(panel().SelectedMode(), 1);
  EXPECT_EQ(Control<CBitmapSlider>(m::kBrightnessSlider)->GetPos(), 24);
  EXPECT_EQ(panel().PictureOf(m::kBrightnessSlider), "24.bmp");
  EXPECT_EQ(Control<CBitmapSlider>(m::kSpeedSlider)->GetPos(), 2);
  EXPECT_EQ(panel().PictureOf(m::kSpeedSlider), "27.bmp");
  EXPECT_EQ(panel().PictureOf(m::kDirectionLeft), "leftup.bmp");
  EXPECT_EQ(panel().PictureOf(m::kTool1), "user1down.bmp");
  EXPECT_TRUE(Key(m::kReportRate1)->selected());
}

TEST_F(LightingPanelTest, DefaultsOnAKeyboardWithPagesWriteTheDefaultPagesFirst180Bytes) {
  memory_.settings[10] = 2;
  memory_.colour_pages[2].fill(0x77);
  memory_.lighting[2][3] = 2;
  Start(true);
  ChooseMode(254);
  SimMemory expected = Memory();
  dialog_->hooks().reset_lighting();
  EXPECT_EQ(Requests(kCmdWriteColourPageByte).size(), 4u);
  std::copy_n(DefaultColourPage().begin(), 180, expected.colour_pages[2].begin());
  std::fill_n(expected.lighting[2].begin(), 35, 0);
  expected.lighting[2][0] = 1, expected.lighting[2][1] = 24, expected.lighting[2][2] = 2;
  EXPECT_EQ(Memory().lighting, expected.lighting);
  EXPECT_EQ(Memory().colour_pages, expected.colour_pages);
  EXPECT_EQ(Control<QComboBox>(m::kUserModeCombo)->currentIndex(), 0);
  EXPECT_FALSE(Key(kButtonA)->frameMode());
  EXPECT_FALSE(Shown(m::kUserModeCombo));
}

TEST_F(LightingPanelTest, TheKeyboardsChangeEventRereadsTheRecordsButNotTheColourPage) {
  memory_.lighting[0][15] = 1;
  Start(true);
  Click(m::kTool2);  // the paint tool is the panel's own until the next full load
  // The keyboard changes its lighting by itself (its own keys) and says so.
  SimMemory changed = Memory();
  changed.lighting[0][0] = 7, changed.lighting[0][1] = 3, changed.lighting[0][15] = 3, changed.lighting[0][16] = 0;
  sim_->Keyboard().SetMemory(changed);
  sim_->Keyboard().ClearRequests();
  sim_->Hub().SendConsumerEvent(kEventLightingChanged);
  ASSERT_TRUE(PumpUntil([&] { return panel().SelectedMode() == 7; }));
  EXPECT_EQ(Control<CBitmapSlider>(m::kBrightnessSlider)->GetPos(), 3);
  EXPECT_FALSE(Shown(m::kSpeedSlider));
  // Report rate and paint tool keep what the panel had.
  EXPECT_TRUE(Key(m::kReportRate2)->selected());
  EXPECT_EQ(panel().PictureOf(m::kTool2), "user2down.bmp");
  EXPECT_TRUE(Requests(kCmdReadColourPageByte).empty());
  EXPECT_TRUE(Requests(kCmdWriteColourPageByte).empty());
  EXPECT_TRUE(Requests(kCmdWriteLightingByte).empty());
  EXPECT_EQ(Memory().lighting, changed.lighting);
  EXPECT_EQ(Memory().colour_pages, changed.colour_pages);

  // A code the panel has no name for hides the mode combo box and writes nothing.
  EXPECT_TRUE(Shown(m::kModeCombo));
  changed.lighting[0][0] = 40;
  sim_->Keyboard().SetMemory(changed);
  sim_->Hub().SendConsumerEvent(kEventLightingChanged);
  ASSERT_TRUE(PumpUntil([&] { return panel().state().Values().mode == 40; }));
  EXPECT_FALSE(Shown(m::kModeCombo));
  EXPECT_EQ(panel().SelectedMode(), -1);
  EXPECT_TRUE(Requests(kCmdWriteLightingByte).empty());
  EXPECT_EQ(Memory().lighting, changed.lighting);
}

// The middle of the knob drawn in a slider picture: the x of its near-white pixels.
double KnobCentre(const QImage& picture) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const QColor c = picture.pixelColor(x, y);
      if (c.red() > 225 && c.green() > 225 && c.blue() > 225) sum += x, ++count;
    }
  return count == 0 ? -1 : sum / count;
}

TEST_F(LightingPanelTest, AClickOnTheKnobDrawnForALevelSelectsThatLevel) {
  Start(true);
  const std::string skins = std::string(ORVANE_DATA_DIR) + "/Skins/";
  struct Case {
    int slider;
    int levels;
    std::function<std::string(int)> picture;
    size_t byte;
    std::function<int(int)> byte_of;
  };
  const Case cases[] = {
      {m::kBrightnessSlider, 25, layout::BrightnessBitmap, 1, [](int v) { return v; }},
      {m::kSpeedSlider, 5, layout::SpeedBitmap, 2, [](int s) { return 4 - s; }},
  };
  for (const Case& c : cases) {
    auto* slider = Control<CBitmapSlider>(c.slider);
    for (int v = 0; v < c.levels; ++v) {
      const QImage picture = LoadImageFile(skins + c.picture(v));
      ASSERT_FALSE(picture.isNull()) << c.picture(v);
      ASSERT_EQ(picture.width(), slider->width());
      const double knob = KnobCentre(picture);
      ASSERT_GE(knob, 0) << c.picture(v);
      slider->SetPos(v == 0 ? c.levels - 1 : 0);
      Click(slider, QPoint(int(std::lround(knob)), slider->height() / 2));
      ASSERT_TRUE(PumpUntil([&] {
        return int(Memory().lighting[0][c.byte]) == c.byte_of(v) && panel().PictureOf(c.slider) == c.picture(v);
      }))
          << c.picture(v) << " knob at " << knob << " gave position " << slider->GetPos();
      EXPECT_EQ(slider->GetPos(), v);
      EXPECT_EQ(panel().PictureOf(c.slider), c.picture(v));
    }
  }
}

// Under the program's theme the two lists show their entries whole, in both languages.
class LightingPanelLanguageTest : public LightingPanelTest, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(LightingPanelLanguageTest, TheModeListsShowTheirEntriesWhole) {
  ApplySkinTheme(*qApp, std::string(ORVANE_DATA_DIR) + "/Skins");
  language_ = GetParam();
  Start(true);
  Render(language_ == 0x0409 ? "lists_en" : "lists_ru");
  for (int id : {m::kModeCombo, m::kUserModeCombo}) {
    auto* combo = Control<QComboBox>(id);
    ASSERT_GT(combo->count(), 0);
    // The box's own size hint is as wide as its longest entry needs.
    EXPECT_GE(combo->width(), combo->sizeHint().width()) << "list " << id << ": an entry is cut";
  }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, LightingPanelLanguageTest, ::testing::Values(uint16_t(0x0409), uint16_t(0x0419)));

}  // namespace
}  // namespace orvane
