// CReportList, the report-style list of the editors: rows of text cells under a header that does
// not sort, grid lines, one selected row at a time (the whole row), text columns that can be drawn
// grey, an optional check box per row (exclusive when asked: checking a row unchecks every other),
// and in-place editors that open at once when the user clicks a cell of the row that is already
// selected: an edit field (optionally digits only) or a drop-down list. Every row can carry a value
// of its owner (the row's action, the row's file), which travels with the row when it moves.
//
// Notifications to the dialog (NotifyOwner): notify::kSelChange when the selected row changes,
// notify::kCheckChange when a row's check box changes, whoever changed it. Cell edits report to
// the owner's callbacks, which decide what the cell then shows.
//
// Appending a row costs the same at 2,000 rows as at 2: the row goes into the model with one
// insert notice and the view paints only what is visible, when it next paints.
#pragma once

#include <QTableView>
#include <any>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

namespace orvane {

class ReportListModel;

class CReportList : public QTableView {
  Q_OBJECT
 public:
  // How a column's cells are edited in place.
  enum class Editor {
    None,
    Edit,        // an edit field with the cell's text
    DigitsEdit,  // an edit field that takes digits only
    DropDown,    // a drop-down list that opens at once
  };
  // A drop-down editor's entries and the entry selected when it opens (-1 for none).
  struct DropDownItems {
    std::vector<std::string> items;
    int selected = -1;
  };
  using DropDownSource = std::function<DropDownItems(int row)>;
  // The user ended an edit field's edit (Enter, or the field lost the focus): the row, the column
  // and the text typed. The cell keeps its old text until the owner sets another.
  using TextEdited = std::function<void(int row, int column, const std::string& text)>;
  // The user closed a drop-down editor on another entry than the one it opened with.
  using ItemChosen = std::function<void(int row, int column, int index)>;
  // An in-place editor is about to open on the cell.
  using EditStarting = std::function<void(int row, int column)>;

  explicit CReportList(QWidget* parent = nullptr);
  ~CReportList() override;

  // Columns: appended in order, with the header caption and the width in pixels.
  int AddColumn(const std::string& caption, int width);
  int ColumnCount() const;
  void SetColumnCaption(int column, const std::string& caption);
  // The column's text is drawn in the system's grey-text colour.
  void SetGreyColumn(int column, bool grey);

  // Check boxes: every row gets one in column 0; exclusive mode keeps at most one row checked.
  void SetCheckBoxes(bool on, bool exclusive);
  bool hasCheckBoxes() const;
  // Sets the row's check box (notifies when it changes). Out of range: nothing happens.
  void SetChecked(int row, bool checked);
  bool IsChecked(int row) const;
  // The first checked row, or -1.
  int CheckedRow() const;

  // Rows. The texts are the cells from column 0; missing cells are empty, extra ones dropped.
  // Returns the new row's position.
  int AppendRow(std::vector<std::string> texts, std::any data = {});
  // Inserts at the position (clamped to 0..RowCount()); the rows from there move down one.
  int InsertRow(int position, std::vector<std::string> texts, std::any data = {});
  // False when the row does not exist.
  bool RemoveRow(int row);
  void Clear();
  // Moves a row to another position (clamped); its data and check box go with it. False when the
  // row does not exist.
  bool MoveRow(int from, int to);
  int RowCount() const;

  std::string CellText(int row, int column) const;
  void SetCellText(int row, int column, const std::string& text);
  // The owner's value of the row, or nullptr when the row does not exist or holds another type.
  template <class T>
  T* RowData(int row) {
    std::any* data = RowAny(row);
    return data == nullptr ? nullptr : std::any_cast<T>(data);
  }
  template <class T>
  const T* RowData(int row) const {
    const std::any* data = const_cast<CReportList*>(this)->RowAny(row);
    return data == nullptr ? nullptr : std::any_cast<T>(data);
  }
  void SetRowData(int row, std::any data);

  // Selection: the selected row or -1. SelectRow(-1) clears it; a selected row is scrolled into view.
  int SelectedRow() const;
  void SelectRow(int row);
  void EnsureVisible(int row);

  // In-place editors per column. A drop-down takes its entries from the source each time it opens
  // and shows that many rows at most (visible_rows).
  void SetColumnEditor(int column, Editor editor);
  void SetDropDown(int column, DropDownSource source, int visible_rows);
  void OnTextEdited(TextEdited callback) { text_edited_ = std::move(callback); }
  void OnItemChosen(ItemChosen callback) { item_chosen_ = std::move(callback); }
  void OnEditStarting(EditStarting callback) { edit_starting_ = std::move(callback); }

  // Opens the column's editor on the cell, as a click in the selected row does; false when the
  // column has no editor or the cell does not exist.
  bool BeginEdit(int row, int column);
  // The open editor (an edit field or a drop-down list), or nullptr.
  QWidget* ActiveEditor() const;
  // Ends the open edit field's edit as Enter does; the drop-down ends when its list closes.
  void CommitEdit();
  // Closes the open editor without reporting anything.
  void CancelEdit();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class ReportListModel;
  std::any* RowAny(int row);
  void CheckChanged();
  void OpenEditField(int row, int column, bool digits_only);
  void OpenDropDown(int row, int column);
  void FinishEditField(bool report);
  void FinishDropDown();
  void CloseEditor();

  std::unique_ptr<ReportListModel> model_;
  std::vector<Editor> editors_;
  std::vector<DropDownSource> drop_sources_;
  std::vector<int> drop_rows_;
  TextEdited text_edited_;
  ItemChosen item_chosen_;
  EditStarting edit_starting_;

  QLineEdit* edit_field_ = nullptr;
  QComboBox* drop_down_ = nullptr;
  int edit_row_ = -1;
  int edit_column_ = -1;
  int drop_initial_ = -1;
  int last_selected_ = -1;
  bool finishing_ = false;
  bool exclusive_ = false;
};

}  // namespace orvane
