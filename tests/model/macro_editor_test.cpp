#include "model/macro_editor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/key_table.h"
#include "tests/support/doubles.h"

namespace orvane {
namespace {

MapTextSource Texts() {
  MapTextSource texts;
  texts.Set("TEXT", "MACRO_NEW_PREFIX", "Macro");
  texts.Set("TEXT", "MACRO_DELETE_CONFIRM_OF_KEYS", "Keys use this macro. Delete it?");
  return texts;
}

std::vector<std::string> Names(const MacroEditor& e) {
  std::vector<std::string> names;
  for (const MacroRecord& m : e.Macros()) names.push_back(MacroNameUtf8(m));
  return names;
}

std::vector<MacroAction> Actions(const MacroEditor& e) {
  std::vector<MacroAction> out;
  for (int r = 0; r < e.ActionCount(); ++r) out.push_back(*e.Action(r));
  return out;
}

MacroRecord Stored(std::u16string_view name, uint16_t id, std::vector<MacroAction> actions) {
  MacroRecord m{};
  SetMacroName(m, name);
  m.id = id;
  m.cycles = 1;
  m.actionCount = uint16_t(actions.size());
  std::copy(actions.begin(), actions.end(), m.actions.begin());
  return m;
}

class MacroEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProfileConfig config;
    config.image = std::make_unique<ProfileImage>();
    editing.Replace(std::move(config));
  }
  void Install(std::vector<MacroRecord> macros) {
    auto lock = editing.Acquire();
    editing.Config().macros = std::move(macros);
  }
  KeyAction& Entry(int layer, int index) { return *editing.Config().image->EntryAt(layer, index); }
  // Five actions A..E pressed, 10 ms apart, in a selected macro.
  void FiveRows() {
    std::vector<MacroAction> rows;
    for (uint16_t code : {0x01E, 0x030, 0x02E, 0x020, 0x012}) rows.push_back({10, code, kPress});
    Install({Stored(u"five", 1, rows)});
    ASSERT_TRUE(editor.Load(editing));
    editor.Select(0);
  }

  ProfileInstance editing;
  MapTextSource texts = Texts();
  ScriptedPrompt prompt;
  std::vector<uint32_t> waits;
  MacroEditor editor{[this](uint32_t ms) { waits.push_back(ms); }};
};

TEST_F(MacroEditorTest, AddNamesIdsReuseAndTheLimit) {
  ASSERT_TRUE(editor.Load(editing));
  EXPECT_EQ(editor.Selected(), -1);
  ASSERT_EQ(editor.Add(texts), MacroEditor::AddResult::Added);
  ASSERT_EQ(editor.Add(texts), MacroEditor::AddResult::Added);
  EXPECT_EQ(Names(editor), (std::vector<std::string>{"Macro1", "Macro2"}));
  EXPECT_EQ(editor.Macros()[0].id, 1);
  EXPECT_EQ(editor.Macros()[1].id, 2);
  EXPECT_EQ(editor.Macros()[1].cycles, 1);
  EXPECT_EQ(editor.Macros()[1].isNew, 1);
  EXPECT_EQ(editor.Selected(), 1);

  // Deleting Macro1 (new, so no question) frees id 1 for the next macro.
  editor.Select(0);
  ASSERT_TRUE(editor.DeleteSelected(editing, texts, prompt));
  EXPECT_EQ(editor.Selected(), 0);
  ASSERT_EQ(editor.Add(texts), MacroEditor::AddResult::Added);
  EXPECT_EQ(editor.Macros()[1].id, 1);
  EXPECT_EQ(Names(editor), (std::vector<std::string>{"Macro2", "Macro3"}));
  EXPECT_TRUE(prompt.Shown().empty());

  while (editor.Count() < 100) ASSERT_EQ(editor.Add(texts), MacroEditor::AddResult::Added);
  EXPECT_EQ(editor.Add(texts), MacroEditor::AddResult::Full);
  EXPECT_EQ(editor.Count(), 100);

  // The counter lives on across loads; an empty list starts it again.
  Install({});
  ASSERT_TRUE(editor.Load(editing));
  ASSERT_EQ(editor.Add(texts), MacroEditor::AddResult::Added);
  EXPECT_EQ(Names(editor), (std::vector<std::string>{"Macro1"}));
}

TEST_F(MacroEditorTest, GeneratedNamesSkipNamesTheyBegin) {
  Install({Stored(u"macro10", 1, {}), Stored(u"Macro2", 2, {})});
  ASSERT_TRUE(editor.Load(editing));
  ASSERT_EQ(editor.Add(texts), MacroEditor::AddResult::Added);
  // Macro1 begins macro10 (case ignored), Macro2 is taken: Macro3, after two 16 ms waits.
  EXPECT_EQ(Names(editor).back(), "Macro3");
  EXPECT_EQ(waits, (std::vector<uint32_t>{16, 16}));
}

TEST_F(MacroEditorTest, RenameByTyping) {
  // An empty list: the typed text names a new macro at position 0.
  ASSERT_TRUE(editor.Load(editing));
  EXPECT_EQ(editor.Rename("Combo", texts), 0);
  EXPECT_EQ(Names(editor), (std::vector<std::string>{"Combo"}));
  EXPECT_EQ(editor.Macros()[0].isNew, 1);

  // Typing "Mac" while another macro's name begins with it gives a generated name instead.
  Install({Stored(u"Macro2", 2, {}), Stored(u"Jump", 1, {})});
  ASSERT_TRUE(editor.Load(editing));
  editor.Select(1);
  EXPECT_EQ(editor.Rename("Mac", texts), 1);
  const std::string generated = Names(editor)[1];
  EXPECT_NE(generated, "Mac");
  EXPECT_EQ(generated.rfind("Macro", 0), 0u);
  EXPECT_NE(generated.rfind("Macro2", 0), 0u);

  // Other text is taken as typed; an empty field gets a generated name; long names are cut.
  EXPECT_EQ(editor.Rename("Sprint", texts), 1);
  EXPECT_EQ(Names(editor)[1], "Sprint");
  editor.Rename("", texts);
  EXPECT_EQ(Names(editor)[1].rfind("Macro", 0), 0u);
  editor.Rename(std::string(259, 'x'), texts);
  EXPECT_EQ(Names(editor)[1], std::string(249, 'x'));
  EXPECT_EQ(editor.Macros()[1].id, 1);  // renaming keeps the record

  editor.Select(-1);
  EXPECT_EQ(editor.Rename("nothing selected", texts), -1);
}

TEST_F(MacroEditorTest, DeleteAsksOnlyForAssignedMacros) {
  Install({Stored(u"one", 1, {}), Stored(u"two", 2, {})});
  Entry(0, 0x1E) = KeyAction{kActionPlayMacro, 1, 1, 0, 0};
  ASSERT_TRUE(editor.Load(editing));
  editor.Select(0);
  prompt.Script({PromptAnswer::No, PromptAnswer::Yes});
  EXPECT_FALSE(editor.DeleteSelected(editing, texts, prompt));
  EXPECT_EQ(editor.Count(), 2);
  EXPECT_TRUE(editor.DeleteSelected(editing, texts, prompt));
  EXPECT_EQ(Names(editor), (std::vector<std::string>{"two"}));
  EXPECT_EQ(editor.Selected(), 0);  // the first was deleted: item 0
  EXPECT_TRUE(editor.DeleteSelected(editing, texts, prompt));  // not assigned: no question
  EXPECT_EQ(prompt.Shown().size(), 2u);
  EXPECT_EQ(editor.Selected(), -1);
  EXPECT_FALSE(editor.DeleteSelected(editing, texts, prompt));
}

TEST_F(MacroEditorTest, RepeatAndPauseFields) {
  EXPECT_EQ(CyclesOfText("0"), 1);
  EXPECT_EQ(CyclesOfText("300"), 255);
  EXPECT_EQ(CyclesOfText(" 7x"), 7);
  EXPECT_EQ(CyclesOfText(""), 1);
  EXPECT_EQ(CyclesOfText("abc"), 1);
  EXPECT_EQ(CyclesOfText("99999999999999999999999"), 255);
  EXPECT_EQ(CyclesFieldCorrection("0"), "1");
  EXPECT_EQ(CyclesFieldCorrection("-3"), "1");
  EXPECT_EQ(CyclesFieldCorrection("300"), "255");
  EXPECT_EQ(CyclesFieldCorrection("255"), std::nullopt);
  EXPECT_EQ(CyclesFieldCorrection(""), std::nullopt);

  FiveRows();
  editor.SetCyclesText("300");
  EXPECT_EQ(editor.SelectedMacro()->cycles, 255);
  editor.SetCyclesText("");
  EXPECT_EQ(editor.SelectedMacro()->cycles, 1);

  bool over = true;
  EXPECT_TRUE(editor.SetActionDelayText(0, "12345", &over));
  EXPECT_FALSE(over);
  EXPECT_EQ(editor.Action(0)->delay, 12340u);
  EXPECT_TRUE(editor.SetActionDelayText(1, "50000", &over));
  EXPECT_TRUE(over);
  EXPECT_EQ(editor.Action(1)->delay, 40000u);
  EXPECT_TRUE(editor.SetActionDelayText(2, "", &over));
  EXPECT_EQ(editor.Action(2)->delay, 0u);
  EXPECT_TRUE(editor.SetActionDelayText(3, "184467440737095516160", &over));  // saturates
  EXPECT_TRUE(over);
  EXPECT_FALSE(editor.SetActionDelayText(5, "10", &over));  // no such row
}

TEST_F(MacroEditorTest, KeyAndDirectionCells) {
  FiveRows();
  const int b = ListPositionOf(0x030);
  ASSERT_LT(b, kListPositionCount);
  EXPECT_TRUE(editor.SetActionKeyPosition(0, b));
  EXPECT_EQ(editor.Action(0)->keyCode, 0x030);
  EXPECT_FALSE(editor.SetActionKeyPosition(0, b));  // the same key: unchanged
  EXPECT_FALSE(editor.SetActionKeyPosition(0, kListPositionCount));
  EXPECT_FALSE(editor.SetActionKeyPosition(0, -1));
  EXPECT_EQ(editor.Action(0)->keyCode, 0x030);
  EXPECT_TRUE(editor.SetActionDirection(0, kRelease));
  EXPECT_FALSE(editor.SetActionDirection(0, kRelease));
  EXPECT_EQ(editor.Action(0)->direction, kRelease);
}

TEST_F(MacroEditorTest, MovingDeletingAndClearingRows) {
  FiveRows();
  auto codes = [&] {
    std::vector<uint16_t> c;
    for (const MacroAction& a : Actions(editor)) c.push_back(a.keyCode);
    return c;
  };
  EXPECT_EQ(editor.MoveAction(0, ActionMove::Up), 0);
  EXPECT_EQ(editor.MoveAction(4, ActionMove::Down), 4);
  EXPECT_EQ(editor.MoveAction(0, ActionMove::Top), 0);
  EXPECT_EQ(codes(), (std::vector<uint16_t>{0x01E, 0x030, 0x02E, 0x020, 0x012}));
  EXPECT_EQ(editor.MoveAction(3, ActionMove::Top), 0);
  EXPECT_EQ(codes(), (std::vector<uint16_t>{0x020, 0x01E, 0x030, 0x02E, 0x012}));
  EXPECT_EQ(editor.MoveAction(1, ActionMove::Bottom), 4);
  EXPECT_EQ(codes(), (std::vector<uint16_t>{0x020, 0x030, 0x02E, 0x012, 0x01E}));
  EXPECT_EQ(editor.MoveAction(2, ActionMove::Down), 3);
  EXPECT_EQ(editor.MoveAction(2, ActionMove::Up), 1);
  EXPECT_EQ(codes(), (std::vector<uint16_t>{0x020, 0x012, 0x030, 0x02E, 0x01E}));
  EXPECT_EQ(editor.MoveAction(5, ActionMove::Up), -1);

  EXPECT_TRUE(editor.DeleteAction(1));
  EXPECT_EQ(codes(), (std::vector<uint16_t>{0x020, 0x030, 0x02E, 0x01E}));
  EXPECT_EQ(editor.SelectedMacro()->actions[4], MacroAction{});  // beyond the count: zero
  EXPECT_FALSE(editor.DeleteAction(4));
  EXPECT_TRUE(editor.ClearActions());
  EXPECT_EQ(editor.ActionCount(), 0);
  EXPECT_FALSE(editor.ClearActions());
}

TEST_F(MacroEditorTest, RecordingFollowsTheSelectedRowAndTheDelayOption) {
  const uint32_t a_down = KeyFlagsOfScanCode(0x1E);
  const uint32_t a_up = a_down | kKeyFlagPreviousState | kKeyFlagTransition;
  for (bool record_delay : {true, false}) {
    Install({Stored(u"empty", 1, {})});
    ASSERT_TRUE(editor.Load(editing));
    editor.Select(0);
    ASSERT_TRUE(editor.StartRecording(-1, 1000, record_delay));
    auto r = editor.OnKeyMessage(-1, 'A', a_down, 1000);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.count, 1);
    r = editor.OnKeyMessage(0, 'A', a_up, 1200);
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.count, 1);
    const uint32_t pause = record_delay ? 200 : 50;
    EXPECT_EQ(Actions(editor), (std::vector<MacroAction>{{pause, 0x01E, kPress}, {0, 0x01E, kRelease}}));
  }

  // With the third of five rows selected the new rows go after it, in order.
  FiveRows();
  ASSERT_TRUE(editor.StartRecording(2, 0, true));
  auto r = editor.OnKeyMessage(2, 'A', a_down, 100);
  EXPECT_EQ(r.first, 3);
  r = editor.OnKeyMessage(3, 'A', a_up, 250);
  EXPECT_EQ(r.first, 4);
  std::vector<uint16_t> codes;
  for (const MacroAction& a : Actions(editor)) codes.push_back(a.keyCode);
  EXPECT_EQ(codes, (std::vector<uint16_t>{0x01E, 0x030, 0x02E, 0x01E, 0x01E, 0x020, 0x012}));
  EXPECT_EQ(editor.Action(2)->delay, 100u);  // the row before the insertion point took the pause
  EXPECT_EQ(editor.Action(3)->delay, 150u);
  EXPECT_EQ(editor.Action(4)->delay, 10u);   // ... and the last new row its old delay
  EXPECT_EQ(editor.Action(4)->direction, kRelease);

  // A media key passes on; stopping ends the recording.
  r = editor.OnKeyMessage(4, 0xAD, 0, 300);
  EXPECT_EQ(r.outcome, MacroRecorder::Outcome::PassOn);
  EXPECT_EQ(r.count, 0);
  editor.StopRecording();
  EXPECT_EQ(editor.OnKeyMessage(4, 'A', a_down, 400).count, 0);
  EXPECT_EQ(editor.ActionCount(), 7);
}

TEST_F(MacroEditorTest, ApplyReconcilesAndCancelLeavesTheInstance) {
  Install({Stored(u"one", 1, {}), Stored(u"two", 2, {})});
  Entry(0, 0x1E) = KeyAction{kActionPlayMacro, 1, 2, 0, 0};
  ASSERT_TRUE(editor.Load(editing));

  // Editing without Apply leaves the instance as it was (Cancel discards the editor's copies).
  ASSERT_EQ(editor.Add(texts), MacroEditor::AddResult::Added);
  editor.Select(1);
  prompt.Script({PromptAnswer::Yes});
  ASSERT_TRUE(editor.DeleteSelected(editing, texts, prompt));
  EXPECT_EQ(editing.Config().macros.size(), 2u);
  EXPECT_EQ(MacroNameUtf8(editing.Config().macros[1]), "two");

  // Apply: the key that played "two" returns to its default, the list becomes the array.
  bool changed = false;
  ASSERT_TRUE(editor.Apply(editing, &changed));
  EXPECT_TRUE(changed);
  EXPECT_EQ(Entry(0, 0x1E).type, kActionDefault);
  ASSERT_EQ(editing.Config().macros.size(), 2u);
  EXPECT_EQ(MacroNameUtf8(editing.Config().macros[1]), "Macro1");
  EXPECT_EQ(editing.Config().macros[1].id, 3);
  EXPECT_EQ(editing.Config().macros[1].isNew, 0);
  EXPECT_EQ(editor.Macros()[1].isNew, 0);
}

TEST_F(MacroEditorTest, LoadTakesCopiesAndNormalisesDirections) {
  MacroRecord odd = Stored(u"odd", 4, {{0, 0x01E, 7}, {0, 0x01E, kRelease}});
  odd.isNew = 1;
  Install({odd});
  ASSERT_TRUE(editor.Load(editing));
  editor.Select(0);
  EXPECT_EQ(editor.Macros()[0].isNew, 0);
  EXPECT_EQ(editor.Action(0)->direction, kPress);
  EXPECT_EQ(editor.Action(1)->direction, kRelease);
  EXPECT_EQ(editor.PositionOfId(4), 0);
  EXPECT_EQ(editor.PositionOfId(5), -1);
  EXPECT_EQ(editing.Config().macros[0].actions[0].direction, 7);  // the instance is untouched
  editor.Release();
  EXPECT_EQ(editor.Count(), 0);
  EXPECT_EQ(editor.Selected(), 0);
}

// The meter's figures are the area sizes the configuration write goes by, at and around both
// limits.
TEST(MacroMemory, FitAtAndAroundBothLimits) {
  MacroRecord m = Stored(u"abc", 1, {{120, 0x01E, kPress}, {0, 0x01E, kRelease}});
  const std::vector<MacroRecord> list = {m};
  // 30 bytes without names, 36 with.
  struct Case {
    size_t capacity;
    MacroAreaFit fit;
    size_t used;
  } cases[] = {{37, MacroAreaFit::WithNames, 36},    {36, MacroAreaFit::WithNames, 36},
               {35, MacroAreaFit::WithoutNames, 30}, {31, MacroAreaFit::WithoutNames, 30},
               {30, MacroAreaFit::WithoutNames, 30}, {29, MacroAreaFit::TooLong, 30},
               {0, MacroAreaFit::TooLong, 30}};
  for (const Case& c : cases) {
    const MacroMemoryUse use = MacroMemoryUseOf(list, c.capacity);
    EXPECT_EQ(use.fit, c.fit) << c.capacity;
    EXPECT_EQ(use.used, c.used) << c.capacity;
    EXPECT_EQ(use.available, c.capacity);
    EXPECT_EQ(use.sizes.withNames, 36u);
    EXPECT_EQ(use.sizes.withoutNames, 30u);
  }
  EXPECT_EQ(MacroMemoryUseOf({}, 16).fit, MacroAreaFit::WithNames);
  EXPECT_EQ(MacroMemoryUseOf({}, 15).fit, MacroAreaFit::TooLong);
}

}  // namespace
}  // namespace orvane
