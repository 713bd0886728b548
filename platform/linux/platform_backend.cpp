// The platform's HID backend on Linux: hidraw.
#include "platform/hid_backend.h"
#include "platform/linux/hidraw_backend.h"
#include "platform/paths.h"

namespace orvane {

std::unique_ptr<IHidBackend> CreatePlatformHidBackend(const std::string& root) {
  if (root.empty()) return HidrawBackend::FromEnvironment();
  return std::make_unique<HidrawBackend>(JoinPath(root, "sys"), JoinPath(root, "dev"));
}

}  // namespace orvane
