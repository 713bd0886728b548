#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <functional>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>
#include <vector>

#include "tests/support/doubles.h"
#include "ui/layout/control_ids.h"
#include "ui/skin/resources.h"
#include "ui/skin/tray_icon.h"

namespace orvane {
namespace {

constexpr uint32_t kCallback = ids::main::kTrayCallbackMessage;
constexpr int kTrayMenu = ids::menu::kTray;
constexpr int kOpen = ids::menu::kTrayOpen;
constexpr int kAbout = ids::menu::kTrayAbout;
constexpr int kExit = ids::menu::kTrayExit;

// An owner window that records the commands it receives.
class Owner : public QWidget {
 public:
  std::vector<int> commands;
  std::vector<uint32_t> messages;
  std::function<void(int)> on_command;

 protected:
  bool event(QEvent* e) override {
    if (e->type() == WindowMessageEvent::EventType()) {
      auto* m = static_cast<WindowMessageEvent*>(e);
      messages.push_back(m->message());
      if (m->message() == WM_COMMAND) {
        commands.push_back(int(m->wparam()));
        if (on_command) on_command(int(m->wparam()));
      }
      return true;
    }
    return QWidget::event(e);
  }
};

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterMenuResource(kTrayMenu, MenuResource{{{{kOpen, "Open"}, {kAbout, "About"}, {0, ""}, {kExit, "Exit"}}}});
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

TEST_F(TrayIconTest, TheDesktopsMenuHasTheFirstItemAsDefaultAndIsRelabelledAtEachOpening) {
  const std::map<int, std::string> keys = {{kOpen, "MENU_11"}, {kAbout, "MENU_22"}, {kExit, "MENU_33"}};
  tray_.SetMenuCallback([&](QMenu* popup) {
    for (QAction* a : popup->actions())
      if (auto it = keys.find(MenuCommand(a)); it != keys.end()) a->setText(QString::fromStdString(texts_.Text(it->second)));
  });
  QMenu* popup = tray_.popup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(tray_.systemTrayIcon()->contextMenu(), popup);  // the desktop draws it
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu, WM_RBUTTONUP), 1);
  emit popup->aboutToShow();
  QList<QAction*> actions = popup->actions();
  ASSERT_EQ(actions.size(), 4);
  EXPECT_EQ(popup->defaultAction(), actions[0]);
  EXPECT_TRUE(actions[0]->font().bold());
  EXPECT_FALSE(actions[1]->font().bold());
  EXPECT_EQ(actions[0]->text(), "Open Orvane");
  EXPECT_EQ(actions[1]->text(), "About");
  EXPECT_TRUE(actions[2]->isSeparator());
  EXPECT_EQ(actions[3]->text(), "Quit");
  // The language changes: the next opening shows the new texts.
  texts_.Set("TEXT", "MENU_33", "Beenden");
  emit popup->aboutToShow();
  actions = popup->actions();
  ASSERT_EQ(actions.size(), 4);
  EXPECT_EQ(actions[3]->text(), "Beenden");
  // Choosing an item posts its command to the owner.
  actions[3]->trigger();
  EXPECT_TRUE(owner_.commands.empty());
  QCoreApplication::processEvents();
  EXPECT_EQ(owner_.commands, (std::vector<int>{kExit}));
}

TEST_F(TrayIconTest, ExitFromTheMenuRemovesTheIconWhileTheMenuIsStillInItsSignal) {
  owner_.on_command = [&](int command) {
    if (command == kExit) tray_.Remove();
  };
  QMenu* popup = tray_.popup();
  ASSERT_NE(popup, nullptr);
  emit popup->aboutToShow();
  QAction* exit = popup->actions().last();
  QPointer<QMenu> watched(popup);
  exit->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(owner_.commands, (std::vector<int>{kExit}));
  EXPECT_FALSE(tray_.added());
  EXPECT_EQ(tray_.popup(), nullptr);
  // The old menu goes once the event loop has it back.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
}

TEST_F(TrayIconTest, AClickOrADoubleClickSendsTheFirstCommandOnce) {
  // The notification arrives at the owner as its callback message; the hook passes it on too.
  SendWindowMessage(&owner_, kCallback, kTrayMenu, WM_LBUTTONDBLCLK);
  EXPECT_EQ(owner_.commands, (std::vector<int>{kOpen}));
  EXPECT_EQ(owner_.messages, (std::vector<uint32_t>{WM_COMMAND, kCallback}));
  // A single click is all a status-item host gives; the double click completing it adds nothing.
  SendWindowMessage(&owner_, kCallback, kTrayMenu, WM_LBUTTONUP);
  EXPECT_EQ(owner_.commands, (std::vector<int>{kOpen, kOpen}));
  SendWindowMessage(&owner_, kCallback, kTrayMenu, WM_LBUTTONDBLCLK);
  EXPECT_EQ(owner_.commands.size(), 2u);
  // Another icon's notification does nothing.
  SendWindowMessage(&owner_, kCallback, kTrayMenu + 1, WM_LBUTTONDBLCLK);
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu + 1, WM_RBUTTONUP), 0);
  EXPECT_EQ(owner_.commands.size(), 2u);
}

TEST_F(TrayIconTest, MissingMenuResourceShowsNothing) {
  ClearResources();
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu, WM_RBUTTONUP), 0);
  EXPECT_EQ(tray_.OnTrayNotification(kTrayMenu, WM_LBUTTONDBLCLK), 0);
  ASSERT_NE(tray_.popup(), nullptr);
  emit tray_.popup()->aboutToShow();
  EXPECT_TRUE(tray_.popup()->actions().isEmpty());
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
