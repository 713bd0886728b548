// The composite key dialog as the main window uses it: made once for the run with the main
// window as its parent, and bound to the window's hooks - a click on a key button or a G key opens
// it (the macro button 1007 opens the macro editor, G9's dialog), keyboard loss and shutdown close
// it, a language change relabels it. The clicked button shows its over picture while the dialog
// is open.
#pragma once

#include <memory>

#include "ui/editors/composite_dialog.h"

namespace orvane {

class COrvaneDlg;

// The dialog, bound to the window's hooks; it must go before the window does.
std::unique_ptr<Orvane_DlgComposite> BindCompositeDialog(COrvaneDlg& window, MacroPanelFactory macro_panel = {});

}  // namespace orvane
