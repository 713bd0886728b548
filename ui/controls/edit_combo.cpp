#include "ui/controls/edit_combo.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

#include "ui/skin/window_message.h"

namespace orvane {

CEditCombo::CEditCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  setDuplicatesEnabled(true);
  // activated and textEdited come from the user only.
  connect(this, &QComboBox::activated, this, [this] { NotifyOwner(this, notify::kSelChange); });
  connect(lineEdit(), &QLineEdit::textEdited, this, [this] { NotifyOwner(this, notify::kEditChange); });
}

template <class Change>
void CEditCombo::KeepingEditField(Change change) {
  QLineEdit* edit = lineEdit();
  const QString text = edit->text();
  const int cursor = edit->cursorPosition();
  {
    const QSignalBlocker block_edit(edit);
    change();
  }
  if (edit->text() != text) {
    const QSignalBlocker block_edit(edit);
    edit->setText(text);
    edit->setCursorPosition(cursor);
  }
}

int CEditCombo::AddItem(const std::string& text) { return InsertItem(count(), text); }

int CEditCombo::InsertItem(int position, const std::string& text) {
  position = std::clamp(position, 0, count());
  KeepingEditField([&] { insertItem(position, QString::fromStdString(text)); });
  return position;
}

bool CEditCombo::RemoveItem(int position) {
  if (position < 0 || position >= count()) return false;
  KeepingEditField([&] { removeItem(position); });
  return true;
}

void CEditCombo::ClearItems() {
  KeepingEditField([&] { clear(); });
}

std::string CEditCombo::ItemText(int position) const {
  if (position < 0 || position >= count()) return {};
  return itemText(position).toStdString();
}

void CEditCombo::SetItemText(int position, const std::string& text) {
  if (position < 0 || position >= count()) return;
  KeepingEditField([&] { setItemText(position, QString::fromStdString(text)); });
}

void CEditCombo::Select(int position) {
  if (position < -1 || position >= count()) return;
  setCurrentIndex(position);
  if (position >= 0) lineEdit()->setText(itemText(position));
}

std::string CEditCombo::EditText() const { return lineEdit()->text().toStdString(); }

void CEditCombo::SetEditText(const std::string& text) { lineEdit()->setText(QString::fromStdString(text)); }

void CEditCombo::SetEditLimit(int characters) { lineEdit()->setMaxLength(std::max(1, characters)); }

}  // namespace orvane
