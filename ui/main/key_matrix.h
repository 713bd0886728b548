// The keyboard picture of the main window: the 104 key buttons, G1 to G9, Fn, the flip keys D1
// to D6 with the flip buttons and their arrows, and the lock indicators. It shows, for the
// keyboard's current profile, which keys carry an assignment (the selected face) and what each
// does (its tooltip), switches between the F1-F4 and the D1-D6 key block ("Flip"), and sends a
// click on a key to the lighting panel while keys are being painted, or to the key's assignment
// otherwise.
//
// It holds no data of its own: every refresh reads the editing instance's layer of the current
// profile, and the flip setting is read afresh whenever it is needed. The rules (which entry a
// button edits, the tooltip text, the Flip reading) live in the core (model/key_matrix.h,
// store/settings.h). GUI thread only; callers hold the editing lock while the instance can
// change (the refresh takes it itself, recursively).
#pragma once

#include <QPixmap>
#include <map>

#include "model/profile_config.h"
#include "ui/skin/skin_layout.h"

namespace orvane {

class COrvaneDlg;
class CPngButton;

class CKeyMatrix {
 public:
  // Binds the clicks of every button of the picture to the dispatch; the buttons themselves are
  // the dialog's template controls.
  explicit CKeyMatrix(COrvaneDlg& dialog);

  // After the dialog has placed its controls: the template states (G6-G9, FLIP_0, the arrows and
  // the lock indicators disabled), the overlapping buttons' drawing order, the flip arrows.
  void PlaceKeyButtons();

  // Marks and tooltips of all G keys and keys from the current profile's layer, then ApplyFlip.
  void RefreshKeyMatrix();
  // The refresh without ApplyFlip (after an editor has changed an entry).
  void RefreshEntries();
  // One button: selected exactly when the entry is not the default, and its tooltip.
  void RefreshKey(int button, uint16_t code, const KeyAction& entry);
  void RefreshGKey(int button, int g_index, const KeyAction& entry);  // g_index 0 to 8
  // F1-F4 or D1-D6 from the Flip setting (the block not in use is disabled and hidden, so the
  // one in use is all that shows at their shared place), FLIP_0's faces, the arrows.
  void ApplyFlip();
  // FLIP_1 and FLIP_2: the setting toggled ("1" after 0, "0" after anything else), then ApplyFlip.
  void ToggleFlip();

  // The click of a button of the picture (the command of its control ID).
  void OnKeyClick(int button);
  // Opening a key's assignment: the composite dialog's hook when there is one; without it the
  // key is only highlighted (until another key is opened).
  void OpenComposite(int button);
  // The highlight of a key while its assignment is open: the over picture as its normal, over
  // and selected faces. Off gives the button its own pictures back.
  void Highlight(int button, bool on);
  // Every highlighted key back to its normal pictures.
  void ClearHighlights();

  int highlighted() const { return highlighted_; }

 private:
  CPngButton* Button(int id) const;
  // The arrow of a flip button, placed for the flip state (its picture offset in BUTTONINFO2).
  void PlaceArrow(bool left);
  void SetBlockShown(bool d_keys);
  // The current profile's layer, or -1 when the keyboard cannot say.
  int CurrentLayer() const;

  COrvaneDlg& dialog_;
  std::map<int, SkinPictures> own_pictures_;  // highlighted buttons' pictures
  int highlighted_ = 0;
};

}  // namespace orvane
