// The in-process backend: the nodes it lists, per-open input queues, cancel, unplugging, late
// replies, and the control language that drives all of it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/files.h"
#include "sim/sim_backend.h"
#include "sim/sim_control.h"

namespace orvane {
namespace {

SimReport Command(uint8_t command, uint8_t length, uint16_t address) {
  SimReport r{};
  r[0] = kCommandReportId;
  r[3] = command;
  r[4] = length;
  r[5] = static_cast<uint8_t>(address & 0xFF);
  r[6] = static_cast<uint8_t>(address >> 8);
  const uint16_t sum = CSimKeyboard::Checksum(r.data());
  r[1] = static_cast<uint8_t>(sum & 0xFF);
  r[2] = static_cast<uint8_t>(sum >> 8);
  return r;
}

std::unique_ptr<IHidNode> OpenVendor(SimHidBackend& backend) {
  HidOpenError error = HidOpenError::Other;
  auto node = backend.OpenNode(backend.NodeName(kSimVendorNode), true, true, &error);
  EXPECT_EQ(error, HidOpenError::None);
  return node;
}

TEST(SimBackendTest, ListsTwoNodesOfTheKeyboard) {
  SimHidBackend backend;
  const auto nodes = backend.EnumerateNodes();
  ASSERT_EQ(nodes.size(), 2u);
  for (const auto& n : nodes) {
    EXPECT_EQ(n.vendor_id, 0x0C45);
    EXPECT_EQ(n.product_id, 0x7650);
    EXPECT_FALSE(n.report_descriptor.empty());
  }
  // The second node carries the vendor collection: usage page 0xFF1C (06 1C FF), usage 0x92.
  const auto& desc = nodes[1].report_descriptor;
  const uint8_t vendor_page[] = {0x06, 0x1C, 0xFF, 0x09, 0x92};
  EXPECT_NE(std::search(desc.begin(), desc.end(), std::begin(vendor_page), std::end(vendor_page)),
            desc.end());
  HidOpenError error = HidOpenError::None;
  EXPECT_EQ(backend.OpenNode("sim:/dev/hidraw9", true, true, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::NotFound);
}

TEST(SimBackendTest, EveryOpenGetsItsOwnCopyOfInput) {
  SimHidBackend backend;
  auto a = OpenVendor(backend);
  auto b = OpenVendor(backend);
  backend.Hub().SendConsumerEvent(0x0401);
  for (IHidNode* node : {a.get(), b.get()}) {
    uint8_t buf[64] = {};
    size_t got = 0;
    ASSERT_EQ(node->Read(buf, sizeof(buf), &got, 1000), HidIoStatus::Ok);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(buf[0], kSimConsumerReportId);
    EXPECT_EQ(buf[1] | (buf[2] << 8), 0x0401);
    ASSERT_EQ(node->Read(buf, sizeof(buf), &got, 1000), HidIoStatus::Ok);  // the release
    EXPECT_EQ(buf[1] | (buf[2] << 8), 0);
  }
  // A reply goes to both opens too; draining one leaves the other's copy.
  const SimReport req = Command(0x0D, 0, 0);
  ASSERT_EQ(a->Write(req.data(), req.size(), 1000), HidIoStatus::Ok);
  a->DrainInput();
  uint8_t buf[64];
  size_t got = 0;
  EXPECT_EQ(a->Read(buf, sizeof(buf), &got, 0), HidIoStatus::Timeout);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(b->Read(buf, sizeof(buf), &got, 0), HidIoStatus::Ok);
  EXPECT_EQ(buf[3], 0x0D);
}

TEST(SimBackendTest, CancelEndsAWaitingReadFromAnotherThread) {
  SimHidBackend backend;
  auto node = OpenVendor(backend);
  HidIoStatus status = HidIoStatus::Ok;
  std::thread reader([&] {
    uint8_t buf[64];
    size_t got = 0;
    status = node->Read(buf, sizeof(buf), &got, -1);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  node->Cancel();
  reader.join();
  EXPECT_EQ(status, HidIoStatus::Cancelled);
  // Later reads are not affected by the earlier cancel.
  backend.Hub().SendConsumerEvent(0x1810);
  uint8_t buf[64];
  size_t got = 0;
  EXPECT_EQ(node->Read(buf, sizeof(buf), &got, 1000), HidIoStatus::Ok);
}

TEST(SimBackendTest, UnplugAndVanishFailIoAndHideTheNodes) {
  SimHidBackend backend;
  auto node = OpenVendor(backend);
  backend.Hub().Unplug();
  EXPECT_TRUE(backend.EnumerateNodes().empty());
  uint8_t buf[64];
  size_t got = 0;
  EXPECT_EQ(node->Read(buf, sizeof(buf), &got, -1), HidIoStatus::Disconnected);
  const SimReport req = Command(0x0D, 0, 0);
  EXPECT_EQ(node->Write(req.data(), req.size(), 1000), HidIoStatus::Disconnected);
  HidOpenError error = HidOpenError::None;
  EXPECT_EQ(backend.OpenNode(backend.NodeName(kSimVendorNode), true, true, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::NotFound);

  // Plugged back: a new open works, the old one stays dead as a hidraw file would.
  backend.Hub().Plug();
  auto fresh = OpenVendor(backend);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->Write(req.data(), req.size(), 1000), HidIoStatus::Ok);
  EXPECT_EQ(node->Write(req.data(), req.size(), 1000), HidIoStatus::Disconnected);

  SimFaults f;
  f.vanish_after = 1;
  backend.Keyboard().SetFaults(f);
  fresh->DrainInput();
  EXPECT_EQ(fresh->Write(req.data(), req.size(), 1000), HidIoStatus::Ok);
  EXPECT_EQ(fresh->Read(buf, sizeof(buf), &got, 1000), HidIoStatus::Ok);
  EXPECT_EQ(fresh->Write(req.data(), req.size(), 1000), HidIoStatus::Ok);  // it goes now
  EXPECT_EQ(fresh->Read(buf, sizeof(buf), &got, 1000), HidIoStatus::Disconnected);
  EXPECT_FALSE(backend.Hub().IsPlugged());
}

TEST(SimBackendTest, LateReplyArrivesAfterItsDelayAndNotFromAnUnpluggedKeyboard) {
  SimHidBackend backend;
  auto node = OpenVendor(backend);
  SimFaults f;
  f.late_reply = 2;
  f.late_ms = 500;
  backend.Keyboard().SetFaults(f);
  const SimReport req = Command(0x0D, 0, 0);
  ASSERT_EQ(node->Write(req.data(), req.size(), 1000), HidIoStatus::Ok);
  uint8_t buf[64];
  size_t got = 0;
  EXPECT_EQ(node->Read(buf, sizeof(buf), &got, 0), HidIoStatus::Timeout);
  EXPECT_EQ(node->Read(buf, sizeof(buf), &got, 5000), HidIoStatus::Ok);
  EXPECT_EQ(buf[3], 0x0D);

  // A late reply of a keyboard that has been replugged since is not delivered.
  ASSERT_EQ(node->Write(req.data(), req.size(), 1000), HidIoStatus::Ok);
  backend.Hub().Unplug();
  backend.Hub().Plug();
  auto fresh = OpenVendor(backend);
  EXPECT_EQ(fresh->Read(buf, sizeof(buf), &got, 1000), HidIoStatus::Timeout);
}

TEST(SimBackendTest, StalledWriteTimesOutAndRefusedWriteFails) {
  SimHidBackend backend;
  auto node = OpenVendor(backend);
  SimFaults f;
  f.stall_writes = 1;
  f.stall_ms = 5000;
  f.refuse_writes = false;
  backend.Keyboard().SetFaults(f);
  const SimReport req = Command(0x0D, 0, 0);
  EXPECT_EQ(node->Write(req.data(), req.size(), 20), HidIoStatus::Timeout);
  f = SimFaults{};
  f.refuse_writes = true;
  backend.Keyboard().SetFaults(f);
  EXPECT_EQ(node->Write(req.data(), req.size(), 1000), HidIoStatus::Error);
}

class TempFolder {
 public:
  TempFolder() {
    char tmpl[] = "/tmp/orvane-sim-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TEST(SimControlTest, CommandsChangeTheKeyboardAndBadOnesAreRejected) {
  CSimHub hub;
  bool quit = false;
  EXPECT_EQ(ExecuteControlCommand(hub, "unplug", &quit), "ok");
  EXPECT_FALSE(hub.IsPlugged());
  EXPECT_EQ(ExecuteControlCommand(hub, "plug", &quit), "ok");
  EXPECT_EQ(ExecuteControlCommand(hub, "status", &quit), "ok plugged=1 boot=0 requests=0");

  EXPECT_EQ(ExecuteControlCommand(hub, "fault late 250 3", &quit), "ok");
  EXPECT_EQ(hub.Keyboard().Faults().late_ms, 250u);
  EXPECT_EQ(hub.Keyboard().Faults().late_reply, 3);
  EXPECT_EQ(ExecuteControlCommand(hub, "fault status fe all after 2", &quit), "ok");
  EXPECT_EQ(hub.Keyboard().Faults().error_status, 0xFE);
  EXPECT_EQ(hub.Keyboard().Faults().error_status_count, -1);
  EXPECT_EQ(hub.Keyboard().Faults().error_status_after, 2);
  EXPECT_EQ(ExecuteControlCommand(hub, "fault noreply", &quit), "ok");
  EXPECT_EQ(hub.Keyboard().Faults().no_reply, 1);
  EXPECT_EQ(ExecuteControlCommand(hub, "fault vanish 7", &quit), "ok");
  EXPECT_EQ(hub.Keyboard().Faults().vanish_after, 7);
  EXPECT_EQ(ExecuteControlCommand(hub, "fault refuse on", &quit), "ok");
  EXPECT_TRUE(hub.Keyboard().RefusesWrites());
  EXPECT_EQ(ExecuteControlCommand(hub, "fault none", &quit), "ok");
  EXPECT_FALSE(hub.Keyboard().RefusesWrites());
  EXPECT_EQ(hub.Keyboard().Faults().late_reply, 0);

  for (const char* bad : {"", "bogus", "event", "event 0x10000", "event 12abc", "fault",
                          "fault late", "fault late -5", "fault status zz", "fault noreply 0",
                          "fault refuse maybe", "fault vanish", "dump", "load a b"}) {
    EXPECT_EQ(ExecuteControlCommand(hub, bad, &quit).rfind("error", 0), 0u) << bad;
  }
  EXPECT_FALSE(quit);
  EXPECT_EQ(ExecuteControlCommand(hub, "quit", &quit), "ok");
  EXPECT_TRUE(quit);
}

TEST(SimControlTest, DumpAndLoadUseTheMemoryFile) {
  TempFolder dir;
  const std::string file = dir.Path() + "/memory.bin";
  CSimHub hub;
  SimMemory m = hub.Keyboard().Memory();
  m.key_blocks[0][0] = 0x42;
  hub.Keyboard().SetMemory(m);
  bool quit = false;
  ASSERT_EQ(ExecuteControlCommand(hub, "dump " + file, &quit), "ok");
  const auto bytes = ReadWholeFile(file);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(bytes->size(), m.FileSize());
  EXPECT_EQ((*bytes)[kSimFileKeyBlocksOffset], 0x42);

  CSimHub other;
  ASSERT_EQ(ExecuteControlCommand(other, "load " + file, &quit), "ok");
  EXPECT_EQ(other.Keyboard().Memory().key_blocks[0][0], 0x42);

  // A damaged file is refused and the memory stays as it was.
  ASSERT_TRUE(WriteFileAtomic(file, std::string("short")));
  EXPECT_EQ(ExecuteControlCommand(other, "load " + file, &quit).rfind("error", 0), 0u);
  EXPECT_EQ(other.Keyboard().Memory().key_blocks[0][0], 0x42);

  // The backend with a state file keeps the memory across instances.
  const std::string state = dir.Path() + "/state.bin";
  {
    std::string error;
    auto backend = SimHidBackend::WithStateFile(state, &error);
    ASSERT_NE(backend, nullptr) << error;
    SimMemory mm = backend->Keyboard().Memory();
    mm.lighting[2][0] = 9;
    backend->Keyboard().SetMemory(mm);
  }
  std::string error;
  auto again = SimHidBackend::WithStateFile(state, &error);
  ASSERT_NE(again, nullptr) << error;
  EXPECT_EQ(again->Keyboard().Memory().lighting[2][0], 9);
}

}  // namespace
}  // namespace orvane
