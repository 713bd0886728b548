// The command protocol against the in-process simulated keyboard: framing and checksums, the
// exact requests of each command, chunking, result codes, retries, the profile cache, and replies
// that arrive late or to another thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

#include "device/hid_device.h"
#include "device/protocol.h"
#include "sim/sim_backend.h"

namespace orvane {
namespace {

CDeviceProtocol::Timing FastTiming() {
  CDeviceProtocol::Timing t;
  t.write_timeout_ms = 500;
  t.read_timeout_ms = 60;
  t.end_access_pause_ms = 0;
  return t;
}

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(channel_.Enumerate());
    while (auto path = channel_.NextPath()) {
      if (!channel_.Open(*path, true, true, true, false)) continue;
      if (channel_.Caps().usage_page == 0xFF1C && channel_.Caps().usage == 0x92) break;
      channel_.Close();
    }
    channel_.FreePaths();
    ASSERT_TRUE(channel_.IsOpen()) << "vendor collection not found";
    proto_.SetOpen(true);
  }

  CSimKeyboard& Keyboard() { return backend_.Keyboard(); }
  std::vector<SimReport> Sent() { return Keyboard().Requests(); }
  void SetFaults(const SimFaults& f) { Keyboard().SetFaults(f); }

  SimHidBackend backend_;
  CHidDevice channel_{&backend_};
  CDeviceProtocol proto_{&channel_, FastTiming()};
};

std::array<uint8_t, kKeyBlockBytes> Pattern(uint8_t seed) {
  std::array<uint8_t, kKeyBlockBytes> block{};
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(seed + i * 7);
  return block;
}

TEST(DeviceReportTest, ChecksumCoversBytes3To63) {
  const DeviceReport r = DeviceReport::Request(kCmdReadSettings, 0x30, 0);
  EXPECT_EQ(r.bytes[0], 4);
  EXPECT_EQ(r.bytes[1], 0x33);
  EXPECT_EQ(r.bytes[2], 0x00);
  EXPECT_TRUE(std::all_of(r.bytes.begin() + 5, r.bytes.end(), [](uint8_t v) { return v == 0; }));

  // Address and data count too; the sum wraps at 16 bits only in principle (61 x 255 fits).
  std::vector<uint8_t> data(56, 0xFF);
  const DeviceReport w = DeviceReport::Request(kCmdWriteMacroArea, 56, 0x1234, data.data(), 60);
  EXPECT_EQ(w.Checksum(), 0x0A + 56 + 0x34 + 0x12 + 56 * 0xFF);
  EXPECT_EQ(w.Address(), 0x1234);
  EXPECT_EQ(ResultOfStatus(0xFF), kResultStatusFailed);
  EXPECT_EQ(ResultOfStatus(0xFE), kResultStatusBusy);
  EXPECT_EQ(ResultOfStatus(0x00), kResultOk);
  EXPECT_EQ(ResultOfStatus(0x01), kResultOk);
}

TEST_F(ProtocolTest, EveryCommandRoundTrips) {
  EXPECT_EQ(proto_.BeginAccess(), kResultOk);
  EXPECT_EQ(proto_.TestCommand(), kResultOk);

  DeviceSettings settings;
  ASSERT_EQ(proto_.ReadSettings(&settings), kResultOk);
  EXPECT_EQ(settings.MacroCapacityBytes(), 8192u);
  EXPECT_TRUE(settings.HasColourPages());
  settings.bytes[40] = 0x5A;
  ASSERT_EQ(proto_.WriteSettings(settings), kResultOk);
  EXPECT_EQ(Keyboard().Memory().settings[40], 0x5A);

  std::array<uint8_t, kKeyBlockBytes> defaults{};
  ASSERT_EQ(proto_.ReadDefaultKeyBlock(defaults), kResultOk);
  EXPECT_EQ(defaults, kSimFactoryKeyBlock);

  for (int block = 0; block < 3; ++block) {
    const auto written = Pattern(static_cast<uint8_t>(block * 50));
    ASSERT_EQ(proto_.WriteKeyBlock(written, block), kResultOk);
    std::array<uint8_t, kKeyBlockBytes> read{};
    ASSERT_EQ(proto_.ReadKeyBlock(read, block), kResultOk);
    EXPECT_EQ(read, written) << "block " << block;
    EXPECT_EQ(Keyboard().Memory().key_blocks[block], written);
  }

  std::vector<uint8_t> macros(8192);
  std::iota(macros.begin(), macros.end(), 3);
  ASSERT_EQ(proto_.WriteMacroArea(macros), kResultOk);
  std::vector<uint8_t> macros_back(8192);
  ASSERT_EQ(proto_.ReadMacroArea(macros_back), kResultOk);
  EXPECT_EQ(macros_back, macros);

  const uint8_t lighting[3] = {7, 12, 4};
  ASSERT_EQ(proto_.WriteLighting(lighting, 3, 42), kResultOk);
  std::array<uint8_t, kReportDataBytes> buf{};
  ASSERT_EQ(proto_.ReadLighting(buf, 56, 42), kResultOk);
  EXPECT_EQ(buf[0], 7);
  EXPECT_EQ(buf[1], 12);
  EXPECT_EQ(buf[2], 4);

  const uint8_t mask[2] = {0xF0, 0x0F};
  ASSERT_EQ(proto_.WriteColourPage(mask, 2, 21, 2), kResultOk);
  EXPECT_EQ(Keyboard().Memory().colour_pages[2][21], 0xF0);
  ASSERT_EQ(proto_.ReadColourPage(buf, 54, 0, 2), kResultOk);
  EXPECT_EQ(buf[21], 0xF0);
  EXPECT_EQ(buf[22], 0x0F);
  EXPECT_EQ(buf[1], kSimFactoryColourPage[1]);

  EXPECT_EQ(proto_.EndAccess(), kResultOk);
  const auto sent = Sent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.front()[3], kCmdBeginAccess);
  EXPECT_EQ(sent.back()[3], kCmdEndAccess);
}

TEST_F(ProtocolTest, KeyBlockChunksCarryExactAddressesAndLengths) {
  ASSERT_EQ(proto_.WriteKeyBlock(Pattern(1), 1), kResultOk);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 7u);
  const uint16_t addresses[7] = {0x200, 0x238, 0x270, 0x2A8, 0x2E0, 0x318, 0x350};
  const uint8_t lengths[7] = {56, 56, 56, 56, 56, 56, 42};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(sent[i][3], kCmdWriteKeyBlock);
    EXPECT_EQ(sent[i][5] | (sent[i][6] << 8), addresses[i]);
    EXPECT_EQ(sent[i][4], lengths[i]);
  }
  // The last chunk carries 42 data bytes and zeros after them.
  EXPECT_TRUE(std::all_of(sent[6].begin() + 8 + 42, sent[6].end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(ProtocolTest, BadArgumentsSendNothing) {
  std::array<uint8_t, kKeyBlockBytes> block{};
  EXPECT_EQ(proto_.ReadKeyBlock(block, 3), kResultBadArgument);
  EXPECT_EQ(proto_.ReadKeyBlock(block, -1), kResultBadArgument);
  EXPECT_EQ(proto_.WriteKeyBlock(block, 3), kResultBadArgument);
  std::vector<uint8_t> big(57, 1);
  EXPECT_EQ(proto_.WriteLighting(big.data(), big.size(), 0), kResultBadArgument);
  EXPECT_EQ(proto_.WriteColourPage(big.data(), big.size(), 0, 0), kResultBadArgument);
  EXPECT_EQ(proto_.WriteColourPage(big.data(), 1, 0, 300), kResultBadArgument);
  EXPECT_EQ(proto_.SelectProfile(-1), kResultBadArgument);
  EXPECT_EQ(proto_.SelectProfile(3), kResultBadArgument);
  EXPECT_EQ(proto_.WriteMacroArea({}), kResultOk);  // nothing to write is success
  EXPECT_EQ(Keyboard().RequestCount(), 0u);
}

TEST_F(ProtocolTest, ErrorStatusesMapAndStopAChunkedTransfer) {
  SimFaults f;
  f.error_status = 0xFE;
  f.error_status_count = 1;
  SetFaults(f);
  EXPECT_EQ(proto_.TestCommand(), kResultStatusBusy);
  f.error_status = 0xFF;
  SetFaults(f);
  DeviceSettings settings;
  EXPECT_EQ(proto_.ReadSettings(&settings), kResultStatusFailed);

  // 0xFE at the third chunk: two chunks stored, nothing sent after the third.
  Keyboard().ClearRequests();
  f.error_status = 0xFE;
  f.error_status_after = 2;
  SetFaults(f);
  const auto block = Pattern(9);
  EXPECT_EQ(proto_.WriteKeyBlock(block, 0), kResultStatusBusy);
  EXPECT_EQ(Keyboard().RequestCount(), 3u);
  const auto stored = Keyboard().Memory().key_blocks[0];
  EXPECT_TRUE(std::equal(block.begin(), block.begin() + 112, stored.begin()));
  EXPECT_EQ(stored[112], kSimFactoryKeyBlock[112]);
}

TEST_F(ProtocolTest, NothingIsSentWhileNoKeyboardIsOpen) {
  proto_.SetOpen(false);
  std::array<uint8_t, kKeyBlockBytes> block{};
  std::array<uint8_t, kReportDataBytes> buf{};
  DeviceSettings settings;
  const uint8_t byte = 1;
  std::vector<uint8_t> macros(100);
  EXPECT_EQ(proto_.BeginAccess(), kResultNoDevice);
  EXPECT_EQ(proto_.EndAccess(), kResultNoDevice);
  EXPECT_EQ(proto_.ReadSettings(&settings), kResultNoDevice);
  EXPECT_EQ(proto_.WriteSettings(settings), kResultNoDevice);
  EXPECT_EQ(proto_.ReadLighting(buf, 56, 0), kResultNoDevice);
  EXPECT_EQ(proto_.WriteLighting(&byte, 1, 0), kResultNoDevice);
  EXPECT_EQ(proto_.ReadKeyBlock(block, 0), kResultNoDevice);
  EXPECT_EQ(proto_.WriteKeyBlock(block, 0), kResultNoDevice);
  EXPECT_EQ(proto_.ReadMacroArea(macros), kResultNoDevice);
  EXPECT_EQ(proto_.WriteMacroArea(macros), kResultNoDevice);
  EXPECT_EQ(proto_.TestCommand(), kResultNoDevice);
  EXPECT_EQ(proto_.ReadDefaultKeyBlock(block), kResultNoDevice);
  EXPECT_EQ(proto_.ReadColourPage(buf, 54, 0, 0), kResultNoDevice);
  EXPECT_EQ(proto_.WriteColourPage(&byte, 1, 0, 0), kResultNoDevice);
  EXPECT_EQ(proto_.EnterBootMode(), kResultNoDevice);
  EXPECT_EQ(proto_.CurrentProfile(), -1);
  EXPECT_EQ(Keyboard().RequestCount(), 0u);

  CDeviceProtocol no_channel(nullptr, FastTiming());
  no_channel.SetOpen(true);
  EXPECT_EQ(no_channel.TestCommand(), kResultNoDevice);
}

TEST_F(ProtocolTest, BootModeReportHasNoChecksumAndGetsNoReply) {
  EXPECT_EQ(proto_.EnterBootMode(), kResultOk);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][0], 4);
  EXPECT_EQ(sent[0][1], 0);
  EXPECT_EQ(sent[0][2], 0);
  EXPECT_EQ(sent[0][3], 0xEE);
  EXPECT_EQ(sent[0][4], 0xEE);
  EXPECT_TRUE(Keyboard().InBootMode());
  // The boot loader answers nothing: four attempts, then "no reply".
  EXPECT_EQ(proto_.TestCommand(), kResultNoDevice);
  EXPECT_EQ(Keyboard().RequestCount(), 5u);
}

TEST_F(ProtocolTest, RetriesOnlyMissingReplies) {
  SimFaults f;
  f.no_reply = 3;
  SetFaults(f);
  EXPECT_EQ(proto_.TestCommand(), kResultOk);  // the fourth attempt is answered
  EXPECT_EQ(Keyboard().RequestCount(), 4u);

  Keyboard().ClearRequests();
  f.no_reply = 4;
  SetFaults(f);
  EXPECT_EQ(proto_.TestCommand(), kResultNoDevice);
  EXPECT_EQ(Keyboard().RequestCount(), 4u);

  // A write that fails is not retried.
  Keyboard().ClearRequests();
  f = SimFaults{};
  f.refuse_writes = true;
  SetFaults(f);
  EXPECT_EQ(proto_.TestCommand(), kResultNotWritten);
  EXPECT_EQ(proto_.Send(DeviceReport::Request(kCmdTestCommand, 0, 0).bytes.data(), 64),
            kResultNoDevice);
}

TEST_F(ProtocolTest, ProfileCacheAndSelection) {
  EXPECT_EQ(proto_.CachedProfile(), -1);
  EXPECT_EQ(proto_.CurrentProfile(), 0);
  const size_t after_first = Keyboard().RequestCount();
  EXPECT_EQ(proto_.CurrentProfile(), 0);
  EXPECT_EQ(Keyboard().RequestCount(), after_first);  // served from the cache

  ASSERT_EQ(proto_.SelectProfile(2), kResultOk);
  EXPECT_EQ(Keyboard().Memory().settings[10], 2);
  EXPECT_EQ(proto_.CachedProfile(), 2);
  // The rest of the record went back as it was read.
  EXPECT_EQ(Keyboard().Memory().settings[11], 0x40);

  // A failed write empties the cache; a failed read leaves it and the keyboard alone.
  SimFaults f;
  f.error_status = 0xFF;
  f.error_status_count = 1;
  f.error_status_after = 1;
  SetFaults(f);
  EXPECT_EQ(proto_.SelectProfile(1), kResultStatusFailed);
  EXPECT_EQ(proto_.CachedProfile(), -1);
  EXPECT_EQ(Keyboard().Memory().settings[10], 2);
  f.error_status_after = 0;
  SetFaults(f);
  EXPECT_EQ(proto_.CurrentProfile(), -1);
  EXPECT_EQ(proto_.CurrentProfile(), 2);
  proto_.ClearProfileCache();
  EXPECT_EQ(proto_.CachedProfile(), -1);
}

TEST_F(ProtocolTest, ProfileByteAboveTwoCannotBeRead) {
  SimMemory m = Keyboard().Memory();
  m.settings[10] = 7;
  Keyboard().SetMemory(m);
  EXPECT_EQ(proto_.CurrentProfile(), -1);
  EXPECT_EQ(proto_.CachedProfile(), -1);  // nothing cached: the next ask reads again
  DeviceSettings settings;
  ASSERT_EQ(proto_.ReadSettings(&settings), kResultOk);
  EXPECT_EQ(settings.CurrentProfile(), -1);
  m.settings[10] = 2;
  Keyboard().SetMemory(m);
  EXPECT_EQ(proto_.CurrentProfile(), 2);
}

TEST_F(ProtocolTest, ReadLightingCopiesAllDataBytesWhateverTheCount) {
  std::array<uint8_t, kReportDataBytes> buf;
  buf.fill(0xAA);
  ASSERT_EQ(proto_.ReadLighting(buf, 4, 0), kResultOk);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(buf[1], 24);
  EXPECT_TRUE(std::none_of(buf.begin(), buf.end(), [](uint8_t v) { return v == 0xAA; }));
  EXPECT_EQ(Sent().back()[4], 4);
}

TEST_F(ProtocolTest, LateReplyIsNotTakenAsTheNextAnswer) {
  // Every attempt of the first request is answered too late for its read.
  SimFaults f;
  f.late_reply = 4;
  f.late_ms = 1000;  // far longer than all four attempts together
  SetFaults(f);
  DeviceSettings settings;
  EXPECT_EQ(proto_.ReadSettings(&settings), kResultNoDevice);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // all four replies are in now
  std::array<uint8_t, kReportDataBytes> buf{};
  ASSERT_EQ(proto_.ReadLighting(buf, 42, 84), kResultOk);
  EXPECT_EQ(buf[0], 1);   // lighting record 2, not the settings record
  EXPECT_EQ(buf[1], 24);  // the settings record has 5 here
  EXPECT_EQ(buf[11], 0);  // and its macro capacity 0x40 here
}

TEST_F(ProtocolTest, ConcurrentTransactionsKeepTheirOwnReplies) {
  // Replies take a few milliseconds, as a real keyboard's do, so the two threads' requests
  // would overlap without the lock that keeps each request with its reply.
  SimFaults f;
  f.late_reply = -1;
  f.late_ms = 3;
  SetFaults(f);
  std::atomic<int> mismatches{0};
  std::atomic<int> failures{0};
  auto worker = [&](uint8_t command, uint8_t length) {
    for (int i = 0; i < 60; ++i) {
      const DeviceReport req = DeviceReport::Request(command, length, 0);
      DeviceReport reply;
      if (proto_.Transact(req.bytes.data(), 64, reply.bytes.data(), 64) != kResultOk) {
        ++failures;
      } else if (reply.Command() != command) {
        ++mismatches;
      }
    }
  };
  std::thread a(worker, kCmdReadSettings, 0x30);
  std::thread b(worker, kCmdTestCommand, 0);
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace orvane
