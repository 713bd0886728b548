#include "ui/update/update_dialog.h"

#include <QComboBox>

#include "platform/paths.h"
#include "platform/shell.h"
#include "store/profile_store.h"
#include "ui/controls/color_static.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"

namespace orvane {

namespace U = ids::update;

namespace {

std::string& TheUpdatePath() {
  static std::string path;
  return path;
}

constexpr ColorRef kPathColour = 0xFFFFFF;

}  // namespace

const std::string& UpdatePath() { return TheUpdatePath(); }
void SetUpdatePath(std::string path) { TheUpdatePath() = std::move(path); }

COrvane_DlgUpdate::COrvane_DlgUpdate(UpdateDialogServices services, QWidget* parent)
    : CBaseDialog(ids::templates::kUpdate, parent,
                  JoinPath(services.skin_folder, layout::LayoutFileName(layout::SkinDialog::Update)),
                  services.skin_folder),
      services_(std::move(services)) {
  setModal(true);
  OnCommand(U::kOpen, [this] { OnOpen(); });
  OnCommand(U::kUpdate, [this] { OnUpdate(); });
  OnCommand(U::kCancelUpdate, [this] { OnCancelUpdate(); });
  OnCommand(U::kBackup, [this] { OnBackup(); });
}

COrvane_DlgUpdate::~COrvane_DlgUpdate() = default;

bool COrvane_DlgUpdate::OnInitDialog() {
  CBaseDialog::OnInitDialog();
  // Named as the menu entry that opens it, in the language of this opening.
  setWindowTitle(QString::fromStdString(services_.texts.Text("MENU_4")));
  if (!built_) {
    built_ = true;
    auto* path = new ColorStatic(this);
    path->SetTextColor(kPathColour);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    AddControl(path, U::kPath);
    auto* spare = new QComboBox(this);
    AddControl(spare, U::kSpareCombo);
    spare->hide();
    for (int id : {U::kCancelUpdate, U::kUpdate, U::kOpen, U::kBackup}) AddControl(new CPngButton(this), id);
    AddControl(NewDialogHeading(this), U::kHeading);
    // The faces are pictograms; what they do is in their tooltips.
    const std::pair<int, const char*> tips[] = {{U::kOpen, "UPDATE_OPEN_PROMPT"},
                                                {U::kBackup, "UPDATE_BACKUP_PROMPT"},
                                                {U::kUpdate, "UPDATE_START_PROMPT"},
                                                {U::kCancelUpdate, "UPDATE_CANCEL_PROMPT"}};
    for (const auto& [id, key] : tips) ControlAs<CPngButton>(id)->SetTooltip(services_.texts.Text(key), true);
  }
  if (auto* heading = ControlAs<QLabel>(U::kHeading)) heading->setText(windowTitle());
  PlaceControls();
  return true;
}

void COrvane_DlgUpdate::PlaceControls() {
  if (!pictures_prepared_) {
    const layout::FaceFiles faces = layout::FaceFilesOf(layout::Faces::Update);
    normal_ = LoadFacePicture(faces[0]);
    over_ = LoadFacePicture(faces[1]);
    pictures_prepared_ = true;
  }
  PlaceSkinControls(layout::SkinDialog::Update, SkinPictures{&normal_, &over_, &over_, &over_, &over_});
}

void COrvane_DlgUpdate::ShowMessage(const UpdateMessage& message) {
  const std::string text = services_.texts.Text(message.key);
  services_.prompt.Notice(text == kMissingText ? std::string(message.fixed) : text);
}

void COrvane_DlgUpdate::OnOpen() {
  FileDialogRequest request;
  request.initial_folder = services_.package_folder;
  request.initial_name = "*.exe";
  request.default_extension = "exe";
  request.filter = kUpdateProgramFilter;
  const std::optional<std::string> chosen = services_.files.Choose(request);
  // Confirmed or not, the update program runs from the Package folder.
  SetCurrentDirectory(services_.package_folder);
  SetUpdatePath(chosen.value_or(std::string()));
  if (auto* path = ControlAs<ColorStatic>(U::kPath)) {
    // A long path is cut at the display's edge; the tooltip has all of it.
    path->setText(QString::fromStdString(UpdatePath()));
    path->setToolTip(path->text());
  }
  repaint();
}

void COrvane_DlgUpdate::OnUpdate() {
  // Checked before anything is sent: the keyboard must not wait in its boot loader for a program
  // that cannot run.
  if (!IsExecutableFile(UpdatePath())) {
    ShowMessage(kUpdateNoFile);
    return;
  }
  if (services_.protocol.EnterBootMode() != 1) {
    ShowMessage(kUpdateNoBootMode);  // the path stays, so the user can try again
    return;
  }
  const std::string program = UpdatePath();
  const int result = services_.start_program ? services_.start_program(program) : StartDetached(program);
  SetUpdatePath({});
  if (result > 32) {
    OnCancel();
    return;
  }
  ShowMessage(kUpdateNotStarted);
}

void COrvane_DlgUpdate::OnCancelUpdate() {
  SetUpdatePath({});
  OnCancel();
}

void COrvane_DlgUpdate::OnBackup() {
  const std::optional<std::string> chosen = services_.files.Choose(ProfileFileRequest(true));
  if (!chosen) return;
  bool saved = false;
  {
    auto lock = services_.editing.Acquire();
    saved = SaveProfileFile(services_.editing, *chosen);
  }
  ShowMessage(saved ? kUpdateBackupDone : kUpdateBackupFailed);
}

}  // namespace orvane
