#include "ui/main/qt_main_window_link.h"

#include "ui/skin/window_message.h"

namespace orvane {

// Queued work runs as events of the window, so none of it outlives the window.
QtMainWindowLink::QtMainWindowLink(QObject* window, IMainWindowHost& host)
    : window_(window), host_(host), caller_(window) {}

QtMainWindowLink::~QtMainWindowLink() { BeginShutdown(); }

void QtMainWindowLink::BeginShutdown() { caller_.Release(); }

void QtMainWindowLink::Post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  QObject* window = window_.data();
  caller_.Post([window, message, wparam, lparam] { SendWindowMessage(window, message, wparam, lparam); },
               GuiTiming::Deferred);
}

intptr_t QtMainWindowLink::Send(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (caller_.released()) return 0;
  QObject* window = window_.data();
  if (caller_.OnGuiThread()) return SendWindowMessage(window, message, wparam, lparam);
  return caller_
      .Call([window, message, wparam, lparam] { return SendWindowMessage(window, message, wparam, lparam); },
            GuiTiming::Deferred)
      .value_or(0);
}

void QtMainWindowLink::OnGui(std::function<void()> fn) {
  if (caller_.OnGuiThread()) {
    fn();
    return;
  }
  caller_.Post(std::move(fn));
}

void QtMainWindowLink::SetTimer(int id, uint32_t interval_ms) {
  IMainWindowHost* host = &host_;
  OnGui([host, id, interval_ms] { host->SetTimer(id, interval_ms); });
}

void QtMainWindowLink::SetTrayState(int icon) {
  IMainWindowHost* host = &host_;
  OnGui([host, icon] { host->SetTrayState(icon); });
}

void QtMainWindowLink::Hide() {
  IMainWindowHost* host = &host_;
  OnGui([host] { host->Hide(); });
}

void QtMainWindowLink::SetApplyPending(bool pending) {
  IMainWindowHost* host = &host_;
  OnGui([host, pending] { host->SetApplyPending(pending); });
}

bool QtMainWindowLink::IsApplyPending() const {
  IMainWindowHost* host = &host_;
  if (caller_.OnGuiThread()) return host->IsApplyPending();
  return caller_.Call([host] { return intptr_t(host->IsApplyPending() ? 1 : 0); }).value_or(0) != 0;
}

void QtMainWindowLink::RefreshKeyMatrix() {
  IMainWindowHost* host = &host_;
  OnGui([host] { host->RefreshKeyMatrix(); });
}

}  // namespace orvane
