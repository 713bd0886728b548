// Which reply answers which request: a keyboard that echoes its requests gets stale replies
// thrown away; one that does not keeps the status-only rule, and its default key block is taken
// only when two reads agree. The keyboard here is scripted per request, so every reply order is
// exact rather than a matter of timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "device/hid_device.h"
#include "device/protocol.h"
#include "sim/sim_backend.h"
#include "tests/platform/hid_fake_backend.h"

namespace orvane {
namespace {

using test::FakeHidBackend;
namespace d = test::descriptors;

constexpr const char* kVendorPath = "/dev/hidraw1#vid_0c45&pid_7650&col01";

CDeviceProtocol::Timing Quick() {
  CDeviceProtocol::Timing t;
  t.write_timeout_ms = 200;
  t.read_timeout_ms = 40;
  t.end_access_pause_ms = 0;
  return t;
}

// The stored default key block of the scripted keyboard: byte i is i * 5 + 3.
uint8_t DefaultByte(size_t i) { return static_cast<uint8_t>(i * 5 + 3); }

class ScriptedKeyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    node_ = backend_.AddNode("/dev/hidraw1", 0x0C45, 0x7650, d::kVendor);
    node_->on_write = [this](const std::vector<uint8_t>& request) {
      const int n = requests_++;
      if (answer_) answer_(n, request);
    };
    ASSERT_TRUE(channel_.Open(kVendorPath, true, true, true, false));
    proto_.SetOpen(true);
  }

  // The reply a correct keyboard gives: echo (unless silent), status 1, the stored bytes.
  static std::vector<uint8_t> Reply(const std::vector<uint8_t>& request, bool echo) {
    std::vector<uint8_t> r(64, 0);
    r[0] = 4;
    if (echo) std::copy(request.begin() + 3, request.begin() + 7, r.begin() + 3);
    r[7] = 1;
    const size_t address = request[5] | (request[6] << 8);
    for (size_t i = 0; i < request[4] && i < 56; ++i) r[8 + i] = DefaultByte(address + i);
    return r;
  }
  void Push(std::vector<uint8_t> report) { FakeHidBackend::Push(*node_, std::move(report)); }

  FakeHidBackend backend_;
  std::shared_ptr<test::FakeNodeShared> node_;
  std::atomic<int> requests_{0};
  std::function<void(int, const std::vector<uint8_t>&)> answer_;
  CHidDevice channel_{&backend_};
  CDeviceProtocol proto_{&channel_, Quick()};
};

std::array<uint8_t, kKeyBlockBytes> StoredDefaults() {
  std::array<uint8_t, kKeyBlockBytes> b{};
  for (size_t i = 0; i < b.size(); ++i) b[i] = DefaultByte(i);
  return b;
}

TEST_F(ScriptedKeyboard, EchoingKeyboardHasStaleRepliesThrownAway) {
  // Before every reply the keyboard sends a late answer to some other request (another
  // address), as a reply that missed its own attempt would arrive.
  std::vector<uint8_t> previous;
  answer_ = [&](int, const std::vector<uint8_t>& request) {
    if (!previous.empty()) {
      std::vector<uint8_t> stale = Reply(previous, true);
      Push(stale);
    }
    Push(Reply(request, true));
    previous = request;
  };
  std::array<uint8_t, kKeyBlockBytes> block{};
  ASSERT_EQ(proto_.ReadDefaultKeyBlock(block), kResultOk);
  EXPECT_EQ(block, StoredDefaults());
  EXPECT_EQ(proto_.EchoMode(), CDeviceProtocol::Echo::Echoes);
  EXPECT_EQ(proto_.StaleReplies(), 6u);  // one before each chunk but the first
  EXPECT_EQ(requests_.load(), 7);        // none of them cost an attempt
}

TEST_F(ScriptedKeyboard, OnlyStaleRepliesMeanNoReplyAfterFourAttempts) {
  answer_ = [&](int n, const std::vector<uint8_t>& request) {
    if (n == 0) {
      Push(Reply(request, true));  // the first reply tells: this keyboard echoes
      return;
    }
    std::vector<uint8_t> other = request;
    other[5] ^= 0x40;  // answers to another address only
    Push(Reply(other, true));
  };
  EXPECT_EQ(proto_.TestCommand(), kResultOk);
  std::array<uint8_t, kReportDataBytes> buf{};
  EXPECT_EQ(proto_.ReadLighting(buf, 42, 0), kResultNoDevice);
  EXPECT_EQ(requests_.load(), 1 + 4);
  EXPECT_EQ(proto_.StaleReplies(), 4u);
}

TEST_F(ScriptedKeyboard, AfterAnAttemptWithoutItsReplyWaitingInputIsDrained) {
  // The first attempt of a request goes unanswered; its answer could still come, so before the
  // next request what is waiting is thrown away, even one that looks like that request's reply.
  answer_ = [&](int n, const std::vector<uint8_t>& request) {
    if (n != 0) Push(Reply(request, true));
  };
  EXPECT_EQ(proto_.TestCommand(), kResultOk);  // answered on the second attempt
  std::vector<uint8_t> lookalike(64, 0);
  lookalike[0] = 4;
  lookalike[3] = kCmdTestCommand;  // echoes the next request, with an error status
  lookalike[7] = 0xFF;
  Push(lookalike);
  EXPECT_EQ(proto_.TestCommand(), kResultOk);
}

TEST_F(ScriptedKeyboard, SilentKeyboardKeepsTheStatusRuleAndNeedsTwoAgreeingReads) {
  // A keyboard that echoes nothing is taken as silent after three requests, each tried twice
  // (what did not echo might have been someone else's late reply).
  answer_ = [&](int, const std::vector<uint8_t>& request) { Push(Reply(request, false)); };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(proto_.TestCommand(), kResultOk);
  EXPECT_EQ(proto_.EchoMode(), CDeviceProtocol::Echo::Silent);
  EXPECT_EQ(requests_.load(), 6);
  EXPECT_EQ(proto_.TestCommand(), kResultOk);  // from now on the first reply is the answer
  EXPECT_EQ(requests_.load(), 7);

  // The first read of the default block gets every chunk one behind (each request answered
  // with the previous one's bytes), the second read is answered correctly.
  requests_ = 0;
  std::vector<uint8_t> previous;
  answer_ = [&](int n, const std::vector<uint8_t>& request) {
    Push(Reply(n > 0 && n < 7 ? previous : request, false));
    previous = request;
  };
  std::array<uint8_t, kKeyBlockBytes> block{};
  block.fill(0xEE);
  EXPECT_EQ(proto_.ReadSteadyDefaultKeyBlock(block), kResultReadsDisagree);
  EXPECT_EQ(proto_.StaleReplies(), 0u);  // nothing can be told stale without an echo
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t v) { return v == 0xEE; }));

  // Answered correctly both times, the block is taken.
  requests_ = 100;
  EXPECT_EQ(proto_.ReadSteadyDefaultKeyBlock(block), kResultOk);
  EXPECT_EQ(block, StoredDefaults());
  EXPECT_EQ(requests_.load(), 100 + 14);

  // A failed read is passed on as it is.
  answer_ = nullptr;
  EXPECT_EQ(proto_.ReadSteadyDefaultKeyBlock(block), kResultNoDevice);
}

TEST_F(ScriptedKeyboard, EchoIsLearntAgainAtEveryConnection) {
  bool echo = false;
  answer_ = [&](int, const std::vector<uint8_t>& request) { Push(Reply(request, echo)); };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(proto_.TestCommand(), kResultOk);
  EXPECT_EQ(proto_.EchoMode(), CDeviceProtocol::Echo::Silent);
  proto_.SetOpen(false);
  EXPECT_EQ(proto_.EchoMode(), CDeviceProtocol::Echo::Silent);  // kept until the next connection
  echo = true;
  proto_.SetOpen(true);
  EXPECT_EQ(proto_.EchoMode(), CDeviceProtocol::Echo::Unknown);
  EXPECT_EQ(proto_.TestCommand(), kResultOk);
  EXPECT_EQ(proto_.EchoMode(), CDeviceProtocol::Echo::Echoes);
}

TEST_F(ScriptedKeyboard, ALateReplyForSomeoneElseDoesNotDecideTheEcho) {
  // Right after connecting, another program's late reply (another command, unrelated bytes)
  // comes in before the keyboard's own answer to our first request.
  answer_ = [&](int n, const std::vector<uint8_t>& request) {
    if (n == 0) {
      std::vector<uint8_t> foreign(64, 0x77);
      foreign[0] = 4;
      foreign[7] = 1;
      Push(foreign);
    }
    Push(Reply(request, true));
  };
  std::array<uint8_t, kKeyBlockBytes> block{};
  ASSERT_EQ(proto_.ReadDefaultKeyBlock(block), kResultOk);
  EXPECT_EQ(block, StoredDefaults());
  EXPECT_EQ(proto_.EchoMode(), CDeviceProtocol::Echo::Echoes);
}

// A transaction on one thread and the channel taken away on another: the protocol must never
// use a channel it read before the change (run under ThreadSanitizer by hand as well).
TEST(ProtocolChannelChange, TransactionsAndSetChannelOnTwoThreads) {
  SimHidBackend backend;
  CDeviceProtocol proto(nullptr, Quick());
  proto.SetOpen(true);
  std::atomic<bool> stop{false};
  std::atomic<int> ok{0}, none{0}, other{0};
  std::thread user([&] {
    while (!stop.load()) {
      const int r = proto.TestCommand();
      if (r == kResultOk) ++ok;
      else if (r == kResultNoDevice) ++none;
      else ++other;
    }
  });
  // Each round waits until the other thread has used the channel, and has found it gone, so
  // the change always falls among running transactions.
  auto wait_for = [](const std::atomic<int>& counter, int above) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (counter.load() <= above && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    return counter.load() > above;
  };
  for (int round = 0; round < 50; ++round) {
    auto channel = std::make_unique<CHidDevice>(&backend);
    if (!channel->Open(backend.NodeName(1) + "#vid_0c45&pid_7650&col02", true, true, true,
                       false)) {
      ADD_FAILURE() << "the vendor collection did not open";
      break;
    }
    const int ok_before = ok.load();
    proto.SetChannel(channel.get());
    EXPECT_TRUE(wait_for(ok, ok_before));
    const int none_before = none.load();
    proto.SetChannel(nullptr);
    channel.reset();  // gone for good: a transaction still holding it would use freed memory
    EXPECT_TRUE(wait_for(none, none_before));
  }
  stop = true;
  user.join();
  EXPECT_EQ(other.load(), 0);
}

}  // namespace
}  // namespace orvane
