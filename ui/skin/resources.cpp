#include "ui/skin/resources.h"

#include <QAction>
#include <map>
#include <mutex>

namespace orvane {

namespace {

struct Resources {
  std::mutex mutex;
  std::map<int, MenuResource> menus;
  std::map<int, QIcon> icons;
};

Resources& Store() {
  static Resources* resources = new Resources;  // lives to the end of the process
  return *resources;
}

}  // namespace

void RegisterMenuResource(int id, MenuResource menu) {
  std::lock_guard lock(Store().mutex);
  Store().menus[id] = std::move(menu);
}

void RegisterIconResource(int id, const QIcon& icon) {
  std::lock_guard lock(Store().mutex);
  Store().icons[id] = icon;
}

void ClearResources() {
  std::lock_guard lock(Store().mutex);
  Store().menus.clear();
  Store().icons.clear();
}

std::unique_ptr<QMenu> LoadMenuResource(int id, int popup_index) {
  std::vector<MenuItemResource> items;
  {
    std::lock_guard lock(Store().mutex);
    auto it = Store().menus.find(id);
    if (it == Store().menus.end() || popup_index < 0 || size_t(popup_index) >= it->second.popups.size())
      return nullptr;
    items = it->second.popups[size_t(popup_index)];
  }
  auto menu = std::make_unique<QMenu>();
  for (const MenuItemResource& item : items) {
    if (item.command == 0) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(QString::fromStdString(item.text));
    action->setData(item.command);
  }
  return menu;
}

int MenuCommand(const QAction* action) { return action == nullptr ? 0 : action->data().toInt(); }

QIcon LoadIconResource(int id) {
  std::lock_guard lock(Store().mutex);
  auto it = Store().icons.find(id);
  return it == Store().icons.end() ? QIcon() : it->second;
}

}  // namespace orvane
