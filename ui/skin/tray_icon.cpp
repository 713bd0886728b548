#include "ui/skin/tray_icon.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <algorithm>
#include <map>
#include <vector>

#include "ui/skin/resources.h"

namespace orvane {

// ---- CSubclassWnd ---------------------------------------------------------------------------

namespace {

// Window -> its hooks, newest first. GUI thread only.
std::map<const QObject*, std::vector<CSubclassWnd*>>& HookMap() {
  static auto* map = new std::map<const QObject*, std::vector<CSubclassWnd*>>;
  return *map;
}

}  // namespace

CSubclassWnd::CSubclassWnd() = default;

CSubclassWnd::~CSubclassWnd() { HookWindow(nullptr); }

void CSubclassWnd::HookWindow(QObject* window) {
  if (window_ != nullptr) {
    window_->removeEventFilter(this);
    Unlink();
  }
  if (window == nullptr) return;
  window_ = window;
  // Qt asks the most recently installed filter first, which makes this hook the newest.
  window->installEventFilter(this);
  auto& chain = HookMap()[window];
  chain.insert(chain.begin(), this);
  destroyed_connection_ = connect(window, &QObject::destroyed, this, [this] {
    // The window is going: Qt drops its filters, we drop our record of it.
    Unlink();
  });
}

void CSubclassWnd::Unlink() {
  if (window_ == nullptr) return;
  disconnect(destroyed_connection_);
  auto it = HookMap().find(window_);
  if (it != HookMap().end()) {
    auto& chain = it->second;
    chain.erase(std::remove(chain.begin(), chain.end(), this), chain.end());
    if (chain.empty()) HookMap().erase(it);
  }
  window_ = nullptr;
}

CSubclassWnd* CSubclassWnd::next() const {
  if (window_ == nullptr) return nullptr;
  auto it = HookMap().find(window_);
  if (it == HookMap().end()) return nullptr;
  const auto& chain = it->second;
  auto self = std::find(chain.begin(), chain.end(), this);
  if (self == chain.end() || self + 1 == chain.end()) return nullptr;
  return *(self + 1);
}

CSubclassWnd* CSubclassWnd::NewestHook(const QObject* window) {
  auto it = HookMap().find(window);
  return it == HookMap().end() || it->second.empty() ? nullptr : it->second.front();
}

size_t CSubclassWnd::HookedWindowCount() { return HookMap().size(); }

bool CSubclassWnd::WindowProc(QObject*, QEvent*) { return false; }

bool CSubclassWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_) return WindowProc(watched, event);
  return false;
}

// ---- CTrayIcon ------------------------------------------------------------------------------

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon() {
  Remove();
  owner_hook_.HookWindow(nullptr);
  top_hook_.HookWindow(nullptr);
}

QString CTrayIcon::FitTip(const std::string& tip) {
  QString text = QString::fromStdString(tip);
  if (text.size() > kMaxTipLength) {
    int cut = kMaxTipLength;
    if (text.at(cut - 1).isHighSurrogate()) --cut;  // never half a character
    text.truncate(cut);
  }
  return text;
}

bool CTrayIcon::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool CTrayIcon::Create(QWidget* owner, uint32_t callback_message, const std::string& tip, const QIcon& icon,
                       int icon_id) {
  if (owner == nullptr) return false;
  owner_ = owner;
  callback_message_ = callback_message;
  icon_id_ = icon_id;
  tip_ = FitTip(tip);

  owner_hook_.HookWindow(owner);
  QWidget* top = owner->window();
  if (top != nullptr && top != owner) top_hook_.HookWindow(top);

  tray_ = std::make_unique<QSystemTrayIcon>(icon);
  tray_->setToolTip(tip_);
  // The desktop's notifications arrive at the owner as the callback message, as the hooks expect.
  QObject::connect(tray_.get(), &QSystemTrayIcon::activated, owner, [this](QSystemTrayIcon::ActivationReason reason) {
    intptr_t mouse = 0;
    switch (reason) {
      case QSystemTrayIcon::Context: mouse = WM_RBUTTONUP; break;
      case QSystemTrayIcon::DoubleClick: mouse = WM_LBUTTONDBLCLK; break;
      case QSystemTrayIcon::Trigger: mouse = WM_LBUTTONUP; break;
      default: return;
    }
    SendWindowMessage(owner_, callback_message_, uintptr_t(icon_id_), mouse);
  });

  // One menu for the icon's life, handed to the desktop, filled from the resource and relabelled
  // every time it opens.
  popup_ = std::make_unique<QMenu>();
  QObject::connect(popup_.get(), &QMenu::aboutToShow, owner, [this] { PrepareMenu(); });
  QObject::connect(popup_.get(), &QMenu::triggered, owner, [this](QAction* action) {
    // Posted: the menu is still inside its own signal here, and the command may remove it.
    if (owner_ && MenuCommand(action) != 0)
      PostWindowMessage(owner_, WM_COMMAND, uintptr_t(MenuCommand(action)), 0);
  });
  PrepareMenu();
  tray_->setContextMenu(popup_.get());
  // When the desktop's notification area is restarted, Qt registers the icon again by itself.
  tray_->show();
  added_ = true;
  hidden_ = false;
  return added_;
}

void CTrayIcon::PrepareMenu() {
  if (!popup_) return;
  popup_->clear();
  std::unique_ptr<QMenu> loaded = LoadMenuResource(icon_id_);
  if (!loaded) return;
  // The actions move over from the loaded menu, which can then go.
  const QList<QAction*> actions = loaded->actions();
  for (QAction* action : actions) {
    action->setParent(popup_.get());
    popup_->addAction(action);
  }
  if (!actions.isEmpty()) {
    popup_->setDefaultAction(actions.first());
    QFont bold = actions.first()->font();
    bold.setBold(true);
    actions.first()->setFont(bold);
  }
  if (menu_callback_) menu_callback_(popup_.get());
}

bool CTrayIcon::SetIcon(int icon_resource_id) {
  if (!added_ || !tray_) return false;
  if (icon_resource_id == current_icon_) return true;
  tray_->setIcon(LoadIconResource(icon_resource_id));
  current_icon_ = icon_resource_id;
  return true;
}

bool CTrayIcon::SetTip(const std::string& tip) {
  if (!added_ || !tray_) return false;
  tip_ = FitTip(tip);
  tray_->setToolTip(tip_);
  return true;
}

bool CTrayIcon::Remove() {
  if (!added_) return false;
  added_ = false;
  // Remove may run from a handler that one of these objects is still calling: they go once
  // control is back in the event loop.
  if (tray_) {
    tray_->hide();
    tray_->setContextMenu(nullptr);
    tray_.release()->deleteLater();
  }
  if (popup_) {
    popup_->hide();
    popup_.release()->deleteLater();
  }
  return true;
}

void CTrayIcon::SendCommand(int command) {
  if (owner_ && command != 0) SendWindowMessage(owner_, WM_COMMAND, uintptr_t(command), 0);
}

void CTrayIcon::SendFirstCommand() {
  std::unique_ptr<QMenu> menu = LoadMenuResource(icon_id_);
  if (!menu) return;
  owner_->activateWindow();
  const QList<QAction*> actions = menu->actions();
  if (!actions.isEmpty()) SendCommand(MenuCommand(actions.first()));
}

intptr_t CTrayIcon::OnTrayNotification(uintptr_t icon_id, intptr_t mouse_message) {
  if (!added_ || !owner_ || int(icon_id) != icon_id_) return 0;
  if (mouse_message == WM_RBUTTONUP) {
    // The desktop opens the menu itself (its items are prepared as it opens).
    return popup_ && LoadMenuResource(icon_id_) ? 1 : 0;
  }
  if (mouse_message == WM_LBUTTONUP || mouse_message == WM_LBUTTONDBLCLK) {
    if (!LoadMenuResource(icon_id_)) return 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (mouse_message == WM_LBUTTONDBLCLK && last_click_ms_ >= 0 &&
        now - last_click_ms_ <= qint64(QApplication::doubleClickInterval())) {
      last_click_ms_ = -1;  // the click of this double click has already opened
      return 1;
    }
    last_click_ms_ = mouse_message == WM_LBUTTONUP ? now : -1;
    SendFirstCommand();
    return 1;
  }
  return 1;
}

bool CTrayIcon::CTrayHook::WindowProc(QObject* window, QEvent* event) {
  if (event->type() == WindowMessageEvent::EventType()) {
    auto* message = static_cast<WindowMessageEvent*>(event);
    if (message->message() == icon_->callback_message_ && window == icon_->owner_.data())
      message->setResult(icon_->OnTrayNotification(message->wparam(), message->lparam()));
  }
  return false;  // every message goes on to the next hook and the window
}

}  // namespace orvane
