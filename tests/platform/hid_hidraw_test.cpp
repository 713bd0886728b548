#include "platform/linux/hidraw_backend.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/platform/hid_fake_backend.h"
#include "tests/platform/hid_fake_tree.h"

namespace orvane {
namespace {

using test::FakeTree;
using Clock = std::chrono::steady_clock;

const char* kKeyboardId = "HID_ID=0003:00000C45:00007650";

TEST(HidrawBackend, EnumeratesInNumericOrderWithIdentityAndDescriptor) {
  FakeTree tree;
  tree.AddNode(10, kKeyboardId, test::descriptors::kVendor, "0105");
  tree.AddNode(2, kKeyboardId, test::descriptors::kBootKeyboard, "0105");
  tree.AddNode(0, "HID_ID=0005:0000046D:0000B33A", test::descriptors::kMouse);  // no bcdDevice
  tree.AddNode(3, "HID_ID=garbage", test::descriptors::kMouse);                 // left out
  tree.AddNode(4, kKeyboardId, test::descriptors::kMouse, nullptr, false);      // no /dev node
  HidrawBackend backend(tree.Sys(), tree.Dev());
  const auto nodes = backend.EnumerateNodes();
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(nodes[0].node, tree.NodePath(0));
  EXPECT_EQ(nodes[0].bus_type, 5);
  EXPECT_EQ(nodes[0].vendor_id, 0x046D);
  EXPECT_EQ(nodes[0].product_id, 0xB33A);
  EXPECT_EQ(nodes[0].version, 0);
  EXPECT_EQ(nodes[1].node, tree.NodePath(2));
  EXPECT_EQ(nodes[1].vendor_id, 0x0C45);
  EXPECT_EQ(nodes[1].product_id, 0x7650);
  EXPECT_EQ(nodes[1].version, 0x0105);
  EXPECT_EQ(nodes[1].report_descriptor, test::descriptors::kBootKeyboard);
  EXPECT_EQ(nodes[2].node, tree.NodePath(10));
  EXPECT_EQ(nodes[2].report_descriptor, test::descriptors::kVendor);
  EXPECT_TRUE(nodes[2].accessible);

  EXPECT_TRUE(HidrawBackend("/nonexistent-root", "/dev").EnumerateNodes().empty());
}

TEST(HidrawBackend, RootsFromEnvironment) {
  ::setenv("ORVANE_SYS_ROOT", "/tmp/a-sys", 1);
  ::setenv("ORVANE_DEV_ROOT", "", 1);  // empty means the default
  auto b = HidrawBackend::FromEnvironment();
  ::unsetenv("ORVANE_SYS_ROOT");
  ::unsetenv("ORVANE_DEV_ROOT");
  EXPECT_EQ(b->SysRoot(), "/tmp/a-sys");
  EXPECT_EQ(b->DevRoot(), "/dev");
}

// "Not allowed" must be told from "not there". Root may open anything, so the check runs in a
// child that has dropped to an unprivileged user when we are root.
TEST(HidrawBackend, NoPermissionIsToldFromAbsent) {
  FakeTree tree;
  tree.AddNode(0, kKeyboardId, test::descriptors::kVendor);
  ::chmod(tree.NodePath(0).c_str(), 0600);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      const gid_t gid = nobody ? nobody->pw_gid : 65534;
      const uid_t uid = nobody ? nobody->pw_uid : 65534;
      if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) _exit(10);
    }
    HidrawBackend backend(tree.Sys(), tree.Dev());
    const auto nodes = backend.EnumerateNodes();
    if (nodes.size() != 1 || nodes[0].accessible) _exit(1);
    HidOpenError err = HidOpenError::None;
    if (backend.OpenNode(tree.NodePath(0), true, true, &err) || err != HidOpenError::NoPermission) _exit(2);
    if (backend.OpenNode(tree.NodePath(7), true, true, &err) || err != HidOpenError::NotFound) _exit(3);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Only a hidraw node is opened: a FIFO would hang or hand our own requests back as replies, a
// plain file or another character device (/dev/zero) answers anything.
TEST(HidrawBackend, OpensOnlyWhatIsAHidrawNode) {
  FakeTree tree;
  tree.AddNode(1, kKeyboardId, test::descriptors::kVendor);  // a FIFO at /dev/hidraw1
  HidrawBackend backend(tree.Sys(), tree.Dev());
  HidOpenError err = HidOpenError::None;
  EXPECT_EQ(backend.OpenNode(tree.NodePath(1), true, true, &err), nullptr);
  EXPECT_EQ(err, HidOpenError::NotADevice);

  tree.AddNode(2, kKeyboardId, test::descriptors::kVendor, nullptr, false);
  std::ofstream(tree.NodePath(2)) << "not a device";
  EXPECT_EQ(backend.OpenNode(tree.NodePath(2), true, true, &err), nullptr);
  EXPECT_EQ(err, HidOpenError::NotADevice);

  // A character device is taken only when sysfs gives its number for the entry. Making one
  // needs root.
  tree.AddNode(3, kKeyboardId, test::descriptors::kVendor, nullptr, false);
  if (::mknod(tree.NodePath(3).c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0)
    GTEST_SKIP() << "cannot make a character device here (not root)";
  tree.SetDevNumber(3, "241:3");  // the entry's own number: not the one of the file
  EXPECT_EQ(backend.OpenNode(tree.NodePath(3), true, true, &err), nullptr);
  EXPECT_EQ(err, HidOpenError::NotADevice);
  tree.SetDevNumber(3, "1:3");
  EXPECT_NE(backend.OpenNode(tree.NodePath(3), true, true, &err), nullptr);
  EXPECT_EQ(err, HidOpenError::None);
}

// Node I/O against a datagram socket standing in for the device: one report per packet.
class HidrawNodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv), 0);
    device_ = sv[1];
    ours_ = sv[0];
  }
  void TearDown() override {
    node_.reset();
    if (device_ >= 0) ::close(device_);
  }
  void Adopt() {
    node_ = HidrawNode::Adopt(ours_);
    ASSERT_NE(node_, nullptr);
  }
  void Send(std::vector<uint8_t> r) { ASSERT_EQ(::send(device_, r.data(), r.size(), 0), static_cast<ssize_t>(r.size())); }

  int device_ = -1;
  int ours_ = -1;
  std::unique_ptr<HidrawNode> node_;
};

TEST_F(HidrawNodeTest, ReadTimeoutAndDrain) {
  Adopt();
  uint8_t buf[64];
  size_t got = 99;
  const auto t0 = Clock::now();
  EXPECT_EQ(node_->Read(buf, sizeof buf, &got, 300), HidIoStatus::Timeout);
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(290));
  EXPECT_EQ(got, 0u);

  Send({4, 1});
  Send({4, 2});
  node_->DrainInput();  // both were stale
  Send({4, 3, 3});
  ASSERT_EQ(node_->Read(buf, 2, &got, 1000), HidIoStatus::Ok);  // cut to the buffer...
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(buf[1], 3);
  EXPECT_EQ(node_->Read(buf, sizeof buf, &got, 0), HidIoStatus::Timeout);  // ...report consumed whole
}

TEST_F(HidrawNodeTest, CancelEndsWaitingReadOnlyAndWrites) {
  Adopt();
  HidIoStatus st = HidIoStatus::Ok;
  std::thread reader([&] {
    uint8_t buf[64];
    size_t got;
    st = node_->Read(buf, sizeof buf, &got, -1);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  node_->Cancel();
  reader.join();
  EXPECT_EQ(st, HidIoStatus::Cancelled);
  // An earlier Cancel does not touch later calls.
  node_->Cancel();
  Send({4, 9});
  uint8_t buf[64];
  size_t got = 0;
  ASSERT_EQ(node_->Read(buf, sizeof buf, &got, 1000), HidIoStatus::Ok);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(node_->Read(buf, sizeof buf, &got, 30), HidIoStatus::Timeout);
  const uint8_t out[3] = {4, 5, 6};
  ASSERT_EQ(node_->Write(out, sizeof out, 1000), HidIoStatus::Ok);
  ASSERT_EQ(::recv(device_, buf, sizeof buf, 0), 3);
  EXPECT_EQ(buf[2], 6);
}

TEST_F(HidrawNodeTest, UnplugIsReportedWithoutSpinning) {
  Adopt();
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ::close(device_);
    device_ = -1;
  });
  uint8_t buf[64];
  size_t got;
  EXPECT_EQ(node_->Read(buf, sizeof buf, &got, 5000), HidIoStatus::Disconnected);
  unplug.join();
  EXPECT_EQ(node_->Read(buf, sizeof buf, &got, -1), HidIoStatus::Disconnected);  // at once
  EXPECT_EQ(node_->Write(buf, 8, -1), HidIoStatus::Disconnected);
}

TEST_F(HidrawNodeTest, WriteToGoneDeviceFailsWithoutKillingUs) {
  Adopt();
  ::close(device_);
  device_ = -1;
  const uint8_t out[3] = {4, 5, 6};
  EXPECT_EQ(node_->Write(out, sizeof out, 1000), HidIoStatus::Disconnected);
}

// A write the device does not take: the caller gets its time-out, the report stays with the
// writer thread, no second write starts meanwhile, and the first one still arrives intact.
TEST_F(HidrawNodeTest, StuckWriteTimesOutKeepsItsBufferAndBlocksNewWrites) {
  ASSERT_EQ(::fcntl(ours_, F_SETFL, O_NONBLOCK), 0);
  std::vector<uint8_t> filler(64, 0x11);
  int queued = 0;
  while (::send(ours_, filler.data(), filler.size(), 0) > 0) ++queued;
  ASSERT_GT(queued, 0);
  Adopt();

  std::vector<uint8_t> report(64, 0x42);
  EXPECT_EQ(node_->Write(report.data(), report.size(), 100), HidIoStatus::Timeout);
  std::fill(report.begin(), report.end(), 0xEE);  // the caller's buffer is free again
  EXPECT_TRUE(node_->WriteInFlight());
  EXPECT_EQ(node_->Write(report.data(), report.size(), 100), HidIoStatus::Busy);

  uint8_t buf[128];
  for (int i = 0; i < queued; ++i) ASSERT_EQ(::recv(device_, buf, sizeof buf, 0), 64);
  ASSERT_EQ(::recv(device_, buf, sizeof buf, 0), 64);
  EXPECT_EQ(buf[0], 0x42);
  EXPECT_EQ(buf[63], 0x42);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (node_->WriteInFlight() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(node_->WriteInFlight());
  EXPECT_EQ(node_->Write(report.data(), report.size(), 1000), HidIoStatus::Ok);
}

// A write that stays in the kernel (a blocking write the device never takes): destroying the
// node returns at once, and the write still completes, and the descriptor closes, on its own.
TEST_F(HidrawNodeTest, DestructionDoesNotWaitForAWriteStuckInTheKernel) {
  ASSERT_EQ(::fcntl(ours_, F_SETFL, O_NONBLOCK), 0);
  std::vector<uint8_t> filler(64, 0x11);
  int queued = 0;
  while (::send(ours_, filler.data(), filler.size(), 0) > 0) ++queued;
  Adopt();
  ASSERT_EQ(::fcntl(ours_, F_SETFL, 0), 0);  // blocking from now on: the write cannot be woken
  std::vector<uint8_t> report(64, 0x42);
  EXPECT_EQ(node_->Write(report.data(), report.size(), 100), HidIoStatus::Timeout);
  auto destroyed = std::async(std::launch::async, [this] { node_.reset(); });
  const bool prompt = destroyed.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
  EXPECT_TRUE(prompt) << "the destructor waited for the stuck write";
  uint8_t buf[128];
  for (int i = 0; i < queued; ++i) ASSERT_EQ(::recv(device_, buf, sizeof buf, 0), 64);
  ASSERT_EQ(::recv(device_, buf, sizeof buf, 0), 64);  // the stuck report, intact
  EXPECT_EQ(buf[0], 0x42);
  destroyed.wait();
  // The thread lets go of the descriptor once the kernel returned: the device sees the close.
  pollfd pfd{device_, POLLIN, 0};
  ASSERT_EQ(::poll(&pfd, 1, 5000), 1);
  EXPECT_EQ(::recv(device_, buf, sizeof buf, 0), 0);
}

}  // namespace
}  // namespace orvane
