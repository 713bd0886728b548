// The keyboard picture of the main window.
#include "ui/main/key_matrix.h"

#include <vector>

#include "model/key_matrix.h"
#include "ui/layout/dialog_layout.h"
#include "ui/main/orvane_dlg.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_placement.h"

namespace orvane {

namespace {

namespace m = ids::main;

constexpr int kGKeyG5 = 5;
// G1 to G4 paint their light; G5 does nothing in either mode; G6 to G9 are never enabled.
constexpr int kLastPaintableGKey = 4;
constexpr int kFirstDisabledGKey = 6;

}  // namespace

CKeyMatrix::CKeyMatrix(COrvaneDlg& dialog) : dialog_(dialog) {
  for (const KeyButton& k : KeyButtons()) dialog_.OnCommand(k.controlId, [this, id = k.controlId] { OnKeyClick(id); });
  for (int id : GKeyButtons()) dialog_.OnCommand(id, [this, id] { OnKeyClick(id); });
  for (int id : m::kFlipKeys) dialog_.OnCommand(id, [this, id] { OnKeyClick(id); });
  for (int id : {m::kFn, m::kCapsLock, m::kNumLock, m::kScrollLock, m::kAbLock})
    dialog_.OnCommand(id, [this, id] { OnKeyClick(id); });
  dialog_.OnCommand(m::kFlip1, [this] { ToggleFlip(); });
  dialog_.OnCommand(m::kFlip2, [this] { ToggleFlip(); });
}

CPngButton* CKeyMatrix::Button(int id) const { return dialog_.ControlAs<CPngButton>(id); }

void CKeyMatrix::PlaceKeyButtons() {
  // The template states; placement only ever disables.
  for (int n = kFirstDisabledGKey; n <= kGKeyCount; ++n)
    if (CPngButton* b = Button(GKeyButtons()[size_t(n - 1)])) b->setEnabled(false);
  for (int id : {m::kFlip0, m::kLeftArrow, m::kRightArrow, m::kCapsLock, m::kNumLock, m::kScrollLock, m::kAbLock})
    if (CPngButton* b = Button(id)) b->setEnabled(false);
  for (int id : m::kFlipKeys)
    if (CPngButton* b = Button(id)) b->setEnabled(false);

  // Where buttons overlap, the later one draws over the earlier: the G keys over the "AB"
  // indicator, "]}" over Enter, and F5, the flip buttons and their arrows over FLIP_0 (the flip
  // block in use is raised by ApplyFlip).
  for (int id : GKeyButtons())
    if (CPngButton* b = Button(id)) b->raise();
  if (CPngButton* b = Button(ButtonOfKeyCode(kKeyCodeRightBracket))) b->raise();
  for (int id : {ButtonOfKeyCode(kKeyCodeF5), m::kFlip1, m::kFlip2, m::kLeftArrow, m::kRightArrow})
    if (CPngButton* b = Button(id)) b->raise();

  // Whenever a flip button shows its normal face, its arrow is placed for the flip state.
  if (CPngButton* b = Button(m::kFlip1))
    b->SetPaintCallback([this](CPngButton*, bool shows_normal) {
      if (shows_normal) PlaceArrow(true);
    });
  if (CPngButton* b = Button(m::kFlip2))
    b->SetPaintCallback([this](CPngButton*, bool shows_normal) {
      if (shows_normal) PlaceArrow(false);
    });
  ApplyFlip();
}

int CKeyMatrix::CurrentLayer() const {
  const int layer = dialog_.services().protocol.CurrentProfile();
  return layer >= 0 && layer < kLayerCount ? layer : -1;
}

void CKeyMatrix::RefreshKeyMatrix() {
  RefreshEntries();
  ApplyFlip();
}

void CKeyMatrix::RefreshEntries() {
  const int layer = CurrentLayer();
  if (layer < 0) return;  // no profile to show: the picture stays as it is
  ProfileInstance& editing = dialog_.services().config.editing;
  auto lock = editing.Acquire();
  const ProfileConfig& config = editing.Config();
  if (!config.image) return;
  for (int j = 0; j < kGKeyCount; ++j)
    if (const KeyAction* e = config.image->EntryAt(layer, kGKeySetA + j)) RefreshGKey(GKeyButtons()[size_t(j)], j, *e);
  for (const KeyButton& k : KeyButtons())
    if (const KeyAction* e = config.image->EntryAt(layer, KeyIndexOf(k.code))) RefreshKey(k.controlId, k.code, *e);
}

void CKeyMatrix::RefreshKey(int button, uint16_t code, const KeyAction& entry) {
  CPngButton* b = Button(button);
  if (b == nullptr) return;
  const ITextSource& texts = dialog_.services().texts;
  ProfileInstance& editing = dialog_.services().config.editing;
  auto lock = editing.Acquire();
  b->SetSelected(entry.type != kActionDefault, true);
  b->SetTooltip(KeyTooltipText(texts, KeyDisplayName(texts, code, kKeyTooltipCapacity), entry,
                               editing.Config().macros),
                true);
}

void CKeyMatrix::RefreshGKey(int button, int g_index, const KeyAction& entry) {
  CPngButton* b = Button(button);
  if (b == nullptr) return;
  ProfileInstance& editing = dialog_.services().config.editing;
  auto lock = editing.Acquire();
  b->SetSelected(entry.type != kActionDefault, true);
  b->SetTooltip(KeyTooltipText(dialog_.services().texts, GKeyBaseText(g_index + 1), entry, editing.Config().macros),
                true);
}

void CKeyMatrix::SetBlockShown(bool d_keys) {
  std::vector<int> f_keys;
  for (uint16_t code : kFlipBlockKeyCodes) f_keys.push_back(ButtonOfKeyCode(code));
  const std::vector<int> flip_keys(m::kFlipKeys.begin(), m::kFlipKeys.end());
  // The block going out of use first, so the other one is never drawn under it.
  for (int id : d_keys ? f_keys : flip_keys)
    if (CPngButton* b = Button(id)) {
      b->setEnabled(false);
      b->setVisible(false);
    }
  for (int id : d_keys ? flip_keys : f_keys)
    if (CPngButton* b = Button(id)) {
      b->setEnabled(true);
      b->setVisible(true);
      b->raise();
    }
  // F5, the flip buttons and the arrows draw after the block.
  for (int id : {ButtonOfKeyCode(kKeyCodeF5), m::kFlip1, m::kFlip2, m::kLeftArrow, m::kRightArrow})
    if (CPngButton* b = Button(id)) b->raise();
}

void CKeyMatrix::ApplyFlip() {
  const bool d_keys = dialog_.services().settings.FlipOn();
  SetBlockShown(d_keys);
  if (CPngButton* flip0 = Button(m::kFlip0)) {
    const SkinPictures p = flip0->pictures();
    flip0->SetImages(SkinPictures{p.normal, p.normal, p.normal, p.normal, p.selected});
  }
  PlaceArrow(true);
  PlaceArrow(false);
}

void CKeyMatrix::ToggleFlip() {
  dialog_.services().settings.ToggleFlip();
  ApplyFlip();
}

void CKeyMatrix::PlaceArrow(bool left) {
  CPngButton* arrow = Button(left ? m::kLeftArrow : m::kRightArrow);
  if (arrow == nullptr) return;
  const bool d_keys = dialog_.services().settings.FlipOn();
  // kArrowPictureKeys: the left arrow's "UP" (flip 1) and "DOWN" (flip 0) places, then the right's.
  const std::string picture_key(layout::kArrowPictureKeys[(left ? 0 : 2) + (d_keys ? 0 : 1)]);
  const SkinRect want = ReadSkinRect(dialog_.iniPath(), std::string(layout::kSectionPictures), picture_key);
  // Placed again only when the place changes, so a repaint never starts another one.
  if (arrow->offsetX() == want.x && arrow->offsetY() == want.y) return;
  PlaceSkinButtonFrom(arrow, dialog_.iniPath(), std::string(layout::kSectionButtons),
                      left ? "LEFT_ARROW" : "RIGHT_ARROW", std::string(layout::kSectionPictures), picture_key,
                      arrow->pictures().normal);
}

void CKeyMatrix::OnKeyClick(int button) {
  const MainDialogHooks& hooks = dialog_.hooks();
  const int g = GKeyOfButton(button);
  if (g == kGKeyG5) return;
  if (hooks.painting_mode && hooks.painting_mode()) {
    // The flip keys have no light of their own: a click on one while painting changes nothing.
    const bool paints = button == m::kFn || (g >= 1 && g <= kLastPaintableGKey) || KeyCodeOfButton(button) != 0;
    if (paints && hooks.paint_key) hooks.paint_key(button);
    return;
  }
  // Fn, G1 to G4, D1 to D6 and the lock indicators have nothing to open.
  if (KeyCodeOfButton(button) != 0) OpenComposite(button);
}

void CKeyMatrix::OpenComposite(int button) {
  if (MatrixEntryOfButton(button) < 0) return;
  const MainDialogHooks& hooks = dialog_.hooks();
  if (hooks.open_composite) {
    hooks.open_composite(button);
    return;
  }
  // No key dialog to run: the key stays highlighted as the one being looked at.
  if (highlighted_ != 0 && highlighted_ != button) Highlight(highlighted_, false);
  Highlight(button, true);
  highlighted_ = button;
}

void CKeyMatrix::Highlight(int button, bool on) {
  CPngButton* b = Button(button);
  if (b == nullptr) return;
  auto it = own_pictures_.find(button);
  if (on) {
    if (it == own_pictures_.end()) it = own_pictures_.emplace(button, b->pictures()).first;
    const SkinPictures& own = it->second;
    b->SetImages(SkinPictures{own.over, own.over, own.down, own.normal, own.over});
  } else if (it != own_pictures_.end()) {
    b->SetImages(it->second);
    own_pictures_.erase(it);
    if (highlighted_ == button) highlighted_ = 0;
  }
  b->update();
}

void CKeyMatrix::ClearHighlights() {
  while (!own_pictures_.empty()) Highlight(own_pictures_.begin()->first, false);
  highlighted_ = 0;
}

}  // namespace orvane
