// CLightingPanel, the main window's lighting panel: the lighting mode, brightness, speed,
// direction, report rate and, in the per-key user mode, which keys are lit, for one on-board
// profile. It owns no controls of its own: it drives the panel's controls of the main window (by
// control ID) and its key buttons' frames, keeps the keyboard's lighting in a LightingState
// (model/lighting.h) and sends every change at once, as the model's plans, through the command
// protocol. The per-key editing switch ("DengCheck" in the settings file) shows and hides it.
//
// The main window reaches it through MainDialogHooks (BindHooks); every handler runs on the GUI
// thread.
#pragma once

#include <QObject>
#include <QPixmap>
#include <functional>
#include <map>
#include <string>

#include "model/lighting.h"

namespace orvane {

class AppSettings;
class CBaseDialog;
class CDeviceProtocol;
class LanguageFiles;
struct MainDialogHooks;

class CLightingPanel : public QObject {
  Q_OBJECT
 public:
  // refresh_key_matrix runs when per-key editing is switched off (the key buttons get their
  // assignment marks back).
  CLightingPanel(CBaseDialog& dialog, CDeviceProtocol& protocol, const LanguageFiles& languages,
                 AppSettings& settings, std::function<void()> refresh_key_matrix);
  ~CLightingPanel() override;

  // Sets the lighting hooks of the main window to this panel.
  void BindHooks(MainDialogHooks& hooks);

  // Loads the bitmaps, sets up the sliders and the handlers, and shows or hides the panel by the
  // per-key editing switch.
  void Prepare();
  // The profile the panel shows (0-2).
  void SetProfile(int profile);
  // Reads the keyboard's lighting (settings record, colour page p when it has pages, the three
  // records) and decodes record p. 0, or -1 when the settings record cannot be read.
  int Load();
  // The same without the colour page, the report rate and the paint tool; then rebuilds.
  void Reread();
  // Shows the decoded state in every control.
  void Rebuild();
  // The label texts in a language.
  void Label(int language);
  // The default lighting of the shown profile.
  void Reset();
  // Paints one key in the per-key user mode with the paint tool.
  void PaintKey(int button);
  // Per-key editing is switched on: key clicks belong to the panel.
  bool Editing() const { return editing_; }
  // WM_SLIDER_MOVING from one of the two sliders.
  void OnSliderMoving(uintptr_t slider, intptr_t position);

  // State, for tests.
  const LightingState& state() const { return state_; }
  // The mode code the mode combo box has selected, or -1.
  int SelectedMode() const;
  // The bitmap file a picture control or slider shows ("" when none).
  std::string PictureOf(int control_id) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RegisterHandlers();
  int Run(const LightingPlan& plan);
  void ReadEditingSwitch();
  int LanguageIndex() const;

  void OnModeSelected(int position);
  void OnUserModeSelected(int position);
  void OnDirection(uint8_t direction);
  void OnReportRate(int rate);
  void OnPaintTool(int tool);
  void OnAllKeys(bool lit);
  void OnEditingSwitch();

  // The mode change's steps without the write: move the direction controls, their pictures.
  void PlaceDirection(int mode);
  void ShowDirectionPictures(int mode);
  void ShowControlsForMode(int mode);
  void HidePanel();
  void ShowSliders();
  void ShowToolPictures();
  void ShowReportRate();
  void FillModes();
  void SelectModeCode(int code);
  void ClearKeyFrames();
  void ShowMask();
  void FrameAllKeys(bool lit);

  void SetPicture(int control_id, const std::string& file);
  const QPixmap& Bitmap(const std::string& file) const;
  template <class T>
  T* ControlAs(int id) const;

  CBaseDialog& dialog_;
  CDeviceProtocol& protocol_;
  const LanguageFiles& languages_;
  AppSettings& settings_;
  std::function<void()> refresh_key_matrix_;
  LightingState state_;
  bool editing_ = false;
  std::map<std::string, QPixmap> bitmaps_;   // every bitmap, loaded once
  std::map<int, std::string> shown_;          // control ID -> bitmap it shows
};

}  // namespace orvane
