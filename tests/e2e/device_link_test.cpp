// The device link end to end: CHidDevice and the command protocol over the real hidraw backend,
// against orvane-simkbd serving the keyboard through FUSE.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <numeric>
#include <thread>

#include "device/hid_device.h"
#include "device/protocol.h"
#include "platform/files.h"
#include "platform/linux/hidraw_backend.h"
#include "sim/sim_memory.h"
#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class E2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVANE_SKIP_WITHOUT_FUSE();
    StartServer({});
  }

  void StartServer(const std::vector<std::string>& args) {
    std::string error;
    ASSERT_TRUE(sim_.Start(args, &error)) << error;
    backend_ = std::make_unique<HidrawBackend>(sim_.SysRoot(), sim_.DevRoot());
  }

  // Opens the collection whose usage page and usage match, the way the presence monitor does.
  bool OpenCollection(CHidDevice& dev, uint16_t page, uint16_t usage, bool write) {
    if (!dev.Enumerate()) return false;
    while (auto path = dev.NextPath()) {
      if (path->find("vid_0c45") == std::string::npos || path->find("pid_7650") == std::string::npos) {
        continue;
      }
      if (!dev.Open(*path, true, write, true, false)) continue;
      if (dev.Caps().usage_page == page && dev.Caps().usage == usage) break;
      dev.Close();
    }
    dev.FreePaths();
    return dev.IsOpen();
  }

  void OpenProtocol(const CDeviceProtocol::Timing& timing = CDeviceProtocol::Timing{}) {
    channel_ = std::make_unique<CHidDevice>(backend_.get());
    ASSERT_TRUE(OpenCollection(*channel_, 0xFF1C, 0x92, true));
    proto_ = std::make_unique<CDeviceProtocol>(channel_.get(), timing);
    proto_->SetOpen(true);
  }

  SimMemory Dump() {
    const std::string file = sim_.Folder() + "/dump.bin";
    EXPECT_EQ(sim_.Control("dump " + file), "ok");
    SimMemory m;
    const auto bytes = ReadWholeFile(file);
    EXPECT_TRUE(bytes && SimMemory::Deserialize(bytes->data(), bytes->size(), &m, nullptr));
    return m;
  }

  // Declared first so the devices using the backend go before it, and both before the server.
  SimKbdProcess sim_;
  std::unique_ptr<HidrawBackend> backend_;
  std::unique_ptr<CHidDevice> channel_;
  std::unique_ptr<CDeviceProtocol> proto_;
};

TEST_F(E2e, PathMatchingPicksTheVendorCollectionAndRejectsTheOthers) {
  CHidDevice dev(backend_.get());
  ASSERT_TRUE(dev.Enumerate());
  std::vector<std::string> paths;
  while (auto p = dev.NextPath()) paths.push_back(*p);
  ASSERT_EQ(paths.size(), 3u);  // boot keyboard; consumer control and vendor on the second node
  int vendor = 0, consumer = 0, keyboard = 0;
  for (const auto& path : paths) {
    EXPECT_NE(path.find("vid_0c45"), std::string::npos) << path;
    EXPECT_NE(path.find("pid_7650"), std::string::npos) << path;
    ASSERT_TRUE(dev.Open(path, true, true, true, false)) << path;
    EXPECT_EQ(dev.Attributes().vendor_id, 0x0C45);
    EXPECT_EQ(dev.Attributes().product_id, 0x7650);
    EXPECT_EQ(dev.Attributes().version, 0x0105);  // bcdDevice of the USB parent
    const HidCaps& caps = dev.Caps();
    if (caps.usage_page == 0xFF1C && caps.usage == 0x92) {
      ++vendor;
      EXPECT_EQ(caps.input_report_byte_length, 64);
      EXPECT_EQ(caps.output_report_byte_length, 64);
    } else if (caps.usage_page == 0x0C && caps.usage == 0x01) {
      ++consumer;
      EXPECT_EQ(caps.input_report_byte_length, 3);
    } else if (caps.usage_page == 0x01 && caps.usage == 0x06) {
      ++keyboard;
    }
    dev.Close();
  }
  EXPECT_EQ(vendor, 1);
  EXPECT_EQ(consumer, 1);
  EXPECT_EQ(keyboard, 1);
  ASSERT_TRUE(OpenCollection(dev, 0xFF1C, 0x92, true));
  EXPECT_NE(dev.DevicePath().find("col02"), std::string::npos);
}

TEST_F(E2e, EveryCommandRoundTrips) {
  OpenProtocol();
  CDeviceProtocol& p = *proto_;
  EXPECT_EQ(p.BeginAccess(), kResultOk);
  EXPECT_EQ(p.TestCommand(), kResultOk);
  DeviceSettings settings;
  ASSERT_EQ(p.ReadSettings(&settings), kResultOk);
  EXPECT_EQ(settings.MacroCapacityBytes(), 8192u);
  std::array<uint8_t, kKeyBlockBytes> defaults{};
  ASSERT_EQ(p.ReadDefaultKeyBlock(defaults), kResultOk);
  EXPECT_EQ(defaults, kSimFactoryKeyBlock);

  std::array<uint8_t, kKeyBlockBytes> block{};
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 3 + 1);
  ASSERT_EQ(p.WriteKeyBlock(block, 2), kResultOk);
  std::array<uint8_t, kKeyBlockBytes> back{};
  ASSERT_EQ(p.ReadKeyBlock(back, 2), kResultOk);
  EXPECT_EQ(back, block);

  std::vector<uint8_t> macros(settings.MacroCapacityBytes());
  std::iota(macros.begin(), macros.end(), 11);
  ASSERT_EQ(p.WriteMacroArea(macros), kResultOk);
  std::vector<uint8_t> macros_back(macros.size());
  ASSERT_EQ(p.ReadMacroArea(macros_back), kResultOk);
  EXPECT_EQ(macros_back, macros);

  const uint8_t record[35] = {1, 0x18, 2};
  ASSERT_EQ(p.WriteLighting(record, sizeof(record), 84), kResultOk);
  std::array<uint8_t, kReportDataBytes> buf{};
  ASSERT_EQ(p.ReadLighting(buf, 56, 84), kResultOk);
  EXPECT_EQ(buf[1], 0x18);
  const uint8_t mask = 0x08;
  ASSERT_EQ(p.WriteColourPage(&mask, 1, 1, 1), kResultOk);
  ASSERT_EQ(p.ReadColourPage(buf, 54, 0, 1), kResultOk);
  EXPECT_EQ(buf[1], 0x08);
  ASSERT_EQ(p.SelectProfile(1), kResultOk);
  EXPECT_EQ(p.CurrentProfile(), 1);
  EXPECT_EQ(p.EndAccess(), kResultOk);

  // The keyboard's memory file holds exactly what was written.
  const SimMemory m = Dump();
  EXPECT_EQ(m.key_blocks[2], block);
  EXPECT_EQ(m.macro_area, macros);
  EXPECT_EQ(m.settings[10], 1);
  EXPECT_EQ(m.colour_pages[1][1], 0x08);
  EXPECT_EQ(m.lighting[2][1], 0x18);

  EXPECT_EQ(p.EnterBootMode(), kResultOk);
  EXPECT_EQ(sim_.Control("status").find("boot=1") != std::string::npos, true);
}

TEST_F(E2e, SurvivesInjectedFaults) {
  CDeviceProtocol::Timing quick;
  quick.read_timeout_ms = 100;
  OpenProtocol(quick);
  CDeviceProtocol& p = *proto_;
  ASSERT_EQ(sim_.Control("fault status fe"), "ok");
  EXPECT_EQ(p.TestCommand(), kResultStatusBusy);
  ASSERT_EQ(sim_.Control("fault status ff"), "ok");
  EXPECT_EQ(p.TestCommand(), kResultStatusFailed);
  ASSERT_EQ(sim_.Control("fault noreply 2"), "ok");
  EXPECT_EQ(p.TestCommand(), kResultOk);
  ASSERT_EQ(sim_.Control("fault noreply all"), "ok");
  EXPECT_EQ(p.TestCommand(), kResultNoDevice);
  ASSERT_EQ(sim_.Control("fault none"), "ok");
  ASSERT_EQ(sim_.Control("fault refuse on"), "ok");
  EXPECT_EQ(p.TestCommand(), kResultNotWritten);
  ASSERT_EQ(sim_.Control("fault none"), "ok");
  EXPECT_EQ(p.TestCommand(), kResultOk);
  // A write that the device holds longer than the write time-out fails as "not written".
  ASSERT_EQ(sim_.Control("fault stall 1500"), "ok");
  EXPECT_EQ(p.TestCommand(), kResultNotWritten);
}

TEST_F(E2e, LateReplyIsNotTakenAsTheNextAnswer) {
  OpenProtocol();  // the real time-outs: 300 ms reads, four attempts
  ASSERT_EQ(sim_.Control("fault late 2000 4"), "ok");  // later than all four attempts
  DeviceSettings settings;
  EXPECT_EQ(proto_->ReadSettings(&settings), kResultNoDevice);
  std::this_thread::sleep_for(std::chrono::milliseconds(2300));  // the four replies come in
  std::array<uint8_t, kReportDataBytes> buf{};
  ASSERT_EQ(proto_->ReadLighting(buf, 42, 0), kResultOk);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(buf[1], 24);  // lighting record 0, not the settings record (5 here)
  EXPECT_EQ(buf[11], 0);  // which would carry its macro capacity 0x40 here
}

TEST_F(E2e, UnplugDuringAChunkedWriteFailsInBoundedTime) {
  OpenProtocol();
  ASSERT_EQ(sim_.Control("fault vanish 3"), "ok");
  std::array<uint8_t, kKeyBlockBytes> block{};
  block.fill(0x5C);
  const auto start = Clock::now();
  const int result = proto_->WriteKeyBlock(block, 0);
  const long long ms = MsSince(start);
  EXPECT_NE(result, kResultOk);
  EXPECT_LT(ms, 4 * 1300 + 1000) << "result " << result;
  EXPECT_EQ(sim_.Control("status").find("plugged=0") != std::string::npos, true);
  CHidDevice probe(backend_.get());
  ASSERT_TRUE(probe.Enumerate());
  EXPECT_EQ(probe.PathCount(), 0u);

  // Back again: found and usable.
  ASSERT_EQ(sim_.Control("plug"), "ok");
  CHidDevice again(backend_.get());
  ASSERT_TRUE(OpenCollection(again, 0xFF1C, 0x92, true));
  CDeviceProtocol p2(&again);
  p2.SetOpen(true);
  EXPECT_EQ(p2.TestCommand(), kResultOk);
}

TEST_F(E2e, CloseFromAnotherThreadEndsAWaitingRead) {
  CHidDevice events(backend_.get());
  ASSERT_TRUE(OpenCollection(events, 0x0C, 0x01, false));
  auto reader = std::async(std::launch::async, [&events] {
    uint8_t buf[64];
    size_t got = 0;
    return events.ReadReport(buf, sizeof(buf), &got, kInfinite);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  events.Close();
  if (reader.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "Close did not end the read";
    sim_.Control("unplug");  // lets the read end so the test can finish
  }
  EXPECT_FALSE(reader.get());
}

TEST_F(E2e, ConsumerEventReachesTheEventChannel) {
  CHidDevice events(backend_.get());
  ASSERT_TRUE(OpenCollection(events, 0x0C, 0x01, false));
  ASSERT_EQ(sim_.Control("event 0x0401"), "ok");
  uint8_t buf[64] = {};
  size_t got = 0;
  ASSERT_TRUE(events.ReadReport(buf, sizeof(buf), &got, 2000));
  ASSERT_TRUE(events.UnpackInputReport(buf, got));
  ASSERT_FALSE(events.InputData().empty());
  ASSERT_FALSE(events.InputData()[0].usages.empty());
  EXPECT_EQ(events.InputData()[0].usages[0], 0x0401);
}

void IgnoreSignal(int) {}

TEST_F(E2e, RawNodePollsAndBlockingReadsEndOnSignals) {
  const std::string node = sim_.DevRoot() + "/hidraw1";
  const int fd = open(node.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  pollfd pfd{fd, POLLIN, 0};
  EXPECT_EQ(poll(&pfd, 1, 100), 0);  // nothing yet
  const DeviceReport req = DeviceReport::Request(kCmdTestCommand, 0, 0);
  ASSERT_EQ(write(fd, req.bytes.data(), 64), 64);
  ASSERT_EQ(poll(&pfd, 1, 2000), 1);
  EXPECT_TRUE(pfd.revents & POLLIN);
  uint8_t buf[64];
  ASSERT_EQ(read(fd, buf, sizeof(buf)), 64);
  EXPECT_EQ(buf[3], kCmdTestCommand);

  // A blocking read waits, and a signal ends it with EINTR.
  struct sigaction sa {};
  sa.sa_handler = IgnoreSignal;
  struct sigaction old {};
  sigaction(SIGUSR1, &sa, &old);  // no SA_RESTART
  std::promise<pthread_t> who;
  auto reader = std::async(std::launch::async, [&] {
    who.set_value(pthread_self());
    return std::make_pair(read(fd, buf, sizeof(buf)), errno);
  });
  const pthread_t thread = who.get_future().get();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(reader.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  for (int i = 0; i < 50 && reader.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready; ++i) {
    pthread_kill(thread, SIGUSR1);
  }
  const auto [n, err] = reader.get();
  EXPECT_EQ(n, -1);
  EXPECT_EQ(err, EINTR);
  sigaction(SIGUSR1, &old, nullptr);

  // Unplugged: poll reports the hang-up and reads fail with ENODEV.
  ASSERT_EQ(sim_.Control("unplug"), "ok");
  pfd.revents = 0;
  ASSERT_EQ(poll(&pfd, 1, 2000), 1);
  EXPECT_TRUE(pfd.revents & (POLLHUP | POLLERR));
  EXPECT_EQ(read(fd, buf, sizeof(buf)), -1);
  EXPECT_EQ(errno, ENODEV);
  close(fd);
}

TEST_F(E2e, SigtermUnmountsAndTheStateFileKeepsTheMemory) {
  // Restart this test's server with a state file.
  EXPECT_EQ(sim_.Stop(), 0);
  EXPECT_FALSE(sim_.Mounted());
  const std::string state = sim_.Folder() + "-state.bin";
  StartServer({"--state", state});
  {
    CHidDevice dev(backend_.get());
    ASSERT_TRUE(OpenCollection(dev, 0xFF1C, 0x92, true));
    CDeviceProtocol p(&dev);
    p.SetOpen(true);
    std::array<uint8_t, kKeyBlockBytes> block{};
    block.fill(0x3D);
    ASSERT_EQ(p.WriteKeyBlock(block, 1), kResultOk);
  }
  EXPECT_EQ(sim_.Terminate(), 0);
  EXPECT_FALSE(sim_.Mounted());
  const auto bytes = ReadWholeFile(state);
  ASSERT_TRUE(bytes.has_value());
  ASSERT_EQ(bytes->size(), kSimFileMacroOffset + 8192);
  EXPECT_EQ((*bytes)[kSimFileKeyBlocksOffset + kKeyBlockBytes], 0x3D);
  EXPECT_EQ((*bytes)[kSimFileKeyBlocksOffset], kSimFactoryKeyBlock[0]);

  StartServer({"--state", state});
  CHidDevice dev(backend_.get());
  ASSERT_TRUE(OpenCollection(dev, 0xFF1C, 0x92, true));
  CDeviceProtocol p(&dev);
  p.SetOpen(true);
  std::array<uint8_t, kKeyBlockBytes> back{};
  ASSERT_EQ(p.ReadKeyBlock(back, 1), kResultOk);
  EXPECT_EQ(back[200], 0x3D);
  dev.Close();
  EXPECT_EQ(sim_.Stop(), 0);  // it saves the state once more on the way out
  std::remove(state.c_str());
}

}  // namespace
}  // namespace orvane
