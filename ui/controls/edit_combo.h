// CEditCombo, the editable drop-down list: a list of items with an edit field above it, as the
// macro list uses it (the field names the selected item). The user's choice of another item
// notifies the dialog with notify::kSelChange, the user's typing in the field with
// notify::kEditChange (NotifyOwner); changes the program makes itself notify nothing. Typing never
// adds an item and is never completed from the items.
#pragma once

#include <QComboBox>
#include <string>

namespace orvane {

class CEditCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit CEditCombo(QWidget* parent = nullptr);

  int ItemCount() const { return count(); }
  // Appends, inserts (position clamped) and removes items; the edit field keeps its text.
  int AddItem(const std::string& text);
  int InsertItem(int position, const std::string& text);
  bool RemoveItem(int position);
  void ClearItems();
  std::string ItemText(int position) const;
  // Renames an item without touching the edit field, so the user's typing there goes on undisturbed.
  void SetItemText(int position, const std::string& text);

  // The selected item, or -1; selecting puts the item's text in the edit field.
  int Selected() const { return currentIndex(); }
  void Select(int position);

  std::string EditText() const;
  void SetEditText(const std::string& text);
  // The edit field takes at most this many characters.
  void SetEditLimit(int characters);

 private:
  // Runs a change of the items while keeping the edit field's text and cursor as they were.
  template <class Change>
  void KeepingEditField(Change change);
};

}  // namespace orvane
