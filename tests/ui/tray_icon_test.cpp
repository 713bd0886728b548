#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>
#include <vector>

#include "platform/doubles.h"
#include "ui/skin/resources.h"
#include "ui/skin/tray_icon.h"

namespace orvane {
namespace {

constexpr uint32_t kCallback = 1725;
constexpr int kTrayMenu = 140;

// An owner window that records the commands it receives.
class Owner : public QWidget {
 public:
  std::vector<int> commands;
  std::vector<uint32_t> messages;

 protected:
  bool event(QEvent* e) override {
    if (e->type() == WindowMessageEvent::EventType()) {
      auto* m = static_cast<WindowMessageEvent*>(e);
      messages.push_back(m->message());
      if (m->message() == WM_COMMAND) commands.push_back(int(m->wparam()));
      return true;
    }
    return QWidget::event(e);
  }
};

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterMenuResource(kTrayMenu, MenuResource{{{{32771, "Open"}, {32773, "About"}, {0, ""}, {32774, "Exit"}}}});
    texts_.Set("TEXT", "MENU_11", "Open Orvane");
    texts_.Set("TEXT", "MENU_22", "About");
    texts_.Set("TEXT", "MENU_33", "Quit");
    ASSERT_TRUE(tray_.Create(&owner_, kCallback, "Orvane keyboard", QIcon(), kTrayMenu));
  }
  void TearDown() override { ClearResources(); }

  MapTextSource texts_;
  Owner owner_;
  CTrayIcon tray_;
};

TEST_F(TrayIconTest, RightClickShowsTheMenuWithTheFirstItemAsDefaultAndLabelsFromTheCallback) {
  const std::map<int, std::string> keys = {{32771, "MENU_11"}, {32773, "MENU_22"}, {32774, "MENU_33"}};
  tray_.SetMenuCallback([&](QMenu* popup) {
    for (QAction* a : popup->actions())
      if (auto it = keys.find(MenuCommand(a)); it != keys.end()) a->setText(QString::fromStdString(texts_.Text(it->second)));
  });
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu, WM_RBUTTONUP), 1);
  QMenu* popup = tray_.popup();
  ASSERT_NE(popup, nullptr);
  const QList<QAction*> actions = popup->actions();
  ASSERT_EQ(actions.size(), 4);
  EXPECT_EQ(popup->defaultAction(), actions[0]);
  EXPECT_TRUE(actions[0]->font().bold());
  EXPECT_FALSE(actions[1]->font().bold());
  EXPECT_EQ(actions[0]->text(), "Open Orvane");
  EXPECT_EQ(actions[1]->text(), "About");
  EXPECT_TRUE(actions[2]->isSeparator());
  EXPECT_EQ(actions[3]->text(), "Quit");
  // Choosing an item sends its command to the owner.
  actions[3]->trigger();
  EXPECT_EQ(owner_.commands, (std::vector<int>{32774}));
  popup->hide();
}

TEST_F(TrayIconTest, DoubleClickThroughTheOwnersHookSendsTheFirstCommand) {
  // The notification arrives at the owner as its callback message; the hook passes it on too.
  SendWindowMessage(&owner_, kCallback, kTrayMenu, WM_LBUTTONDBLCLK);
  EXPECT_EQ(owner_.commands, (std::vector<int>{32771}));
  EXPECT_EQ(owner_.messages, (std::vector<uint32_t>{WM_COMMAND, kCallback}));
  // Another icon's notification and other mouse messages do nothing.
  SendWindowMessage(&owner_, kCallback, kTrayMenu + 1, WM_LBUTTONDBLCLK);
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu + 1, WM_RBUTTONUP), 0);
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu, WM_LBUTTONUP), 1);
  EXPECT_EQ(owner_.commands.size(), 1u);
}

TEST_F(TrayIconTest, MissingMenuResourceShowsNothing) {
  ClearResources();
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu, WM_RBUTTONUP), 0);
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu, WM_LBUTTONDBLCLK), 0);
  EXPECT_EQ(tray_.popup(), nullptr);
  EXPECT_TRUE(owner_.commands.empty());
}

TEST_F(TrayIconTest, IconChangesOnlyWhenAnotherIsAsked) {
  QPixmap present(16, 16), special(16, 16);
  present.fill(Qt::green);
  special.fill(Qt::red);
  RegisterIconResource(141, QIcon(present));
  EXPECT_TRUE(tray_.SetIcon(141));
  const qint64 shown = tray_.systemTrayIcon()->icon().cacheKey();
  RegisterIconResource(141, QIcon(special));
  EXPECT_TRUE(tray_.SetIcon(141));  // the same number: left as it is
  EXPECT_EQ(tray_.systemTrayIcon()->icon().cacheKey(), shown);
  RegisterIconResource(142, QIcon(special));
  tray_.SetIcon(142);
  EXPECT_EQ(tray_.currentIconResource(), 142);
  EXPECT_NE(tray_.systemTrayIcon()->icon().cacheKey(), shown);
}

TEST_F(TrayIconTest, RemovedIconIgnoresEverything) {
  EXPECT_TRUE(tray_.Remove());
  EXPECT_FALSE(tray_.added());
  EXPECT_FALSE(tray_.Remove());
  EXPECT_FALSE(tray_.SetIcon(141));
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu, WM_LBUTTONDBLCLK), 0);
  EXPECT_TRUE(owner_.commands.empty());
}

TEST(TrayIconCreateTest, FailsWithoutOwnerAndThenDoesNothing) {
  CTrayIcon tray;
  EXPECT_FALSE(tray.Create(nullptr, kCallback, "tip", QIcon(), kTrayMenu));
  EXPECT_FALSE(tray.added());
  EXPECT_FALSE(tray.SetIcon(128));
  EXPECT_EQ(tray.OnTrayNotification(kTrayMenu, WM_RBUTTONUP), 0);
}

TEST(TrayIconTipTest, LongTipsAreCutWithoutSplittingACharacter) {
  EXPECT_EQ(CTrayIcon::FitTip(std::string(127, 'a')).size(), 127);
  EXPECT_EQ(CTrayIcon::FitTip(std::string(300, 'a')).size(), 127);
  // 126 letters then a character outside the basic plane (two UTF-16 units): it does not fit.
  const QString cut = CTrayIcon::FitTip(std::string(126, 'a') + "\xF0\x9F\x8E\xB9" + "b");
  EXPECT_EQ(cut, QString(126, 'a'));
  EXPECT_EQ(CTrayIcon::FitTip("Клавиатура").size(), 10);
}

class RecordingHook : public CSubclassWnd {
 public:
  RecordingHook(std::vector<std::string>* log, std::string name) : log_(log), name_(std::move(name)) {}

 protected:
  bool WindowProc(QObject*, QEvent* event) override {
    if (event->type() == WindowMessageEvent::EventType()) log_->push_back(name_);
    return false;
  }

 private:
  std::vector<std::string>* log_;
  std::string name_;
};

TEST(SubclassWndTest, ChainRunsNewestFirstAndComesOffWhenTheWindowGoes) {
  std::vector<std::string> log;
  RecordingHook first(&log, "first"), second(&log, "second");
  auto window = std::make_unique<Owner>();
  first.HookWindow(window.get());
  second.HookWindow(window.get());
  EXPECT_EQ(CSubclassWnd::NewestHook(window.get()), &second);
  EXPECT_EQ(second.next(), &first);
  EXPECT_EQ(first.next(), nullptr);
  SendWindowMessage(window.get(), 0x400, 0, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(window->messages.size(), 1u);  // and the window still gets it

  second.HookWindow(nullptr);
  EXPECT_EQ(CSubclassWnd::NewestHook(window.get()), &first);
  second.HookWindow(window.get());

  const size_t hooked = CSubclassWnd::HookedWindowCount();
  window.reset();
  EXPECT_EQ(first.window(), nullptr);
  EXPECT_EQ(second.window(), nullptr);
  EXPECT_EQ(CSubclassWnd::HookedWindowCount(), hooked - 1);
}

TEST(SubclassWndTest, TrayIconHooksTheOwnerAndItsTopLevelWindow) {
  Owner top;
  auto* child = new QWidget(&top);
  CTrayIcon tray;
  ASSERT_TRUE(tray.Create(child, kCallback, "tip", QIcon(), kTrayMenu));
  EXPECT_NE(CSubclassWnd::NewestHook(child), nullptr);
  EXPECT_NE(CSubclassWnd::NewestHook(&top), nullptr);
  EXPECT_EQ(tray.tip(), "tip");
}

}  // namespace
}  // namespace orvane
