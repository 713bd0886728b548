// The program's icon and menu resources, by resource number: registered once at start-up (the
// main window registers its tray menu and icons), loaded wherever a number names one.
#pragma once

#include <QIcon>
#include <QMenu>
#include <memory>
#include <string>
#include <vector>

namespace orvane {

struct MenuItemResource {
  int command = 0;          // 0 for a separator
  std::string text;         // the caption until someone relabels it
};

// A menu resource is a bar of popups; each popup is a list of items.
struct MenuResource {
  std::vector<std::vector<MenuItemResource>> popups;
};

void RegisterMenuResource(int id, MenuResource menu);
void RegisterIconResource(int id, const QIcon& icon);
void ClearResources();

// A new menu whose actions carry their command numbers (QAction::data), or null when no menu of
// that number is registered.
std::unique_ptr<QMenu> LoadMenuResource(int id, int popup_index = 0);
// The command number of a menu action (0 for none).
int MenuCommand(const QAction* action);
// The icon, or a null icon when none is registered.
QIcon LoadIconResource(int id);

}  // namespace orvane
