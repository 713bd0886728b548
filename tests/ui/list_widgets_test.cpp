// The report-style list and the editable combo box, driven as a user drives them (clicks, typing)
// inside a dialog, with the notifications counted where the dialog's command table receives them.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyleOptionViewItem>
#include <QKeyEvent>
#include <QMouseEvent>

#include "tests/support/pump_events.h"
#include "ui/controls/edit_combo.h"
#include "ui/controls/report_list.h"
#include "ui/skin/base_dialog.h"

namespace orvane {
namespace {

// User input as the window system delivers it.
void MouseClick(QWidget* target, QPoint at) {
  const QPointF local(at);
  const QPointF global(target->mapToGlobal(at));
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

void KeyClick(QWidget* target, int key, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &release);
}

void KeyClicks(QWidget* target, const QString& text) {
  for (QChar c : text) KeyClick(target, Qt::Key(c.toUpper().unicode()), QString(c));
}

void ShowAndWait(QWidget* window) {
  window->show();
  QApplication::processEvents();
}

constexpr int kListId = 1019;
constexpr int kComboId = 1126;
constexpr int kEditId = 1125;

// A dialog holding the controls, counting the notifications its table receives.
class ListDialog : public CBaseDialog {
 public:
  ListDialog() : CBaseDialog(0, nullptr, "", "") {
    resize(400, 300);
    for (int id : {kListId, kComboId, kEditId})
      for (int code : {notify::kSelChange, notify::kEditChange, notify::kTextChange, notify::kCheckChange})
        OnNotify(id, code, [this, id, code] { received.push_back({id, code}); });
  }
  int Count(int id, int code) const {
    return int(std::count(received.begin(), received.end(), std::pair<int, int>{id, code}));
  }
  std::vector<std::pair<int, int>> received;
};

class ReportListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list = new CReportList;
    dialog.AddControl(list, kListId);
    list->setGeometry(0, 0, 380, 200);
    list->AddColumn("Key", 60);
    list->AddColumn("Action", 60);
    list->AddColumn("Delay", 80);
    ShowAndWait(&dialog);
  }
  QPoint CellCentre(int row, int column) const {
    return list->visualRect(list->model()->index(row, column)).center();
  }
  void Click(int row, int column) {
    MouseClick(list->viewport(), CellCentre(row, column));
  }
  // Where the check box of the row is drawn.
  QPoint CheckBoxCentre(int row) const {
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualRect(list->model()->index(row, 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list).center();
  }

  ListDialog dialog;
  CReportList* list = nullptr;
};

TEST_F(ReportListTest, RowsKeepTheirDataThroughInsertMoveAndRemove) {
  for (int i = 0; i < 5; ++i) list->AppendRow({"k" + std::to_string(i), "d", std::to_string(i * 10)}, i);
  EXPECT_EQ(list->InsertRow(2, {"new"}, 99), 2);
  EXPECT_EQ(list->InsertRow(-4, {"first"}, -1), 0);
  EXPECT_EQ(list->InsertRow(100, {"last", "x", "y", "extra cell"}, 100), 7);
  ASSERT_EQ(list->RowCount(), 8);
  EXPECT_EQ(list->CellText(7, 2), "y");
  EXPECT_EQ(list->CellText(7, 3), "");   // cells beyond the columns are dropped
  EXPECT_EQ(list->CellText(3, 1), "");   // missing cells are empty
  EXPECT_EQ(*list->RowData<int>(3), 99);
  EXPECT_EQ(list->RowData<std::string>(3), nullptr);  // another type
  EXPECT_EQ(list->RowData<int>(8), nullptr);

  // Moves stop at either end; the selected row stays selected where it lands.
  list->SelectRow(3);
  EXPECT_TRUE(list->MoveRow(3, -10));
  EXPECT_EQ(*list->RowData<int>(0), 99);
  EXPECT_EQ(list->SelectedRow(), 0);
  EXPECT_TRUE(list->MoveRow(0, 1000));
  EXPECT_EQ(*list->RowData<int>(7), 99);
  EXPECT_EQ(list->CellText(7, 0), "new");
  EXPECT_EQ(list->SelectedRow(), 7);
  EXPECT_TRUE(list->MoveRow(7, 6));
  EXPECT_EQ(*list->RowData<int>(6), 99);
  EXPECT_EQ(*list->RowData<int>(7), 100);
  EXPECT_FALSE(list->MoveRow(8, 0));

  EXPECT_TRUE(list->RemoveRow(6));
  EXPECT_FALSE(list->RemoveRow(7));
  EXPECT_EQ(list->RowCount(), 7);
  std::vector<int> order;
  for (int r = 0; r < list->RowCount(); ++r) order.push_back(*list->RowData<int>(r));
  EXPECT_EQ(order, (std::vector<int>{-1, 0, 1, 2, 3, 4, 100}));
  list->Clear();
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(list->SelectedRow(), -1);
}

TEST_F(ReportListTest, ClicksSelectWholeRowsNotifyAndHeadersDoNotSort) {
  for (const char* key : {"C", "A", "B"}) list->AppendRow({key, "", ""});
  EXPECT_TRUE(list->showGrid());
  EXPECT_FALSE(list->horizontalHeader()->sectionsClickable());

  Click(1, 2);
  EXPECT_EQ(list->SelectedRow(), 1);
  EXPECT_EQ(list->selectionModel()->selectedIndexes().size(), 3);  // the whole row
  EXPECT_EQ(dialog.Count(kListId, notify::kSelChange), 1);
  EXPECT_EQ(list->ActiveEditor(), nullptr);  // no editors on these columns

  // A click on the header changes neither the order nor the selection.
  QHeaderView* header = list->horizontalHeader();
  MouseClick(header->viewport(), QPoint(header->sectionPosition(0) + 10, 5));
  EXPECT_EQ(list->CellText(0, 0), "C");
  EXPECT_EQ(list->SelectedRow(), 1);

  Click(2, 0);
  list->SelectRow(0);  // the program's own changes notify too, as the dialogs expect
  list->SelectRow(0);  // no change, no notification
  EXPECT_EQ(dialog.Count(kListId, notify::kSelChange), 3);
  list->RemoveRow(0);
  EXPECT_EQ(list->SelectedRow(), -1);
  EXPECT_EQ(dialog.Count(kListId, notify::kSelChange), 4);
}

TEST_F(ReportListTest, ExclusiveCheckBoxesKeepOneRowCheckedAndNotifyEveryChange) {
  list->SetCheckBoxes(true, true);
  for (int i = 0; i < 3; ++i) list->AppendRow({"", "Profile", "/p/"});
  list->SetChecked(2, true);
  EXPECT_EQ(list->CheckedRow(), 2);
  EXPECT_EQ(dialog.Count(kListId, notify::kCheckChange), 1);
  list->SetChecked(2, true);  // already checked
  EXPECT_EQ(dialog.Count(kListId, notify::kCheckChange), 1);

  // The user checks row 0: row 2 loses its mark.
  MouseClick(list->viewport(), CheckBoxCentre(0));
  EXPECT_TRUE(list->IsChecked(0));
  EXPECT_FALSE(list->IsChecked(2));
  EXPECT_EQ(list->CheckedRow(), 0);
  EXPECT_EQ(dialog.Count(kListId, notify::kCheckChange), 2);
  // And unchecks it again: no row is checked, which notifies as well.
  MouseClick(list->viewport(), CheckBoxCentre(0));
  EXPECT_EQ(list->CheckedRow(), -1);
  EXPECT_EQ(dialog.Count(kListId, notify::kCheckChange), 3);

  // Removing the checked row is a change of the marks.
  list->SetChecked(1, true);
  list->RemoveRow(1);
  EXPECT_EQ(list->CheckedRow(), -1);
  EXPECT_EQ(dialog.Count(kListId, notify::kCheckChange), 5);

  // Not exclusive: marks stand side by side.
  list->SetCheckBoxes(true, false);
  list->SetChecked(0, true);
  list->SetChecked(1, true);
  EXPECT_TRUE(list->IsChecked(0) && list->IsChecked(1));
  list->SetCheckBoxes(false, false);
  EXPECT_FALSE(list->IsChecked(0));
  EXPECT_EQ(list->CheckedRow(), -1);
}

TEST_F(ReportListTest, AClickInTheSelectedRowOpensTheColumnsEditFieldAtOnce) {
  list->SetColumnEditor(2, CReportList::Editor::DigitsEdit);
  std::vector<std::tuple<int, int, std::string>> edits;
  std::vector<std::pair<int, int>> starts;
  list->OnTextEdited([&](int r, int c, const std::string& t) { edits.emplace_back(r, c, t); });
  list->OnEditStarting([&](int r, int c) { starts.emplace_back(r, c); });
  for (int i = 0; i < 3; ++i) list->AppendRow({"A", "", "50"});

  Click(1, 2);  // selects the row only
  EXPECT_EQ(list->ActiveEditor(), nullptr);
  Click(1, 2);  // the row is selected: the edit field opens on the cell
  auto* field = qobject_cast<QLineEdit*>(list->ActiveEditor());
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(starts, (std::vector<std::pair<int, int>>{{1, 2}}));
  EXPECT_EQ(field->text(), "50");
  EXPECT_EQ(field->geometry(), list->visualRect(list->model()->index(1, 2)));
  KeyClicks(field, "12a3-4");
  EXPECT_EQ(field->text(), "1234");  // digits only
  KeyClick(field, Qt::Key_Return);
  EXPECT_EQ(list->ActiveEditor(), nullptr);
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(edits[0], std::make_tuple(1, 2, std::string("1234")));
  EXPECT_EQ(list->CellText(1, 2), "50");  // the owner decides what the cell shows

  // A click in a column without an editor opens nothing; Escape ends an edit without a report.
  Click(1, 0);
  EXPECT_EQ(list->ActiveEditor(), nullptr);
  ASSERT_TRUE(list->BeginEdit(1, 2));
  KeyClicks(list->ActiveEditor(), "7");
  KeyClick(list->ActiveEditor(), Qt::Key_Escape);
  EXPECT_EQ(list->ActiveEditor(), nullptr);
  EXPECT_EQ(edits.size(), 1u);
  EXPECT_TRUE(dialog.isVisible());  // Escape went to the field, not the dialog

  // Moving the focus elsewhere ends the edit like Enter; removing the row cancels it.
  ASSERT_TRUE(list->BeginEdit(2, 2));
  KeyClicks(list->ActiveEditor(), "9");
  list->CommitEdit();
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[1], std::make_tuple(2, 2, std::string("9")));
  ASSERT_TRUE(list->BeginEdit(2, 2));
  list->RemoveRow(2);
  EXPECT_EQ(list->ActiveEditor(), nullptr);
  EXPECT_EQ(edits.size(), 2u);
  EXPECT_FALSE(list->BeginEdit(5, 2));
  EXPECT_FALSE(list->BeginEdit(0, 1));
}

TEST_F(ReportListTest, DropDownEditorsOpenAtOnceAndReportOnlyAnotherChoice) {
  std::vector<std::string> keys;
  for (int i = 0; i < 111; ++i) keys.push_back("key " + std::to_string(i));
  list->SetDropDown(0, [&](int row) { return CReportList::DropDownItems{keys, row == 0 ? 30 : 5}; }, 20);
  list->SetDropDown(1, [](int) { return CReportList::DropDownItems{{"down", "up"}, 1}; }, 6);
  QFont font = list->font();
  font.setPointSize(13);
  list->setFont(font);
  std::vector<std::tuple<int, int, int>> chosen;
  list->OnItemChosen([&](int r, int c, int i) { chosen.emplace_back(r, c, i); });
  list->AppendRow({"key 30", "up", "0"});
  list->AppendRow({"key 5", "down", "0"});

  list->SelectRow(0);
  Click(0, 0);
  auto* drop = qobject_cast<QComboBox*>(list->ActiveEditor());
  ASSERT_NE(drop, nullptr);
  EXPECT_TRUE(drop->view()->isVisible());  // the list is open without a second click
  EXPECT_EQ(drop->count(), 111);
  EXPECT_EQ(drop->currentIndex(), 30);
  EXPECT_EQ(drop->maxVisibleItems(), 20);
  EXPECT_EQ(drop->font().pointSize(), 13);
  // The open list shows those 20 rows and scrolls, rather than all 111 down the screen.
  const int row_height = drop->view()->sizeHintForRow(0);
  ASSERT_GT(row_height, 0);
  EXPECT_LE(drop->view()->window()->height(), 21 * row_height);
  EXPECT_GE(drop->view()->window()->height(), 19 * row_height);
  // The release of the press that opened it lands beside the list, on its frame: it stays open.
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(-4, -4), QPointF(-4, -4), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(drop->view()->window(), &release);
  EXPECT_TRUE(drop->view()->isVisible());

  // The user picks entry 40: reported once, and the editor is gone.
  QAbstractItemView* view = drop->view();
  view->setCurrentIndex(view->model()->index(40, 0));
  KeyClick(view, Qt::Key_Return);
  ASSERT_TRUE(testing_support::PumpUntil([&] { return list->ActiveEditor() == nullptr; }));
  EXPECT_EQ(chosen, (std::vector<std::tuple<int, int, int>>{{0, 0, 40}}));

  // Closing on the entry it opened with reports nothing.
  ASSERT_TRUE(list->BeginEdit(0, 1));
  drop = qobject_cast<QComboBox*>(list->ActiveEditor());
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(drop->maxVisibleItems(), 6);
  EXPECT_EQ(drop->currentIndex(), 1);
  drop->hidePopup();
  ASSERT_TRUE(testing_support::PumpUntil([&] { return list->ActiveEditor() == nullptr; }));
  EXPECT_EQ(chosen.size(), 1u);
}

TEST_F(ReportListTest, GreyColumnsUseTheGreyTextColour) {
  list->AppendRow({"A", "down", "50"});
  list->SetGreyColumn(0, true);
  list->SetGreyColumn(1, true);
  const QColor grey = list->palette().color(QPalette::Disabled, QPalette::Text);
  QAbstractItemModel* m = list->model();
  EXPECT_EQ(m->data(m->index(0, 0), Qt::ForegroundRole).value<QColor>(), grey);
  EXPECT_EQ(m->data(m->index(0, 1), Qt::ForegroundRole).value<QColor>(), grey);
  EXPECT_FALSE(m->data(m->index(0, 2), Qt::ForegroundRole).isValid());
  if (const char* out = std::getenv("ORVANE_SHOT_DIR")) {
    for (int i = 0; i < 12; ++i) list->AppendRow({"Shift", i % 2 ? "  \u2191" : "\u2193", std::to_string(i * 10)});
    list->SelectRow(2);
    dialog.grab().save(QString::fromUtf8(out) + "/report_list.png");
  }
}

TEST(EditComboTest, TheUsersChoiceAndTypingNotifyTheProgramsOwnChangesDoNot) {
  ListDialog dialog;
  auto* combo = new CEditCombo;
  dialog.AddControl(combo, kComboId);
  combo->setGeometry(10, 10, 200, 26);
  ShowAndWait(&dialog);
  combo->AddItem("Macro1");
  combo->AddItem("Macro2");
  combo->InsertItem(0, "Macro0");
  combo->Select(1);
  EXPECT_EQ(combo->EditText(), "Macro1");
  EXPECT_TRUE(dialog.received.empty());

  // Typing: edit change only, the item itself keeps its text, and Enter adds nothing.
  combo->lineEdit()->selectAll();
  KeyClicks(combo->lineEdit(), "Mac");
  EXPECT_EQ(dialog.Count(kComboId, notify::kEditChange), 3);
  EXPECT_EQ(dialog.Count(kComboId, notify::kSelChange), 0);
  EXPECT_EQ(combo->ItemText(1), "Macro1");
  KeyClick(combo->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(combo->ItemCount(), 3);
  EXPECT_EQ(combo->EditText(), "Mac");  // never completed from the items

  // Renaming the item being typed over leaves the field and its cursor alone.
  combo->lineEdit()->setCursorPosition(1);
  combo->SetItemText(1, "Macro3");
  EXPECT_EQ(combo->ItemText(1), "Macro3");
  EXPECT_EQ(combo->EditText(), "Mac");
  EXPECT_EQ(combo->lineEdit()->cursorPosition(), 1);
  combo->RemoveItem(0);
  combo->InsertItem(0, "Other");
  EXPECT_EQ(combo->EditText(), "Mac");
  EXPECT_EQ(dialog.Count(kComboId, notify::kEditChange), 3);

  // Choosing from the list: selection change.
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  view->setCurrentIndex(view->model()->index(2, 0));
  KeyClick(view, Qt::Key_Return);
  ASSERT_TRUE(testing_support::PumpUntil([&] { return dialog.Count(kComboId, notify::kSelChange) == 1; }));
  EXPECT_EQ(combo->Selected(), 2);
  EXPECT_EQ(combo->EditText(), "Macro2");
  combo->SetEditLimit(4);
  combo->lineEdit()->selectAll();
  KeyClicks(combo->lineEdit(), "abcdefg");
  EXPECT_EQ(combo->EditText(), "abcd");
}

TEST(DialogNotifyTest, CommandsCarryTheirNotificationCodeToTheirOwnHandler) {
  ListDialog dialog;
  int clicks = 0;
  dialog.OnCommand(kListId, [&] { ++clicks; });
  SendWindowMessage(&dialog, WM_COMMAND, CommandWParam(kListId, notify::kSelChange), 0);
  SendWindowMessage(&dialog, WM_COMMAND, CommandWParam(kListId, notify::kClicked), 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(dialog.received, (std::vector<std::pair<int, int>>{{kListId, notify::kSelChange}}));
  // Unhandled codes say so.
  EXPECT_FALSE(dialog.DispatchNotify(kListId, 0x123));
  EXPECT_EQ(SendWindowMessage(&dialog, WM_COMMAND, CommandWParam(kListId, 0x123), 0), 1);

  // A plain edit field: the user's typing notifies, the program's own text does not.
  auto* edit = new QLineEdit;
  dialog.AddControl(edit, kEditId);
  ShowAndWait(&dialog);
  KeyClicks(edit, "30");
  edit->setText("255");
  EXPECT_EQ(dialog.Count(kEditId, notify::kTextChange), 2);
  // A control outside any dialog notifies nobody.
  CEditCombo loose;
  SetControlId(&loose, kComboId);
  NotifyOwner(&loose, notify::kSelChange);
  EXPECT_EQ(dialog.Count(kComboId, notify::kSelChange), 0);
}

}  // namespace
}  // namespace orvane
