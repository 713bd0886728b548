// The process-wide HID backend: the backend of this platform unless one was installed.
#include "platform/hid_backend.h"

#include <atomic>

namespace orvane {
namespace {
std::atomic<IHidBackend*> g_installed{nullptr};
}  // namespace

IHidBackend& DefaultHidBackend() {
  if (IHidBackend* b = g_installed.load()) return *b;
  static const std::unique_ptr<IHidBackend> platform = CreatePlatformHidBackend();
  return *platform;
}

IHidBackend* SetDefaultHidBackend(IHidBackend* backend) { return g_installed.exchange(backend); }

}  // namespace orvane
