// The guard every test program starts with: reaching the default HID backend without a backend of
// one's own fails the test, and no real node is ever listed or opened.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/hid_backend.h"
#include "tests/support/hid_guard.h"

namespace orvane {
namespace {

TEST(HidGuard, ATestThatReachesTheRealBackendFails) {
  ASSERT_EQ(&DefaultHidBackend(), &testing_support::HidGuard());
  std::vector<HidNodeInfo> nodes{HidNodeInfo{}};
  EXPECT_NONFATAL_FAILURE(nodes = DefaultHidBackend().EnumerateNodes(), testing_support::kHidGuardMessage);
  EXPECT_TRUE(nodes.empty());
  HidOpenError error = HidOpenError::None;
  std::unique_ptr<IHidNode> node;
  EXPECT_NONFATAL_FAILURE(node = DefaultHidBackend().OpenNode("/dev/hidraw0", true, true, &error),
                          "/dev/hidraw0");
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(error, HidOpenError::NotFound);
}

TEST(HidGuard, ABackendOfTheTestsOwnReplacesItAndGivesItBack) {
  class Empty : public IHidBackend {
   public:
    std::vector<HidNodeInfo> EnumerateNodes() override { return {}; }
    std::unique_ptr<IHidNode> OpenNode(const std::string&, bool, bool, HidOpenError*) override { return nullptr; }
  } own;
  IHidBackend* const before = SetDefaultHidBackend(&own);
  EXPECT_EQ(before, &testing_support::HidGuard());
  EXPECT_TRUE(DefaultHidBackend().EnumerateNodes().empty());  // no failure: the test's own backend
  EXPECT_EQ(SetDefaultHidBackend(before), &own);
  EXPECT_EQ(&DefaultHidBackend(), &testing_support::HidGuard());
}

}  // namespace
}  // namespace orvane
