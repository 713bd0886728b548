#include "ui/editors/profile_dialog.h"

#include <QKeyEvent>

#include "platform/paths.h"
#include "store/folders.h"
#include "store/profile_list.h"
#include "store/profile_store.h"
#include "ui/controls/color_static.h"
#include "ui/controls/report_list.h"
#include "ui/layout/control_ids.h"
#include "ui/layout/dialog_layout.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_placement.h"

namespace orvane {

namespace P = ids::profile;

COrvane_DlgProfile::COrvane_DlgProfile(ProfileManagerServices services, QWidget* parent)
    : CBaseDialog(ids::templates::kProfile, parent,
                  JoinPath(services.skin_folder, layout::LayoutFileName(layout::SkinDialog::Profile)),
                  services.skin_folder),
      services_(std::move(services)) {
  setModal(true);
  OnCommand(P::kAdd, [this] { OnAdd(); });
  OnCommand(P::kLoad, [this] { OnLoad(); });
  OnCommand(P::kDelete, [this] { OnDelete(); });
  OnCommand(P::kApply, [this] { OnApply(); });
  // Every check and uncheck of a row, the program's own included, enables Apply.
  OnNotify(P::kList, notify::kCheckChange, [this] { SetModified(true); });
}

COrvane_DlgProfile::~COrvane_DlgProfile() = default;

std::string COrvane_DlgProfile::Text(const char* key) const { return services_.texts.Text(key); }

std::string COrvane_DlgProfile::TextOr(const char* key, const char* fixed) const {
  const std::string text = services_.texts.Text(key);
  return text == kMissingText ? std::string(fixed) : text;
}

bool COrvane_DlgProfile::OnInitDialog() {
  CBaseDialog::OnInitDialog();
  ++open_count_;
  // Named in the language of this opening, so window lists and the window manager can tell it.
  setWindowTitle(QString::fromStdString(Text("PROFILE_MANAGER_CAPTION")));
  BuildControls();
  PlaceControls();
  FillProfileList(true);
  return true;
}

void COrvane_DlgProfile::BuildControls() {
  if (built_) {
    // Each opening starts from an empty list, as a newly made window would; the rows added last
    // time exist only in the persisted list. The captions follow the language chosen since.
    list_->Clear();
    for (int c = 0; c < 3; ++c) list_->SetColumnCaption(c, TextOr(kProfileColumnKeys[c], kProfileColumnTexts[c]));
  } else {
    built_ = true;
    for (int id : {P::kOk, P::kCancel, P::kAdd, P::kLoad, P::kDelete, P::kApply}) AddControl(new CPngButton(this), id);
    list_ = new CReportList(this);
    AddControl(list_, P::kList);
    for (int c = 0; c < 3; ++c) list_->AddColumn(TextOr(kProfileColumnKeys[c], kProfileColumnTexts[c]), kProfileColumnWidths[c]);
    list_->SetCheckBoxes(true, true);
    AddControl(NewDialogHeading(this), P::kHeading);
  }
  if (auto* heading = ControlAs<QLabel>(P::kHeading)) heading->setText(windowTitle());
  // The buttons' faces are pictograms; what they do is in their tooltips.
  const std::pair<int, const char*> tips[] = {{P::kOk, "PROFILE_OK"},         {P::kCancel, "PROFILE_CANCLE"},
                                              {P::kApply, "PROFILE_APPLY"},   {P::kAdd, "PROFILE_ADD_PROMPT"},
                                              {P::kLoad, "PROFILE_LOAD_PROMPT"}, {P::kDelete, "PROFILE_DELETE_PROMPT"}};
  for (const auto& [id, key] : tips)
    if (auto* button = ControlAs<CPngButton>(id)) button->SetTooltip(Text(key), true);
}

void COrvane_DlgProfile::PlaceControls() {
  if (!pictures_prepared_) {
    const layout::FaceFiles faces = layout::FaceFilesOf(layout::Faces::Profile);
    normal_ = LoadFacePicture(faces[0]);
    over_ = LoadFacePicture(faces[1]);
    down_ = LoadFacePicture(faces[2]);
    pictures_prepared_ = true;
  }
  // Normal, over, down; disabled = down; selected = normal.
  PlaceSkinControls(layout::SkinDialog::Profile, SkinPictures{&normal_, &over_, &down_, &down_, &normal_});
}

void COrvane_DlgProfile::SetModified(bool modified) {
  modified_ = modified;
  if (QWidget* apply = Control(P::kApply)) apply->setEnabled(modified);
}

void COrvane_DlgProfile::FillProfileList(bool initial) {
  if (list_ == nullptr) return;
  if (!initial) list_->Clear();
  for (const ProfileListRow& row : OnBoardProfileRows()) list_->AppendRow({"", row.name, row.folder});
  const int current = services_.protocol.CurrentProfile();
  if (current >= 0) list_->SetChecked(current, true);
  SetModified(false);
}

void COrvane_DlgProfile::AppendFileRow(const std::string& path) {
  const ProfileListRow row = ProfileRowOfPath(path);
  list_->AppendRow({"", row.name, row.folder});
  SetModified(true);
}

void COrvane_DlgProfile::OnAdd() {
  FileDialogRequest request = ProfileFileRequest(true);
  request.initial_name = NewProfileInitialName(Text("PROFILE_NEW"));
  const std::optional<std::string> chosen = services_.files.Choose(request);
  if (!chosen) return;
  // A file that cannot be written is listed all the same; the user sees it fail when loading it.
  (void)CreateDefaultProfile(services_.config.editing, *chosen, false);
  AppendFileRow(*chosen);
}

void COrvane_DlgProfile::OnLoad() {
  FileDialogRequest request = ProfileFileRequest(false);
  request.initial_name = JoinPath(ProfileFolder(), "*.orv");
  const std::optional<std::string> chosen = services_.files.Choose(request);
  if (!chosen) return;
  // Listed without opening or checking the file.
  AppendFileRow(*chosen);
}

void COrvane_DlgProfile::OnDelete() {
  const int row = list_->SelectedRow();
  if (row < 0) return;
  // The row after it keeps the selection, or the one before when the last row goes. No file is
  // deleted.
  list_->SelectRow(row + 1 < list_->RowCount() ? row + 1 : row - 1);
  list_->RemoveRow(row);
  SetModified(true);
}

void COrvane_DlgProfile::OnApply() {
  std::vector<ProfileListRow> rows;
  for (int r = 0; r < list_->RowCount(); ++r) rows.push_back({list_->CellText(r, 1), list_->CellText(r, 2)});
  PersistProfileList(services_.settings, rows);
  const int checked = list_->CheckedRow();
  if (checked >= 0) {
    if (IsOnBoardRow(checked)) {
      services_.protocol.SelectProfile(checked);
    } else {
      // The keyboard refuses profile numbers above 2: say so, send nothing, and let the marks show
      // the profile the keyboard keeps.
      services_.prompt.Notice(Text("PROFILE_ROW_NOT_ONBOARD"));
      const int current = services_.protocol.CurrentProfile();
      if (current >= 0) list_->SetChecked(current, true);
      else list_->SetChecked(checked, false);
    }
  }
  ReloadFromKeyboard(services_.config, services_.protocol, services_.texts, services_.link);
  if (services_.show_current_profile) services_.show_current_profile();
  RefreshProfileButton();
  SetModified(false);
  services_.link.SetApplyPending(false);
}

void COrvane_DlgProfile::OnOK() {
  OnApply();
  SetModified(false);
  if (open_count_ > 0) --open_count_;
  CBaseDialog::OnOK();  // releases the background pictures and closes with OK
}

void COrvane_DlgProfile::OnCancel() {
  SetModified(false);
  if (open_count_ > 0) --open_count_;
  ReleaseSkin();
  CBaseDialog::OnCancel();
}

int COrvane_DlgProfile::SwitchProfile(int n) {
  if (n < 0 || n >= ProfileCount()) n = 0;
  if (services_.composite_open && services_.composite_open()) {
    services_.prompt.Notice(Text("PROFILE_SEELCT_PROMPT2"));
    return 0;
  }
  const bool main_pending = services_.apply_pending ? services_.apply_pending() : false;
  if ((modified_ || main_pending) && !asking_) {
    asking_ = true;
    const bool apply = services_.prompt.AskYesNo(Text("PROFILE_SELECT_PROMPT"));
    if (apply) {
      if (services_.apply) services_.apply();
    } else {
      services_.link.SetApplyPending(false);
      // The cache file mirrors the keyboard: loading it drops the unapplied changes. When it cannot
      // be loaded the editing instance stays as it is rather than be left empty.
      if (services_.protocol.CurrentProfile() >= 0) LoadProfileFile(services_.config.editing, CacheFile(0));
    }
    asking_ = false;
    services_.protocol.SelectProfile(n);
  } else {
    services_.protocol.SelectProfile(n);
    if (isOpen() && list_ != nullptr) {
      list_->SetChecked(n, true);
      SetModified(false);
    }
  }
  ShowProfileView(n);
  RefreshProfileButton();
  return 1;
}

void COrvane_DlgProfile::ShowProfileView(int) {
  // The key matrix shows the layer of the keyboard's current profile, whatever number was asked.
  auto lock = services_.config.editing.Acquire();
  services_.link.RefreshKeyMatrix();
}

void COrvane_DlgProfile::RefreshProfileButton() {
  const int current = services_.protocol.CurrentProfile();
  std::string name = Text("DEFAULT_PROFILE_NAME");
  if (current >= 0) name = ProfileRowOfPath(CacheFile(current)).name;
  if (services_.set_profiles_button) services_.set_profiles_button(name, Text("PROFILE_TIP") + name);
}

void COrvane_DlgProfile::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    if (services_.help) services_.help();
    event->accept();
    return;
  }
  CBaseDialog::keyPressEvent(event);
}

}  // namespace orvane
