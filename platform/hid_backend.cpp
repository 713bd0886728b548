// The process-wide HID backend: the hidraw backend of this platform unless one was installed.
#include "platform/hid_backend.h"

#include <atomic>

#include "platform/linux/hidraw_backend.h"

namespace orvane {
namespace {
std::atomic<IHidBackend*> g_installed{nullptr};
}  // namespace

IHidBackend& DefaultHidBackend() {
  if (IHidBackend* b = g_installed.load()) return *b;
  static const std::unique_ptr<HidrawBackend> platform = HidrawBackend::FromEnvironment();
  return *platform;
}

void SetDefaultHidBackend(IHidBackend* backend) { g_installed.store(backend); }

}  // namespace orvane
