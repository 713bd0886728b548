// The keyboard's command protocol: every request is one 64-byte report on the vendor collection
// (report ID 4, checksum, command, length, address, status, 56 data bytes), answered by one
// 64-byte reply. CDeviceProtocol frames, checksums and exchanges these reports with time-outs and
// retries over the command channel and offers every command the keyboard knows, with the result
// codes the rest of the program tests (1 success; 0 no keyboard / no reply; -1 not written;
// -102 / -103 the keyboard's error statuses 0xFF / 0xFE; -105 two reads of the same memory
// disagreed; -201 bad argument, nothing sent).
//
// Replies: a keyboard that echoes command, length and address in its replies gets every reply
// checked against its request; for one that does not echo, a reply is its request's answer
// because it came, with only its status byte looked at. Which kind it is, is learnt anew at each
// connection: a reply that echoes its own request, or an earlier request of this connection,
// tells "echoes"; three requests whose attempts brought only replies that echo nothing we sent
// tell "silent" (until then such a reply is taken, as a silent keyboard's would be, but only
// after a second attempt brought nothing better: a late reply meant for another program must not
// decide it). With an echoing keyboard, a reply that does not echo its request is a late
// answer to an earlier one: it is thrown away and the wait goes on within the attempt's read time.
// Input already waiting is drained before an attempt, at most once per attempt: always while
// the keyboard is not known to echo, and for an echoing one only while a reply of ours may still
// be on its way (for 3 s after an attempt ended without its reply, or after stale replies).
//
// Exchanges: every command runs inside an exchange with the keyboard that no other thread of this
// process and no other Orvane process of this user can come between (a lock in the per-user
// runtime folder, keyed by the keyboard's interface path, shared by every process). A command
// sequence that must stay whole opens a CDeviceProtocol::Exchange; a command outside one is an
// exchange of its own. Whoever finds the keyboard taken waits up to 5 s, then gets -301.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "device/hid_device.h"
#include "device/keyboard_format.h"
#include "platform/keyboard_lock.h"

namespace orvane {

constexpr int kResultOk = 1;
constexpr int kResultNoDevice = 0;  // no keyboard open, or no reply in four attempts
constexpr int kResultNotWritten = -1;
constexpr int kResultStatusFailed = -102;  // reply status 0xFF
constexpr int kResultStatusBusy = -103;    // reply status 0xFE
constexpr int kResultReadsDisagree = -105; // two reads of the same memory gave different bytes
// Another Orvane program (or another thread of this one) kept the keyboard for the whole wait;
// nothing was sent.
constexpr int kResultKeyboardBusy = -301;
// The language text that tells the user so.
constexpr const char* kTextKeyboardBusy = "MAIN_DEVICE_BUSY_PROMPT";
constexpr int kResultBadArgument = -201;


enum DeviceCommand : uint8_t {
  kCmdBeginAccess = 0x01,
  kCmdEndAccess = 0x02,
  kCmdReadSettings = 0x03,
  kCmdWriteSettings = 0x04,
  kCmdReadLighting = 0x05,
  kCmdWriteLighting = 0x06,
  kCmdReadKeyBlock = 0x07,
  kCmdWriteKeyBlock = 0x08,
  kCmdReadMacroArea = 0x09,
  kCmdWriteMacroArea = 0x0A,
  kCmdTestCommand = 0x0D,
  kCmdReadDefaultKeyBlock = 0x0F,
  kCmdReadColourPage = 0x10,
  kCmdWriteColourPage = 0x11,
  kCmdEnterBootMode = 0xEE,
};

// One request or reply report.
struct DeviceReport {
  std::array<uint8_t, kReportBytes> bytes{};

  // A zeroed request with report ID, command, length, address and up to 56 data bytes, checksum
  // computed last.
  static DeviceReport Request(uint8_t command, uint8_t length, uint16_t address,
                              const uint8_t* data = nullptr, size_t count = 0);

  // Sum of bytes 3 to 63 as unsigned bytes, modulo 65,536.
  uint16_t ComputeChecksum() const;
  void Seal();  // stores ComputeChecksum() in bytes 1-2
  uint16_t Checksum() const { return static_cast<uint16_t>(bytes[1] | (bytes[2] << 8)); }
  uint8_t Command() const { return bytes[3]; }
  uint8_t Length() const { return bytes[4]; }
  uint16_t Address() const { return static_cast<uint16_t>(bytes[5] | (bytes[6] << 8)); }
  uint8_t Status() const { return bytes[7]; }
  const uint8_t* Data() const { return bytes.data() + 8; }
  uint8_t* Data() { return bytes.data() + 8; }
};

// The keyboard's 48-byte settings record.
struct DeviceSettings {
  std::array<uint8_t, kSettingsBytes> bytes{};

  static constexpr size_t kProfileByte = 10;
  static constexpr size_t kCapacityByte = 11;
  static constexpr size_t kModesOffset = 16;
  static constexpr size_t kModeCount = 32;
  static constexpr uint8_t kPerKeyMode = 0xFE;

  // 0 to 2; -1 for a byte the keyboard cannot mean (above 2).
  int CurrentProfile() const { return bytes[kProfileByte] <= 2 ? bytes[kProfileByte] : -1; }
  size_t MacroCapacityBytes() const { return size_t{bytes[kCapacityByte]} * 128; }
  uint8_t Mode(size_t slot) const { return slot < kModeCount ? bytes[kModesOffset + slot] : 0; }
  // True when the mode list offers the per-key user mode (and so the colour pages exist).
  bool HasColourPages() const;
};

class CDeviceProtocol {
 public:
  // Write 1,000 ms, read 300 ms, four attempts, 10 ms before EndAccess; tests shorten them.
  struct Timing {
    int write_timeout_ms = 1000;
    int read_timeout_ms = 300;
    int attempts = 4;
    uint32_t end_access_pause_ms = 10;
    int busy_wait_ms = 5000;  // how long an exchange waits for whoever has the keyboard
  };

  // A sequence of commands kept whole (see the top of this file). The keyboard is taken at the
  // first command sent inside the scope and let go when the thread's outermost scope on this
  // protocol ends, so a scope that sends nothing takes nothing; scopes nest. Lives on one thread.
  class Exchange {
   public:
    explicit Exchange(CDeviceProtocol& protocol);
    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;
    // True once a command of this exchange found the keyboard taken for the whole wait; every
    // later command of the exchange then returns -301 at once, without waiting again.
    bool Busy() const;

   private:
    friend class CDeviceProtocol;
    Exchange* Outermost();
    CDeviceProtocol& protocol_;
    Exchange* outer_;   // the thread's enclosing scope (of any protocol)
    bool holds_ = false;
    bool busy_ = false;
  };

  explicit CDeviceProtocol(CHidDevice* channel = nullptr);
  CDeviceProtocol(CHidDevice* channel, const Timing& timing);

  // The command channel; set before the open flag is raised. Waits for a transaction attempt
  // that is using the old channel, so the old one may be destroyed once this returns.
  void SetChannel(CHidDevice* channel);
  CHidDevice* Channel() const;
  // The open flag: the presence monitor raises it while the channel is open on the keyboard.
  // While it is clear every operation returns 0 without any I/O. Raising it starts a new
  // connection: whether the keyboard echoes its requests is learnt again from its first reply.
  void SetOpen(bool open);
  bool IsOpen() const { return open_.load(); }
  // What the replies of this connection told so far (see the top of this file).
  enum class Echo { Unknown, Echoes, Silent };
  Echo EchoMode() const { return echo_.load(); }
  // Replies thrown away because they answered an earlier request (since construction).
  uint64_t StaleReplies() const { return stale_replies_.load(); }
  const Timing& GetTiming() const { return timing_; }

  // One request, one reply: 1 with the reply in reply (up to reply_size bytes), 0 when no reply
  // came in all attempts, -1 when a write failed. Requests are padded or cut to 64 bytes.
  int Transact(const uint8_t* request, size_t length, uint8_t* reply, size_t reply_size);
  // One request, no reply read: 1 when the 64 bytes were written, else 0.
  int Send(const uint8_t* request, size_t length);

  int BeginAccess();
  int EndAccess();  // pauses 10 ms first
  int ReadSettings(DeviceSettings* settings);
  int WriteSettings(const DeviceSettings& settings);
  // Reads count bytes at address in the lighting space; all 56 reply data bytes land in buffer.
  int ReadLighting(std::span<uint8_t, kReportDataBytes> buffer, uint8_t count, uint16_t address);
  int WriteLighting(const uint8_t* bytes, size_t count, uint16_t address);
  int ReadKeyBlock(std::span<uint8_t, kKeyBlockBytes> buffer, int block);
  int WriteKeyBlock(std::span<const uint8_t, kKeyBlockBytes> buffer, int block);
  int ReadMacroArea(std::span<uint8_t> buffer);
  int WriteMacroArea(std::span<const uint8_t> buffer);
  int TestCommand();
  int ReadDefaultKeyBlock(std::span<uint8_t, kKeyBlockBytes> buffer);
  // The default key block as the program takes it on arrival: read twice, and 1 only when both
  // reads succeeded and gave the same bytes (-105 when they differ); buffer is changed only on 1.
  int ReadSteadyDefaultKeyBlock(std::span<uint8_t, kKeyBlockBytes> buffer);
  int ReadColourPage(std::span<uint8_t, kReportDataBytes> buffer, uint8_t count, uint16_t offset,
                     int page);
  // page: the profile the main window shows, which the caller passes in.
  int WriteColourPage(const uint8_t* bytes, size_t count, uint16_t offset, int page);
  int EnterBootMode();

  // The keyboard's current on-board profile: the cached value, or byte 10 of a fresh settings
  // read (cached). -1 when that read fails or the byte is not 0 to 2 (nothing is cached then).
  int CurrentProfile();
  // Makes profile (0-2) the keyboard's current one through the settings record.
  int SelectProfile(int profile);
  void ClearProfileCache() { cached_profile_.store(-1); }
  int CachedProfile() const { return cached_profile_.load(); }

 private:
  // One single-request command: Transact, then the reply status mapped to a result code.
  int Command(uint8_t command, uint8_t length, uint16_t address, const uint8_t* data,
              size_t count, DeviceReport* reply);
  int ChunkedRead(uint8_t command, uint16_t base, uint8_t* buffer, size_t total);
  int ChunkedWrite(uint8_t command, uint16_t base, const uint8_t* buffer, size_t total);
  // The attempts of one transaction; the caller has the keyboard.
  int TransactHeld(const std::array<uint8_t, kReportBytes>& out, uint8_t* reply, size_t reply_size);
  // With io_mutex_ held: the requests sent in this connection (their command, length and
  // address; the last few), and whether a reply echoes one of them.
  void RememberSent(const std::array<uint8_t, kReportBytes>& out);
  bool EchoesEarlierRequest(const std::array<uint8_t, kReportBytes>& in) const;
  static constexpr int kSilentRequestsToDecide = 3;
  // Takes the keyboard for the calling thread: waits for other threads of this process, then for
  // other processes; false after busy_wait_ms. GiveTurn lets go.
  bool TakeTurn();
  void GiveTurn();
  // Runs body with the keyboard: inside the thread's exchange scope if it has one, else alone.
  template <typename Body>
  int WithTurn(Body body);

  // Guarded by io_mutex_: read and used only with it held.
  CHidDevice* channel_;
  Timing timing_;
  std::atomic<bool> open_{false};
  std::atomic<int> cached_profile_{-1};
  std::atomic<Echo> echo_{Echo::Unknown};
  std::atomic<uint64_t> connection_{0};  // bumped at every new connection
  // Guarded by io_mutex_: what echo learning has seen in connection learnt_for_.
  uint64_t learnt_for_ = 0;
  std::array<std::array<uint8_t, 4>, 16> sent_{};
  size_t sent_count_ = 0;
  int silent_requests_ = 0;
  // Until then a reply of ours may still be on its way (an attempt ended without its reply, or
  // stale replies came in, within the last kLateReplyWindow): attempts drain first.
  std::chrono::steady_clock::time_point drain_until_{};
  static constexpr std::chrono::milliseconds kLateReplyWindow{3000};
  std::atomic<uint64_t> stale_replies_{0};
  // Held across one whole write-and-read attempt, so a reply always belongs to its request even
  // when two threads transact at once, and the channel cannot change under an attempt.
  mutable std::mutex io_mutex_;

  // Whose turn it is. lock_file_ and lock_key_ belong to the thread that has the turn.
  std::mutex turn_mutex_;
  std::condition_variable turn_cv_;
  bool turn_taken_ = false;
  bool turn_locked_file_ = false;
  std::unique_ptr<KeyboardLockFile> lock_file_;
  std::string lock_key_;
};

// The result code a reply status stands for.
int ResultOfStatus(uint8_t status);

}  // namespace orvane
