#include "ui/controls/report_list.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "ui/skin/window_message.h"

namespace orvane {

namespace {

QString ToQ(const std::string& text) { return QString::fromStdString(text); }

// The drop-down editor: reports when its list closes, whichever way it closed.
class CellDropDown : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> closed;
  void hidePopup() override {
    QComboBox::hidePopup();
    if (closed) closed();
  }
  // Opens the list for a press on the cell. The list is not over the cell, so the release of that
  // press reaches the list's frame, which closes on it: that release is left to nobody.
  void OpenForPress() {
    showPopup();
    frame_ = view()->window();
    if (frame_ != this) frame_->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == frame_ && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
      frame_->removeEventFilter(this);
      frame_ = nullptr;
      return event->type() == QEvent::MouseButtonRelease;
    }
    return QComboBox::eventFilter(watched, event);
  }

 private:
  QWidget* frame_ = nullptr;
};

}  // namespace

// The rows behind the view. Appending is a push_back with one insert notice; the view asks for the
// texts only of the rows it paints.
class ReportListModel : public QAbstractTableModel {
 public:
  struct Row {
    std::vector<std::string> cells;
    bool checked = false;
    std::any data;
  };

  explicit ReportListModel(CReportList* list) : list_(list) {}

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : int(captions_.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!Valid(index)) return {};
    const Row& row = rows_[size_t(index.row())];
    const size_t column = size_t(index.column());
    switch (role) {
      case Qt::DisplayRole:
        return column < row.cells.size() ? ToQ(row.cells[column]) : QString();
      case Qt::CheckStateRole:
        if (check_boxes_ && column == 0) return row.checked ? Qt::Checked : Qt::Unchecked;
        return {};
      case Qt::ForegroundRole:
        if (column < grey_.size() && grey_[column]) return list_->palette().color(QPalette::Disabled, QPalette::Text);
        return {};
      default:
        return {};
    }
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!Valid(index) || role != Qt::CheckStateRole || !check_boxes_ || index.column() != 0) return false;
    list_->SetChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!Valid(index)) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (check_boxes_ && index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= int(captions_.size())) return {};
    if (role == Qt::DisplayRole) return ToQ(captions_[size_t(section)]);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
  }

  int AddColumn(const std::string& caption) {
    const int column = int(captions_.size());
    beginInsertColumns({}, column, column);
    captions_.push_back(caption);
    grey_.push_back(false);
    endInsertColumns();
    return column;
  }
  void SetCaption(int column, const std::string& caption) {
    if (column < 0 || column >= int(captions_.size())) return;
    captions_[size_t(column)] = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
  }
  void SetGrey(int column, bool grey) {
    if (column < 0 || column >= int(grey_.size())) return;
    grey_[size_t(column)] = grey;
    ColumnChanged(column);
  }
  void SetCheckBoxes(bool on) {
    check_boxes_ = on;
    ColumnChanged(0);
  }
  bool checkBoxes() const { return check_boxes_; }

  int Insert(int position, std::vector<std::string> cells, std::any data) {
    position = std::clamp(position, 0, int(rows_.size()));
    cells.resize(captions_.size());
    beginInsertRows({}, position, position);
    rows_.insert(rows_.begin() + position, Row{std::move(cells), false, std::move(data)});
    endInsertRows();
    return position;
  }
  bool Remove(int row) {
    if (row < 0 || row >= int(rows_.size())) return false;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    return true;
  }
  void Clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    endResetModel();
  }
  bool Move(int from, int to) {
    if (from < 0 || from >= int(rows_.size())) return false;
    to = std::clamp(to, 0, int(rows_.size()) - 1);
    if (to == from) return true;
    // Qt counts the destination before the move: one further when moving down.
    if (!beginMoveRows({}, from, from, {}, to > from ? to + 1 : to)) return false;
    Row moving = std::move(rows_[size_t(from)]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(moving));
    endMoveRows();
    return true;
  }

  Row* At(int row) { return row >= 0 && row < int(rows_.size()) ? &rows_[size_t(row)] : nullptr; }
  const Row* At(int row) const { return row >= 0 && row < int(rows_.size()) ? &rows_[size_t(row)] : nullptr; }
  std::vector<Row>& rows() { return rows_; }
  void CellChanged(int row, int column) {
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
  }
  void ColumnChanged(int column) {
    if (rows_.empty() || column < 0 || column >= int(captions_.size())) return;
    emit dataChanged(index(0, column), index(int(rows_.size()) - 1, column));
  }

 private:
  bool Valid(const QModelIndex& index) const {
    return index.isValid() && index.row() < int(rows_.size()) && index.column() < int(captions_.size());
  }

  CReportList* list_;
  std::vector<std::string> captions_;
  std::vector<bool> grey_;
  std::vector<Row> rows_;
  bool check_boxes_ = false;
};

CReportList::CReportList(QWidget* parent) : QTableView(parent), model_(std::make_unique<ReportListModel>(this)) {
  setModel(model_.get());
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Cells are edited only by this list's own editors, which open on a click in the selected row.
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setCornerButtonEnabled(false);
  QHeaderView* header = horizontalHeader();
  header->setSectionsClickable(false);
  header->setHighlightSections(false);
  header->setSortIndicatorShown(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setStretchLastSection(false);
  QHeaderView* rows = verticalHeader();
  rows->hide();
  // Fixed row heights: the view never measures rows, so a long list costs nothing per row.
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 6);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    const int now = SelectedRow();
    if (now == last_selected_) return;
    last_selected_ = now;
    NotifyOwner(this, notify::kSelChange);
  });
}

CReportList::~CReportList() {
  // The editors call back into the list while they close; they go first.
  CancelEdit();
  setModel(nullptr);
}

int CReportList::AddColumn(const std::string& caption, int width) {
  const int column = model_->AddColumn(caption);
  editors_.push_back(Editor::None);
  drop_sources_.emplace_back();
  drop_rows_.push_back(0);
  for (ReportListModel::Row& row : model_->rows()) row.cells.resize(size_t(column) + 1);
  setColumnWidth(column, width);
  return column;
}

int CReportList::ColumnCount() const { return model_->columnCount(); }
void CReportList::SetColumnCaption(int column, const std::string& caption) { model_->SetCaption(column, caption); }
void CReportList::SetGreyColumn(int column, bool grey) { model_->SetGrey(column, grey); }

void CReportList::SetCheckBoxes(bool on, bool exclusive) {
  model_->SetCheckBoxes(on);
  exclusive_ = on && exclusive;
}

bool CReportList::hasCheckBoxes() const { return model_->checkBoxes(); }

void CReportList::SetChecked(int row, bool checked) {
  ReportListModel::Row* target = model_->At(row);
  if (target == nullptr || !model_->checkBoxes()) return;
  bool changed = false;
  if (checked && exclusive_) {
    std::vector<ReportListModel::Row>& rows = model_->rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (int(i) != row && rows[i].checked) {
        rows[i].checked = false;
        model_->CellChanged(int(i), 0);
        changed = true;
      }
  }
  if (target->checked != checked) {
    target->checked = checked;
    model_->CellChanged(row, 0);
    changed = true;
  }
  if (changed) CheckChanged();
}

bool CReportList::IsChecked(int row) const {
  const ReportListModel::Row* r = model_->At(row);
  return r != nullptr && model_->checkBoxes() && r->checked;
}

int CReportList::CheckedRow() const {
  if (!model_->checkBoxes()) return -1;
  const std::vector<ReportListModel::Row>& rows = model_->rows();
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].checked) return int(i);
  return -1;
}

void CReportList::CheckChanged() { NotifyOwner(this, notify::kCheckChange); }

int CReportList::AppendRow(std::vector<std::string> texts, std::any data) {
  return model_->Insert(model_->rowCount(), std::move(texts), std::move(data));
}

int CReportList::InsertRow(int position, std::vector<std::string> texts, std::any data) {
  if (edit_row_ >= 0 && position <= edit_row_) CancelEdit();
  return model_->Insert(position, std::move(texts), std::move(data));
}

bool CReportList::RemoveRow(int row) {
  if (row < 0 || row >= RowCount()) return false;
  if (edit_row_ >= 0) CancelEdit();
  const bool was_checked = IsChecked(row);
  // A removed selected row leaves no selection; the view would otherwise select its neighbour.
  if (SelectedRow() == row || currentIndex().row() == row) selectionModel()->clear();
  model_->Remove(row);
  if (was_checked) CheckChanged();
  return true;
}

void CReportList::Clear() {
  CancelEdit();
  const bool had_check = CheckedRow() >= 0;
  model_->Clear();
  if (had_check) CheckChanged();
  if (last_selected_ != -1) {
    last_selected_ = -1;
    NotifyOwner(this, notify::kSelChange);
  }
}

bool CReportList::MoveRow(int from, int to) {
  if (from < 0 || from >= RowCount()) return false;
  CancelEdit();
  const int target = std::clamp(to, 0, RowCount() - 1);
  const bool was_selected = SelectedRow() == from;
  if (!model_->Move(from, target)) return false;
  if (was_selected) SelectRow(target);
  return true;
}

int CReportList::RowCount() const { return model_->rowCount(); }

std::string CReportList::CellText(int row, int column) const {
  const ReportListModel::Row* r = model_->At(row);
  if (r == nullptr || column < 0 || column >= int(r->cells.size())) return {};
  return r->cells[size_t(column)];
}

void CReportList::SetCellText(int row, int column, const std::string& text) {
  ReportListModel::Row* r = model_->At(row);
  if (r == nullptr || column < 0 || column >= int(r->cells.size())) return;
  r->cells[size_t(column)] = text;
  model_->CellChanged(row, column);
}

std::any* CReportList::RowAny(int row) {
  ReportListModel::Row* r = model_->At(row);
  return r == nullptr ? nullptr : &r->data;
}

void CReportList::SetRowData(int row, std::any data) {
  if (std::any* slot = RowAny(row)) *slot = std::move(data);
}

int CReportList::SelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void CReportList::SelectRow(int row) {
  if (row < 0 || row >= RowCount()) {
    selectionModel()->clearSelection();
    return;
  }
  const QModelIndex index = model_->index(row, 0);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  EnsureVisible(row);
}

void CReportList::EnsureVisible(int row) {
  if (row >= 0 && row < RowCount()) scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
}

void CReportList::SetColumnEditor(int column, Editor editor) {
  if (column >= 0 && column < int(editors_.size())) editors_[size_t(column)] = editor;
}

void CReportList::SetDropDown(int column, DropDownSource source, int visible_rows) {
  if (column < 0 || column >= int(editors_.size())) return;
  editors_[size_t(column)] = Editor::DropDown;
  drop_sources_[size_t(column)] = std::move(source);
  drop_rows_[size_t(column)] = std::max(1, visible_rows);
}

bool CReportList::BeginEdit(int row, int column) {
  if (row < 0 || row >= RowCount() || column < 0 || column >= int(editors_.size())) return false;
  const Editor editor = editors_[size_t(column)];
  if (editor == Editor::None) return false;
  if (editor == Editor::DropDown && !drop_sources_[size_t(column)]) return false;
  CancelEdit();
  if (edit_starting_) edit_starting_(row, column);
  // The callback may have changed the list.
  if (row >= RowCount()) return false;
  EnsureVisible(row);
  if (editor == Editor::DropDown)
    OpenDropDown(row, column);
  else
    OpenEditField(row, column, editor == Editor::DigitsEdit);
  return true;
}

QWidget* CReportList::ActiveEditor() const {
  if (edit_field_ != nullptr) return edit_field_;
  return drop_down_;
}

void CReportList::OpenEditField(int row, int column, bool digits_only) {
  edit_row_ = row;
  edit_column_ = column;
  edit_field_ = new QLineEdit(viewport());
  edit_field_->setFrame(false);
  edit_field_->setFont(font());
  if (digits_only)
    edit_field_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit_field_));
  edit_field_->setText(ToQ(CellText(row, column)));
  edit_field_->selectAll();
  edit_field_->setGeometry(visualRect(model_->index(row, column)));
  edit_field_->installEventFilter(this);
  connect(edit_field_, &QLineEdit::returnPressed, this, [this] { FinishEditField(true); });
  edit_field_->show();
  edit_field_->setFocus(Qt::MouseFocusReason);
}

void CReportList::OpenDropDown(int row, int column) {
  const DropDownItems entries = drop_sources_[size_t(column)](row);
  edit_row_ = row;
  edit_column_ = column;
  auto* combo = new CellDropDown(viewport());
  drop_down_ = combo;
  combo->setFont(font());
  // A scrolling list of the asked number of rows: the style's own popup shows every entry at once
  // (111 keys from the top of the screen to the bottom) and ignores the row count.
  combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
  combo->setMaxVisibleItems(drop_rows_[size_t(column)]);
  for (const std::string& item : entries.items) combo->addItem(ToQ(item));
  drop_initial_ = entries.selected >= 0 && entries.selected < combo->count() ? entries.selected : -1;
  combo->setCurrentIndex(drop_initial_);
  combo->setGeometry(visualRect(model_->index(row, column)));
  // The list closes before the combo box takes the entry chosen in it: finish once it has.
  combo->closed = [this, combo] {
    QMetaObject::invokeMethod(
        this, [this, combo] { if (drop_down_ == combo) FinishDropDown(); }, Qt::QueuedConnection);
  };
  combo->show();
  combo->setFocus(Qt::MouseFocusReason);
  combo->OpenForPress();
}

void CReportList::FinishEditField(bool report) {
  if (edit_field_ == nullptr || finishing_) return;
  finishing_ = true;
  const int row = edit_row_;
  const int column = edit_column_;
  const std::string text = edit_field_->text().toStdString();
  CloseEditor();
  finishing_ = false;
  if (report && text_edited_) text_edited_(row, column, text);
}

void CReportList::FinishDropDown() {
  if (drop_down_ == nullptr || finishing_) return;
  finishing_ = true;
  const int row = edit_row_;
  const int column = edit_column_;
  const int chosen = drop_down_->currentIndex();
  const bool changed = chosen >= 0 && chosen != drop_initial_;
  CloseEditor();
  finishing_ = false;
  if (changed && item_chosen_) item_chosen_(row, column, chosen);
}

void CReportList::CloseEditor() {
  QWidget* editor = ActiveEditor();
  if (auto* combo = dynamic_cast<CellDropDown*>(drop_down_)) combo->closed = nullptr;
  edit_field_ = nullptr;
  drop_down_ = nullptr;
  edit_row_ = -1;
  edit_column_ = -1;
  drop_initial_ = -1;
  if (editor != nullptr) {
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    setFocus(Qt::OtherFocusReason);
  }
}

void CReportList::CommitEdit() {
  if (edit_field_ != nullptr) FinishEditField(true);
}

void CReportList::CancelEdit() {
  if (finishing_) return;
  if (drop_down_ != nullptr) {
    auto* combo = static_cast<CellDropDown*>(drop_down_);
    combo->closed = nullptr;
    combo->hidePopup();
  }
  CloseEditor();
}

void CReportList::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const bool in_selected_row = event->button() == Qt::LeftButton && index.isValid() && index.row() == SelectedRow();
  QTableView::mousePressEvent(event);
  if (in_selected_row) BeginEdit(index.row(), index.column());
}

void CReportList::scrollContentsBy(int dx, int dy) {
  // The editor sits on its cell; a scroll ends the edit rather than leave it over another row.
  if (edit_field_ != nullptr) FinishEditField(true);
  else if (drop_down_ != nullptr) CancelEdit();
  QTableView::scrollContentsBy(dx, dy);
}

bool CReportList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_field_ && edit_field_ != nullptr) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Escape) {
        FinishEditField(false);
        return true;
      }
      if (key == Qt::Key_Enter) {
        FinishEditField(true);
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      FinishEditField(true);
    }
  }
  return QTableView::eventFilter(watched, event);
}

}  // namespace orvane
