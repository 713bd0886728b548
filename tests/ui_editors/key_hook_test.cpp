// The editors' keyboard hook: which key events it takes, that it delivers each once, and that the
// widgets never see what it consumed.
#include "ui/editors/key_hook.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QWindow>
#include <QWidget>
#include <vector>

#include "tests/ui_editors/editor_fixture.h"

namespace orvane {
namespace {

using testing::KeyCounter;
using testing::SendKey;
namespace ev = testing::evdev;

struct Hooked {
  std::vector<KeyHookMessage> messages;
  CKeyHook hook{[this](const KeyHookMessage& m) { messages.push_back(m); }};
};

TEST(KeyHook, TakesEachKeyOnceAndWidgetsNeverSeeIt) {
  QWidget window;
  auto* parent = new QWidget(&window);
  auto* edit = new QLineEdit(parent);
  KeyCounter edit_keys(edit);
  KeyCounter parent_keys(parent);
  Hooked h;
  h.hook.Install();
  h.hook.Install();  // twice is once

  SendKey(edit, ev::kA, false);
  SendKey(edit, ev::kA, false, true);  // auto-repeat press
  SendKey(edit, ev::kA, true, true);   // X11's release between repeats: no message
  SendKey(edit, ev::kA, true);
  SendKey(edit, ev::kLeftMeta, false);
  SendKey(edit, ev::kLeftMeta, true);
  ASSERT_EQ(h.messages.size(), 5u);
  EXPECT_EQ(h.messages[0].code, 0x01E);
  EXPECT_FALSE(h.messages[0].release);
  EXPECT_FALSE(h.messages[0].autoRepeat);
  EXPECT_EQ(h.messages[0].flags, 0x001E0001u);
  EXPECT_EQ(h.messages[0].virtualKey, uint32_t('A'));
  EXPECT_TRUE(h.messages[1].autoRepeat);
  EXPECT_TRUE(h.messages[2].release);
  EXPECT_EQ(h.messages[3].code, 0x15B);
  EXPECT_TRUE(h.messages[4].release);
  EXPECT_EQ(edit_keys.presses + edit_keys.releases + parent_keys.presses + parent_keys.releases, 0);

  // Media keys and keys without a code go on to the widget (and from there to its parents).
  SendKey(edit, ev::kVolumeUp, false);
  SendKey(edit, 0x1F0, false);
  EXPECT_EQ(h.messages.size(), 5u);
  EXPECT_EQ(edit_keys.presses, 2);

  h.hook.Remove();
  SendKey(edit, ev::kB, false);
  EXPECT_EQ(h.messages.size(), 5u);
  EXPECT_EQ(edit_keys.presses, 3);
  EXPECT_EQ(edit->text(), QString());  // the line edit got no text: the events carried none
}

TEST(KeyHook, ClaimsTheShortcutOverrideOfAKeyItTakes) {
  QWidget window;
  Hooked h;
  h.hook.Install();
  QKeyEvent consumed(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier, ev::kA + 8, 0, 0);
  consumed.ignore();
  QApplication::sendEvent(&window, &consumed);
  EXPECT_TRUE(consumed.isAccepted());
  QKeyEvent passed(QEvent::ShortcutOverride, Qt::Key_VolumeUp, Qt::NoModifier, ev::kVolumeUp + 8, 0, 0);
  passed.ignore();
  QApplication::sendEvent(&window, &passed);
  EXPECT_FALSE(passed.isAccepted());
  EXPECT_TRUE(h.messages.empty());  // the override is no message of its own
}

// A hook with an owner takes the keys of the owner's window and of its drop-down lists, and
// leaves a question box opened over it its keys (Return answers it, it is not taken as a key).
TEST(KeyHook, WithAnOwnerLeavesOtherWindowsTheirKeys) {
  QDialog owner;
  auto* field = new QLineEdit(&owner);
  auto* list = new QComboBox(&owner);
  list->addItems({"one", "two"});
  owner.show();
  QDialog box(&owner);
  auto* answer = new QLineEdit(&box);
  box.show();
  KeyCounter field_keys(field);
  KeyCounter answer_keys(answer);
  Hooked h;
  h.hook.SetOwner(&owner);
  h.hook.Install();

  SendKey(answer, ev::kEnter, false);
  SendKey(answer, ev::kEnter, true);
  EXPECT_TRUE(h.messages.empty());
  EXPECT_EQ(answer_keys.presses + answer_keys.releases, 2);
  // The box's own window is no QWidget: the event sent to it passes on too.
  QKeyEvent to_window(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, ev::kEnter + 8, 0, 0);
  QApplication::sendEvent(box.windowHandle(), &to_window);
  EXPECT_TRUE(h.messages.empty());

  SendKey(field, ev::kA, false);
  list->showPopup();
  QWidget* popup = list->view()->window();
  ASSERT_NE(popup, &owner);
  SendKey(popup, ev::kB, false);
  list->hidePopup();
  ASSERT_EQ(h.messages.size(), 2u);
  EXPECT_EQ(h.messages[0].code, 0x01E);
  EXPECT_EQ(h.messages[1].code, 0x030);
  EXPECT_EQ(field_keys.presses, 0);
}

}  // namespace
}  // namespace orvane
