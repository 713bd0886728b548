#include "ui/skin/tray_icon.h"

#include <QAction>
#include <QCursor>
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
  // When the desktop's notification area is restarted, Qt registers the icon again by itself.
  tray_->show();
  added_ = true;
  hidden_ = false;
  return added_;
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
  popup_.reset();
  if (tray_) tray_->hide();
  tray_.reset();
  added_ = false;
  return true;
}

void CTrayIcon::SendCommand(int command) {
  if (owner_ && command != 0) SendWindowMessage(owner_, WM_COMMAND, uintptr_t(command), 0);
}

intptr_t CTrayIcon::OnTrayNotification(uintptr_t icon_id, intptr_t mouse_message) {
  if (!added_ || !owner_ || int(icon_id) != icon_id_) return 0;
  if (mouse_message == WM_RBUTTONUP) {
    std::unique_ptr<QMenu> menu = LoadMenuResource(icon_id_);
    if (!menu) return 0;
    const QList<QAction*> actions = menu->actions();
    if (!actions.isEmpty()) {
      menu->setDefaultAction(actions.first());
      QFont bold = actions.first()->font();
      bold.setBold(true);
      actions.first()->setFont(bold);
    }
    if (menu_callback_) menu_callback_(menu.get());
    owner_->activateWindow();
    QObject::connect(menu.get(), &QMenu::triggered, owner_.data(), [this](QAction* action) { SendCommand(MenuCommand(action)); });
    popup_ = std::move(menu);
    popup_->popup(QCursor::pos());
    return 1;
  }
  if (mouse_message == WM_LBUTTONDBLCLK) {
    std::unique_ptr<QMenu> menu = LoadMenuResource(icon_id_);
    if (!menu) return 0;
    owner_->activateWindow();
    const QList<QAction*> actions = menu->actions();
    if (!actions.isEmpty()) SendCommand(MenuCommand(actions.first()));
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
