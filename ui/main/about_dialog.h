// The About dialog (template 100, "Skins\About.ini"): modeless, one at a time, with the program
// icon, a description and a copyright label (colour labels in black on the skin's light sheet),
// the logo link as a hyperlink and OK. It labels itself from the language its WM_MAIN_LANGUAGE
// message carries; OK, Cancel and Escape destroy it, after which it can be opened again; F1 asks
// the main window for the help page.
//
// AboutDialogSlot is where the main window keeps it: a request while a dialog exists does nothing,
// and the window destroys it on keyboard loss and at shutdown.
#pragma once

#include <QIcon>
#include <QPointer>
#include <functional>
#include <string>

#include "ui/skin/base_dialog.h"

namespace orvane {

class LanguageFiles;

class CAboutDlg : public CBaseDialog {
  Q_OBJECT
 public:
  // ini_path: the layout file; skin_folder: the folder of its pictures (and Theme.ini);
  // logo_link: the address the link shows and opens; icon: the program icon.
  CAboutDlg(QWidget* parent, std::string ini_path, std::string skin_folder, const LanguageFiles& languages,
            std::string logo_link, QIcon icon);

  // F1: opens the help page (the main window's help command).
  void SetHelpHandler(std::function<void()> handler) { help_ = std::move(handler); }

  // Builds and places the controls, shows the dialog and labels it in the current language.
  bool OnInitDialog() override;
  // Both destroy the dialog.
  void OnOK() override;
  void OnCancel() override;
  // Hides the dialog at once and deletes it when control returns to the event loop.
  void Destroy();
  bool destroying() const { return destroying_; }

  // Relabels from section TEXT of the language with this index (4 or more count as 0).
  void Relabel(int language_index);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const LanguageFiles& languages_;
  std::string logo_link_;
  QIcon icon_;
  std::function<void()> help_;
  bool built_ = false;
  bool destroying_ = false;
};

class AboutDialogSlot {
 public:
  using Factory = std::function<CAboutDlg*()>;

  // Makes, initialises and shows a dialog unless one exists; true when it opened a new one.
  bool Open(const Factory& make);
  // The dialog while it exists (not once it is being destroyed), else null.
  CAboutDlg* dialog() const;
  // Destroys the dialog if there is one.
  void Destroy();

 private:
  QPointer<CAboutDlg> dialog_;
};

}  // namespace orvane
