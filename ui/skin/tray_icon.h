// The program's icon in the desktop's notification area: a popup menu on a right click (first
// item shown as the default, captions supplied by a callback each time it opens), the first
// item's command on a click or a double click. The menu is handed to the desktop, which draws it
// where it draws its own menus (status-item hosts show nothing else); a chosen item's command is
// posted to the owner, so the menu has finished with its signal before anything (Exit) can remove
// the icon and its menu. Notifications reach the icon through hooks on its owner window
// (CSubclassWnd), which several objects can share: the chain is newest first, and a hook lets
// every message go on to the next one. Hooks come off by themselves when their window is
// destroyed.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/skin/window_message.h"

class QMenu;
class QSystemTrayIcon;

namespace orvane {

class CSubclassWnd : public QObject {
  Q_OBJECT
 public:
  CSubclassWnd();
  ~CSubclassWnd() override;

  // Attaches to the window as the newest hook of its chain; null detaches.
  void HookWindow(QObject* window);
  QObject* window() const { return window_; }
  // The hook that sees the window's messages after this one (older), or null.
  CSubclassWnd* next() const;
  // The newest hook on a window, or null.
  static CSubclassWnd* NewestHook(const QObject* window);
  // How many windows have hooks now.
  static size_t HookedWindowCount();

 protected:
  // Sees every event of the hooked window before the window does. True consumes the event; the
  // default passes everything on.
  virtual bool WindowProc(QObject* window, QEvent* event);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Unlink();
  QObject* window_ = nullptr;
  QMetaObject::Connection destroyed_connection_;
};

class CTrayIcon {
 public:
  using MenuCallback = std::function<void(QMenu* popup)>;

  // Longest tip the icon shows, in UTF-16 units.
  static constexpr int kMaxTipLength = 127;

  CTrayIcon();
  virtual ~CTrayIcon();
  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;

  // Adds the icon for the owner, whose menu resource is icon_id. Fails when there is no owner.
  bool Create(QWidget* owner, uint32_t callback_message, const std::string& tip, const QIcon& icon, int icon_id);
  // Shows the icon resource; nothing is done when it is the one already shown.
  bool SetIcon(int icon_resource_id);
  bool SetTip(const std::string& tip);
  void SetMenuCallback(MenuCallback callback) { menu_callback_ = std::move(callback); }
  bool Remove();

  // A notification of the icon (its ID, and the mouse message: right button up, left button up,
  // left double click, ...). 0 for another icon or a menu that cannot be loaded, else 1. A click
  // and a double click both send the first item's command; the double click that completes a
  // click already answered sends nothing more.
  virtual intptr_t OnTrayNotification(uintptr_t icon_id, intptr_t mouse_message);
  // True when the desktop has a notification area to show the icon in.
  static bool Available();

  bool added() const { return added_; }
  bool hidden() const { return hidden_; }
  int iconId() const { return icon_id_; }
  int currentIconResource() const { return current_icon_; }
  uint32_t callbackMessage() const { return callback_message_; }
  QString tip() const { return tip_; }
  QWidget* owner() const { return owner_; }
  // The icon's menu, as the desktop shows it (null before Create, after Remove, or when the menu
  // resource is missing).
  QMenu* popup() const { return popup_.get(); }
  QSystemTrayIcon* systemTrayIcon() const { return tray_.get(); }

  // Cuts a tip to what the icon can show.
  static QString FitTip(const std::string& tip);

 private:
  class CTrayHook : public CSubclassWnd {
   public:
    explicit CTrayHook(CTrayIcon* icon) : icon_(icon) {}

   protected:
    bool WindowProc(QObject* window, QEvent* event) override;

   private:
    CTrayIcon* icon_;
  };

  void SendCommand(int command);
  // Marks the first item as the default and lets the callback relabel the items.
  void PrepareMenu();
  void SendFirstCommand();

  bool added_ = false;
  bool hidden_ = false;
  QPointer<QWidget> owner_;
  uint32_t callback_message_ = 0;
  int icon_id_ = 0;
  int current_icon_ = 0;
  QString tip_;
  MenuCallback menu_callback_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<QMenu> popup_;
  qint64 last_click_ms_ = -1;  // when a click last sent the first command
  CTrayHook owner_hook_{this};
  CTrayHook top_hook_{this};
};

}  // namespace orvane
