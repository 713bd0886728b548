#include "device/hid_device.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/hid_descriptor.h"
#include "platform/linux/hidraw_backend.h"
#include "tests/platform/hid_fake_backend.h"
#include "tests/platform/hid_fake_tree.h"

namespace orvane {
namespace {

using test::FakeHidBackend;
namespace d = test::descriptors;
using Clock = std::chrono::steady_clock;

constexpr const char* kVendorPath = "/dev/hidraw1#vid_0c45&pid_7650&col02";
constexpr const char* kConsumerPath = "/dev/hidraw1#vid_0c45&pid_7650&col01";

// Consumer collection with two button capabilities on one page and report ID 2: a 16-bit array
// of usages 0x100..0x3FF (index 0 = nothing) and a Mute bit (0xE2) after it.
const std::vector<uint8_t> kConsumerWithMute = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02,
    0x15, 0x01, 0x26, 0x00, 0x03, 0x1A, 0x00, 0x01, 0x2A, 0xFF, 0x03,
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,
    0x09, 0xE2, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02,
    0x75, 0x07, 0x81, 0x01, 0xC0};

class HidDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keyboard_ = backend_.AddNode("/dev/hidraw0", 0x0C45, 0x7650, d::kBootKeyboard, 0x0105);
    node_ = backend_.AddNode("/dev/hidraw1", 0x0C45, 0x7650, d::Concat({d::kConsumer, d::kVendor}), 0x0105);
  }
  static std::vector<uint8_t> VendorReport(uint8_t tag) {
    std::vector<uint8_t> r(64, tag);
    r[0] = 4;
    return r;
  }

  FakeHidBackend backend_;
  std::shared_ptr<test::FakeNodeShared> keyboard_, node_;
  CHidDevice dev_{&backend_};
};

TEST(HidDeviceEnumerate, ManyInterfacesKeepEveryPathInOrder) {
  for (int count : {8, 9, 17, 33, 70}) {
    FakeHidBackend backend;
    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i) {
      const std::string node = "/dev/hidraw" + std::to_string(i);
      if (i % 5 == 0) {  // some nodes carry two collections
        backend.AddNode(node, 0x0C45, 0x7650, d::Concat({d::kConsumer, d::kVendor}));
        expected.push_back(node + "#vid_0c45&pid_7650&col01");
        expected.push_back(node + "#vid_0c45&pid_7650&col02");
      } else {
        backend.AddNode(node, 0x046D, static_cast<uint16_t>(i), d::kMouse);
        char id[16];
        std::snprintf(id, sizeof id, "%04x", i);
        expected.push_back(node + "#vid_046d&pid_" + id + "&col01");
      }
    }
    backend.AddNode("/dev/hidraw999", 1, 1, {0xA1});  // unparsable: never listed, no empty slot
    CHidDevice dev(&backend);
    ASSERT_TRUE(dev.Enumerate());
    EXPECT_EQ(dev.PathCount(), expected.size());
    std::vector<std::string> got;
    while (auto p = dev.NextPath()) got.push_back(*p);
    EXPECT_EQ(got, expected) << count;
    EXPECT_FALSE(dev.NextPath().has_value());
    // A new enumeration starts over; freeing leaves nothing.
    ASSERT_TRUE(dev.Enumerate());
    EXPECT_EQ(dev.NextPath(), expected.front());
    dev.FreePaths();
    EXPECT_EQ(dev.PathCount(), 0u);
    EXPECT_FALSE(dev.NextPath().has_value());
  }
}

TEST_F(HidDeviceTest, OpenLearnsCapsAttributesAndInputList) {
  ASSERT_TRUE(dev_.Open(kVendorPath, true, true, true, false));
  EXPECT_TRUE(dev_.IsOpen());
  EXPECT_EQ(dev_.DevicePath(), kVendorPath);
  EXPECT_EQ(dev_.Caps().usage_page, 0xFF1C);
  EXPECT_EQ(dev_.Caps().usage, 0x92);
  EXPECT_EQ(dev_.Caps().input_report_byte_length, 64);
  EXPECT_EQ(dev_.Caps().output_report_byte_length, 64);
  EXPECT_EQ(dev_.Caps().number_input_value_caps, 1);
  EXPECT_EQ(dev_.Attributes().vendor_id, 0x0C45);
  EXPECT_EQ(dev_.Attributes().product_id, 0x7650);
  EXPECT_EQ(dev_.Attributes().version, 0x0105);
  ASSERT_EQ(dev_.InputData().size(), 1u);
  EXPECT_FALSE(dev_.InputData()[0].is_button);
  EXPECT_EQ(dev_.InputData()[0].report_id, 4);

  // Opening another collection closes the first.
  ASSERT_TRUE(dev_.Open("/dev/hidraw0#vid_0c45&pid_7650&col01", true, false, true, false));
  EXPECT_EQ(dev_.Caps().input_report_byte_length, 9);
  ASSERT_EQ(dev_.InputData().size(), 2u);
  EXPECT_TRUE(dev_.InputData()[0].is_button);
  EXPECT_EQ(dev_.InputData()[1].max_usage_length, 14u);
  EXPECT_EQ(dev_.InputData()[1].usages.size(), 14u);

  EXPECT_EQ(dev_.Close(), 1);
  EXPECT_EQ(dev_.Close(), 0);  // nothing open
  EXPECT_FALSE(dev_.IsOpen());
  EXPECT_TRUE(dev_.InputData().empty());
}

TEST_F(HidDeviceTest, OpenFailuresSayWhy) {
  EXPECT_FALSE(dev_.Open("/dev/hidraw7#vid_0c45&pid_7650&col01", true, true, true, false));
  EXPECT_EQ(dev_.LastOpenError(), HidOpenError::NotFound);
  backend_.SetAccessible("/dev/hidraw1", false);
  EXPECT_FALSE(dev_.Open(kVendorPath, true, true, true, false));
  EXPECT_EQ(dev_.LastOpenError(), HidOpenError::NoPermission);
  EXPECT_FALSE(dev_.IsOpen());
}

TEST_F(HidDeviceTest, PathLongerThan259CharactersIsRefused) {
  const std::string suffix = "#vid_0c45&pid_7650&col01";  // 24 characters
  const std::string at_limit = "/dev/" + std::string(259 - 24 - 5, 'a');
  const std::string over = "/dev/" + std::string(259 - 24 - 5 + 1, 'b');
  backend_.AddNode(at_limit, 0x0C45, 0x7650, d::kVendor);
  backend_.AddNode(over, 0x0C45, 0x7650, d::kVendor);
  ASSERT_EQ((at_limit + suffix).size(), 259u);
  EXPECT_TRUE(dev_.Open(at_limit + suffix, true, true, true, false));
  EXPECT_FALSE(dev_.Open(over + suffix, true, true, true, false));
  EXPECT_EQ(dev_.LastOpenError(), HidOpenError::Other);
  EXPECT_FALSE(dev_.IsOpen());
  // Counted in UTF-16 units: 'é' is two bytes but one unit, so this one is at the limit.
  const std::string accented = "/dev/" + std::string(259 - 24 - 6, 'c') + "\xC3\xA9";
  backend_.AddNode(accented, 0x0C45, 0x7650, d::kVendor);
  EXPECT_TRUE(dev_.Open(accented + suffix, true, true, true, false));
}

TEST_F(HidDeviceTest, ReadTimesOutWithNothingRead) {
  ASSERT_TRUE(dev_.Open(kVendorPath, true, true, true, false));
  uint8_t buf[64];
  size_t got = 77;
  const auto t0 = Clock::now();
  EXPECT_FALSE(dev_.ReadReport(buf, sizeof buf, &got, 300));
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(290));
  EXPECT_EQ(got, 0u);
  // A buffer smaller than the input report is refused rather than overrun.
  FakeHidBackend::Push(*node_, VendorReport(1));
  EXPECT_FALSE(dev_.ReadReport(buf, 63, &got, 1000));
}

TEST_F(HidDeviceTest, ShortReportIsPaddedToTheInputLength) {
  ASSERT_TRUE(dev_.Open(kVendorPath, true, true, true, false));
  FakeHidBackend::Push(*node_, {4, 0x33, 0x44});
  uint8_t buf[64];
  std::fill(buf, buf + 64, 0xFF);
  size_t got = 0;
  ASSERT_TRUE(dev_.ReadReport(buf, sizeof buf, &got, 1000));
  EXPECT_EQ(got, 64u);
  EXPECT_EQ(buf[2], 0x44);
  EXPECT_EQ(buf[3], 0);
  EXPECT_EQ(buf[63], 0);
}

TEST_F(HidDeviceTest, CloseFromAnotherThreadEndsWaitingRead) {
  // Repeated, with and without a pause, so the close also lands before the read starts waiting;
  // every third round the close comes while the read is on its way into the wait.
  for (int i = 0; i < 40; ++i) {
    node_->read_entry_delay_ms = i % 3 == 0 ? 30 : 0;
    ASSERT_TRUE(dev_.Open(kVendorPath, true, true, true, false));
    std::atomic<bool> done{false};
    bool result = true;
    std::thread reader([&] {
      uint8_t buf[64];
      size_t got;
      result = dev_.ReadReport(buf, sizeof buf, &got, kInfinite);
      done = true;
    });
    if (i % 3 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    else if (i % 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(dev_.Close(), 1);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!done && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(done) << "round " << i << ": the read kept waiting after Close";
    if (!done) FakeHidBackend::Unplug(*node_);  // release it so the test can end
    reader.join();
    EXPECT_FALSE(result);
  }
}

TEST_F(HidDeviceTest, LateReplyIsNotTakenAsTheNextAnswer) {
  ASSERT_TRUE(dev_.Open(kVendorPath, true, true, true, false));
  node_->on_write = [this](const std::vector<uint8_t>& w) {
    FakeHidBackend::Push(*node_, VendorReport(static_cast<uint8_t>(w[1] + 0x80)));
  };
  // The reply to an earlier request that was given up on arrives now; the drain before the
  // request (the protocol's, once per attempt) throws it away.
  FakeHidBackend::Push(*node_, VendorReport(0x11));
  dev_.DrainInput();
  std::vector<uint8_t> request = VendorReport(0x05);
  size_t n = 0;
  ASSERT_TRUE(dev_.WriteReport(request.data(), request.size(), &n, 1000));
  EXPECT_EQ(n, 64u);
  uint8_t reply[64];
  ASSERT_TRUE(dev_.ReadReport(reply, sizeof reply, &n, 1000));
  EXPECT_EQ(reply[1], 0x85);
  ASSERT_EQ(node_->writes.size(), 1u);
  EXPECT_EQ(node_->writes[0], request);
  EXPECT_FALSE(dev_.WriteReport(request.data(), 63, &n, 1000));  // shorter than the output report
  EXPECT_EQ(n, 0u);
}

TEST_F(HidDeviceTest, WriteAndReadFailWhenUnpluggedOrClosed) {
  ASSERT_TRUE(dev_.Open(kVendorPath, true, true, true, false));
  FakeHidBackend::Unplug(*node_);
  std::vector<uint8_t> request = VendorReport(1);
  size_t n = 5;
  EXPECT_FALSE(dev_.WriteReport(request.data(), request.size(), &n, 1000));
  EXPECT_FALSE(dev_.ReadReport(request.data(), request.size(), &n, 1000));
  EXPECT_EQ(n, 0u);
  dev_.Close();
  EXPECT_FALSE(dev_.WriteReport(request.data(), request.size(), &n, 1000));
}

TEST_F(HidDeviceTest, UnpackConsumerReports) {
  ASSERT_TRUE(dev_.Open(kConsumerPath, true, false, true, false));
  ASSERT_EQ(dev_.InputData().size(), 1u);
  const HidData& e = dev_.InputData()[0];
  EXPECT_FALSE(e.is_set);
  const uint8_t press[3] = {2, 0x10, 0x18};
  ASSERT_TRUE(dev_.UnpackInputReport(press, sizeof press));
  EXPECT_TRUE(e.is_set);
  EXPECT_EQ(e.status, kHidStatusSuccess);
  ASSERT_EQ(e.usages.size(), 1u);
  EXPECT_EQ(e.usages[0], 0x1810);

  // A report ID no entry has changes nothing.
  const std::vector<HidData> before = dev_.InputData();
  const uint8_t other[3] = {9, 0x01, 0x04};
  ASSERT_TRUE(dev_.UnpackInputReport(other, sizeof other));
  ASSERT_EQ(dev_.InputData().size(), before.size());
  EXPECT_EQ(dev_.InputData()[0].usages, before[0].usages);
  EXPECT_EQ(dev_.InputData()[0].status, before[0].status);
}

TEST(HidDeviceUnpack, UsageOutsideAnEntrysRangeLeavesItsListStartingWithZero) {
  FakeHidBackend backend;
  backend.AddNode("/dev/hidraw0", 0x0C45, 0x7650, kConsumerWithMute);
  CHidDevice dev(&backend);
  ASSERT_TRUE(dev.Open("/dev/hidraw0#vid_0c45&pid_7650&col01", true, false, true, false));
  ASSERT_EQ(dev.InputData().size(), 2u);
  const HidData& array = dev.InputData()[0];
  const HidData& mute = dev.InputData()[1];
  EXPECT_EQ(array.usage_min, 0x100);
  EXPECT_EQ(array.max_usage_length, 2u);  // the page's list: one array slot and one bit

  const uint8_t both[4] = {2, 0x01, 0x01, 0x01};  // value 0x101 -> usage 0x200, and Mute
  ASSERT_TRUE(dev.UnpackInputReport(both, sizeof both));
  EXPECT_EQ(array.usages, (std::vector<uint16_t>{0x200, 0}));
  EXPECT_EQ(mute.usages, (std::vector<uint16_t>{0xE2, 0}));

  const uint8_t mute_only[4] = {2, 0x00, 0x00, 0x01};
  ASSERT_TRUE(dev.UnpackInputReport(mute_only, sizeof mute_only));
  EXPECT_EQ(array.usages[0], 0);  // 0xE2 is pressed, but outside 0x100..0x3FF
  EXPECT_EQ(mute.usages[0], 0xE2);
}

TEST(HidDeviceUnpack, ValuesAndTheirFailure) {
  FakeHidBackend backend;
  backend.AddNode("/dev/hidraw0", 0x046D, 0xC077, d::kMouse);
  CHidDevice dev(&backend);
  ASSERT_TRUE(dev.Open("/dev/hidraw0#vid_046d&pid_c077&col01", true, false, true, false));
  ASSERT_EQ(dev.InputData().size(), 4u);  // buttons, then X, Y, wheel
  const uint8_t report[5] = {0, 0x02, 0xFE, 0x03, 0x01};
  ASSERT_TRUE(dev.UnpackInputReport(report, sizeof report));
  EXPECT_EQ(dev.InputData()[0].usages[0], 2);
  EXPECT_EQ(dev.InputData()[1].usage, 0x30);
  EXPECT_EQ(dev.InputData()[1].value, 0xFEu);
  EXPECT_EQ(dev.InputData()[1].scaled_value, -2);
  EXPECT_EQ(dev.InputData()[3].scaled_value, 1);
  // Too short to hold the values: the value extraction fails and so does the unpack.
  EXPECT_FALSE(dev.UnpackInputReport(report, 2));
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// The whole stack on the real hidraw backend, over a fake tree whose nodes are FIFOs: the
// test writes into the FIFO what the device would send.
TEST(HidDeviceOnHidraw, FindsVendorCollectionAndReadsOnlyItsReports) {
  test::FakeTree tree;
  tree.AddNode(0, "HID_ID=0003:00000C45:00007650", d::kBootKeyboard, "0105");
  tree.AddNode(1, "HID_ID=0003:00000C45:00007650", d::Concat({d::kConsumer, d::kVendor}), "0105");
  HidrawBackend backend(tree.Sys(), tree.Dev());
  backend.SetNodeCheck(false);  // the FIFOs stand in for the device
  CHidDevice dev(&backend);
  ASSERT_TRUE(dev.Enumerate());
  ASSERT_EQ(dev.PathCount(), 3u);
  std::string vendor_path;
  int rejected = 0;
  while (auto p = dev.NextPath()) {
    ASSERT_NE(p->find("vid_0c45"), std::string::npos);
    ASSERT_NE(p->find("pid_7650"), std::string::npos);
    ASSERT_TRUE(dev.Open(*p, true, true, true, false)) << *p;
    if (dev.Caps().usage_page == 0xFF1C && dev.Caps().usage == 0x92) vendor_path = *p;
    else ++rejected;
  }
  EXPECT_EQ(rejected, 2);
  EXPECT_EQ(vendor_path, tree.NodePath(1) + "#vid_0c45&pid_7650&col02");
  ASSERT_TRUE(dev.Open(vendor_path, true, true, true, false));
  EXPECT_EQ(dev.Attributes().version, 0x0105);

  const int device = ::open(tree.NodePath(1).c_str(), O_WRONLY);
  ASSERT_GE(device, 0);
  uint8_t buf[64];
  size_t got = 0;
  const uint8_t consumer[3] = {2, 0x01, 0x04};
  ASSERT_EQ(::write(device, consumer, sizeof consumer), 3);
  EXPECT_FALSE(dev.ReadReport(buf, sizeof buf, &got, 100));  // not this collection's report
  std::vector<uint8_t> reply(64, 0x5A);
  reply[0] = 4;
  ASSERT_EQ(::write(device, reply.data(), reply.size()), 64);
  ASSERT_TRUE(dev.ReadReport(buf, sizeof buf, &got, 1000));
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + got), reply);

  bool result = true;
  std::thread reader([&] { result = dev.ReadReport(buf, sizeof buf, &got, kInfinite); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(dev.Close(), 1);
  reader.join();
  EXPECT_FALSE(result);
  ::close(device);
}

}  // namespace
}  // namespace orvane
