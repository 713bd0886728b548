// The base of every window of the program: a frameless dialog painted 1:1 from its background
// picture and shaped by its outline picture (both named in the layout file's "SCREEN" section),
// dragged by its body. Controls are found by their control ID, and commands (button clicks, menu
// commands, WM_COMMAND messages) and window messages are dispatched through tables, so derived
// dialogs read like a message map: OnCommand(IDOK, ...), OnMessage(WM_MAIN_SHOW, ...).
#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ui/layout/dialog_layout.h"
#include "ui/skin/ini_file.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/window_message.h"

namespace orvane {

class CBaseDialog : public QDialog {
  Q_OBJECT
 public:
  using CommandHandler = std::function<void()>;
  using MessageHandler = std::function<intptr_t(uintptr_t wparam, intptr_t lparam)>;

  // The layout file's full path and the folder holding it (the skin folder, where the pictures are).
  CBaseDialog(int template_id, QWidget* parent, std::string ini_path, std::string skin_folder);
  ~CBaseDialog() override;

  int templateId() const { return template_id_; }
  const std::string& iniPath() const { return ini_path_; }
  const std::string& skinFolder() const { return skin_folder_; }
  const CIniFile& ini() const { return ini_; }

  // Runs the initialisation (skin and controls) and the modal loop; returns the result
  // (QDialog::Accepted for OK, Rejected for Cancel).
  int DoModal();
  // Initialises and shows the dialog without a modal loop (modeless dialogs).
  void CreateModeless();
  // Framework initialisation then LoadSkin; derived dialogs call this first from their override.
  virtual bool OnInitDialog();
  // Releases both pictures, then closes with OK (the next opening loads them again).
  virtual void OnOK();
  virtual void OnCancel();

  // Loads background and outline, sizes and shapes the window. A picture that cannot be loaded
  // ends the process.
  void LoadSkin();
  // Drops both pictures (OK, and the main window's shutdown).
  void ReleaseSkin();
  bool loading() const { return loading_; }
  const QPixmap& background() const { return background_; }
  const QImage& outline() const { return outline_; }

  // One state picture of the image buttons, from this dialog's skin folder, prepared for the
  // client area of the loaded background (RenderSkinImage). A picture that cannot be loaded ends
  // the process.
  QPixmap LoadFacePicture(std::string_view name) const;

  // The pictures an image button of a face set gets; nullopt leaves the button where it is (the
  // dialog places it itself).
  using FacePictureSets = std::function<std::optional<SkinPictures>(layout::Faces faces)>;
  // A layout entry with another placement than Button or Control, and the control it names.
  using OtherPlacement = std::function<void(const layout::SkinControl& entry, QWidget* control)>;
  // Places the controls of the dialog's layout that this dialog has, in the layout's order: image
  // buttons with the pictures of their face set, plain controls at their rectangle, and the other
  // entries through `other` (ignored without one). An entry without a control ID names its control
  // by object name (the layout key).
  void PlaceSkinControls(layout::SkinDialog dialog, const FacePictureSets& pictures,
                         const OtherPlacement& other = {});
  // The same with one picture set for every image button.
  void PlaceSkinControls(layout::SkinDialog dialog, const SkinPictures& pictures);

  // Control IDs. AddControl gives the control its ID and this dialog as parent; a button's click
  // becomes the command of its ID, and the user's edits of a plain edit field its
  // notify::kTextChange. Other controls send their notifications themselves (NotifyOwner).
  void AddControl(QWidget* control, int id);
  QWidget* Control(int id) const;
  template <class T>
  T* ControlAs(int id) const {
    return dynamic_cast<T*>(Control(id));
  }

  // Command table: a handler per control or menu command ID.
  void OnCommand(int id, CommandHandler handler);
  // Runs the handler of the ID; IDOK and IDCANCEL without a handler run OnOK and OnCancel.
  // False when nothing handles the command.
  bool DispatchCommand(int id);
  // A handler for one notification of a control (notify::kSelChange, kEditChange, ...). Code
  // notify::kClicked is the plain command of OnCommand.
  void OnNotify(int id, int code, CommandHandler handler);
  // Runs the handler of the control's notification; false when nothing handles it.
  bool DispatchNotify(int id, int code);

  // Message table: a handler per window message number; the handler's result is the message's.
  void OnMessage(uint32_t message, MessageHandler handler);

  // Closing through QDialog (Escape, accept(), reject()) goes through OnOK and OnCancel.
  void accept() override;
  void reject() override;

 protected:
  // Messages that no table entry handles; the default returns 0.
  virtual intptr_t WindowMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);

  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPixmap LoadPicture(const std::string& name) const;

  QPixmap background_;
  QImage outline_;
  bool loading_ = false;
  int template_id_;
  std::string ini_path_;
  std::string skin_folder_;
  CIniFile ini_;
  std::map<int, CommandHandler> commands_;
  std::map<std::pair<int, int>, CommandHandler> notifications_;
  std::map<uint32_t, MessageHandler> messages_;
  bool dragging_ = false;
  QPoint drag_offset_;
};

}  // namespace orvane
