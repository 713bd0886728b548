// The guard backend of the unit-test programs.
#include "tests/support/hid_guard.h"

#include <gtest/gtest.h>

namespace orvane::testing_support {
namespace {

class GuardBackend : public IHidBackend {
 public:
  std::vector<HidNodeInfo> EnumerateNodes() override {
    ADD_FAILURE() << "The test " << kHidGuardMessage
                  << " (listing /sys/class/hidraw); give it a backend of its own.";
    return {};
  }
  std::unique_ptr<IHidNode> OpenNode(const std::string& node, bool, bool, HidOpenError* error) override {
    ADD_FAILURE() << "The test " << kHidGuardMessage << " (opening " << node
                  << "); give it a backend of its own.";
    if (error) *error = HidOpenError::NotFound;
    return nullptr;
  }
};

GuardBackend g_guard;

// Installed while the program starts, before any test runs.
[[maybe_unused]] const bool g_installed = [] {
  SetDefaultHidBackend(&g_guard);
  return true;
}();

}  // namespace

IHidBackend& HidGuard() { return g_guard; }

}  // namespace orvane::testing_support
