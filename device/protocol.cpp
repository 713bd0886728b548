#include "device/protocol.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/tick.h"

namespace orvane {

DeviceReport DeviceReport::Request(uint8_t command, uint8_t length, uint16_t address,
                                   const uint8_t* data, size_t count) {
  DeviceReport r;
  r.bytes[0] = kCommandReportId;
  r.bytes[3] = command;
  r.bytes[4] = length;
  r.bytes[5] = static_cast<uint8_t>(address & 0xFF);
  r.bytes[6] = static_cast<uint8_t>(address >> 8);
  if (data != nullptr && count > 0) std::memcpy(r.Data(), data, std::min(count, kReportDataBytes));
  r.Seal();
  return r;
}

uint16_t DeviceReport::ComputeChecksum() const {
  uint32_t sum = 0;
  for (size_t i = 3; i < kReportBytes; ++i) sum += bytes[i];
  return static_cast<uint16_t>(sum & 0xFFFF);
}

void DeviceReport::Seal() {
  const uint16_t sum = ComputeChecksum();
  bytes[1] = static_cast<uint8_t>(sum & 0xFF);
  bytes[2] = static_cast<uint8_t>(sum >> 8);
}

bool DeviceSettings::HasColourPages() const {
  for (size_t i = 0; i < kModeCount; ++i) {
    if (bytes[kModesOffset + i] == kPerKeyMode) return true;
  }
  return false;
}

int ResultOfStatus(uint8_t status) {
  if (status == 0xFF) return kResultStatusFailed;
  if (status == 0xFE) return kResultStatusBusy;
  return kResultOk;
}

CDeviceProtocol::CDeviceProtocol(CHidDevice* channel) : CDeviceProtocol(channel, Timing{}) {}

CDeviceProtocol::CDeviceProtocol(CHidDevice* channel, const Timing& timing)
    : channel_(channel), timing_(timing) {}

void CDeviceProtocol::SetChannel(CHidDevice* channel) {
  std::lock_guard<std::mutex> lock(io_mutex_);
  channel_ = channel;
  echo_.store(Echo::Unknown);
  connection_.fetch_add(1);
}

CHidDevice* CDeviceProtocol::Channel() const {
  std::lock_guard<std::mutex> lock(io_mutex_);
  return channel_;
}

void CDeviceProtocol::SetOpen(bool open) {
  if (open && !open_.load()) {
    echo_.store(Echo::Unknown);
    connection_.fetch_add(1);
  }
  open_.store(open);
}

namespace {

using Clock = std::chrono::steady_clock;

// The innermost exchange scope of this thread, whichever protocol it belongs to.
thread_local CDeviceProtocol::Exchange* t_innermost = nullptr;

// Command, length and address of the reply are those of the request.
bool EchoesRequest(const std::array<uint8_t, kReportBytes>& request,
                   const std::array<uint8_t, kReportBytes>& reply) {
  return std::equal(request.begin() + 3, request.begin() + 7, reply.begin() + 3);
}

void CopyReply(const std::array<uint8_t, kReportBytes>& in, uint8_t* reply, size_t reply_size) {
  if (reply == nullptr || reply_size == 0) return;
  const size_t n = std::min(reply_size, in.size());
  std::memcpy(reply, in.data(), n);
  if (reply_size > n) std::memset(reply + n, 0, reply_size - n);
}

int MsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

CDeviceProtocol::Exchange::Exchange(CDeviceProtocol& protocol)
    : protocol_(protocol), outer_(t_innermost) {
  t_innermost = this;
}

CDeviceProtocol::Exchange::~Exchange() {
  t_innermost = outer_;  // scopes end in the reverse order they began on their thread
  if (holds_) protocol_.GiveTurn();
}

CDeviceProtocol::Exchange* CDeviceProtocol::Exchange::Outermost() {
  Exchange* found = this;
  for (Exchange* e = outer_; e != nullptr; e = e->outer_)
    if (&e->protocol_ == &protocol_) found = e;
  return found;
}

bool CDeviceProtocol::Exchange::Busy() const {
  return const_cast<Exchange*>(this)->Outermost()->busy_;
}

bool CDeviceProtocol::TakeTurn() {
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timing_.busy_wait_ms, 0));
  {
    std::unique_lock<std::mutex> lock(turn_mutex_);
    if (!turn_cv_.wait_until(lock, deadline, [this] { return !turn_taken_; })) return false;
    turn_taken_ = true;
  }
  std::string key;
  {
    std::lock_guard<std::mutex> lock(io_mutex_);
    if (channel_ != nullptr) key = channel_->SharedDevicePath();
  }
  turn_locked_file_ = false;
  if (!key.empty()) {
    if (!lock_file_ || lock_key_ != key) {
      lock_file_ = KeyboardLockFile::Open(key);
      lock_key_ = key;
    }
    // Without a lock file (no runtime folder to write in) the keyboard stays usable, unguarded
    // against other processes.
    if (lock_file_) {
      if (!lock_file_->Lock(MsLeft(deadline))) {
        GiveTurn();
        return false;
      }
      turn_locked_file_ = true;
    }
  }
  return true;
}

void CDeviceProtocol::GiveTurn() {
  if (turn_locked_file_) lock_file_->Unlock();
  turn_locked_file_ = false;
  {
    std::lock_guard<std::mutex> lock(turn_mutex_);
    turn_taken_ = false;
  }
  turn_cv_.notify_one();
}

template <typename Body>
int CDeviceProtocol::WithTurn(Body body) {
  Exchange* scope = nullptr;
  for (Exchange* e = t_innermost; e != nullptr; e = e->outer_)
    if (&e->protocol_ == this) scope = e;
  if (scope == nullptr) {
    if (!TakeTurn()) return kResultKeyboardBusy;
    const int result = body();
    GiveTurn();
    return result;
  }
  if (scope->busy_) return kResultKeyboardBusy;
  if (!scope->holds_) {
    if (!TakeTurn()) {
      scope->busy_ = true;
      return kResultKeyboardBusy;
    }
    scope->holds_ = true;
  }
  return body();
}

int CDeviceProtocol::Transact(const uint8_t* request, size_t length, uint8_t* reply,
                              size_t reply_size) {
  if (!open_.load()) return kResultNoDevice;
  std::array<uint8_t, kReportBytes> out{};
  if (request != nullptr) std::memcpy(out.data(), request, std::min(length, kReportBytes));
  return WithTurn([&] { return TransactHeld(out, reply, reply_size); });
}

int CDeviceProtocol::TransactHeld(const std::array<uint8_t, kReportBytes>& out, uint8_t* reply,
                                  size_t reply_size) {
  std::array<uint8_t, kReportBytes> in{};
  for (int attempt = 0; attempt < timing_.attempts; ++attempt) {
    std::lock_guard<std::mutex> lock(io_mutex_);
    CHidDevice* channel = channel_;
    if (channel == nullptr) return kResultNoDevice;
    if (learnt_for_ != connection_.load()) {
      learnt_for_ = connection_.load();
      sent_count_ = 0;
      silent_requests_ = 0;
      drain_until_ = {};
    }
    // Whatever is waiting now answered an earlier attempt or request; it is not this reply. A
    // keyboard that echoes needs no drain while nothing of ours can still be on its way: a reply
    // for someone else's request does not echo ours and is thrown away below.
    if (echo_.load() != Echo::Echoes || Clock::now() < drain_until_) channel->DrainInput();
    size_t written = 0;
    if (!channel->WriteReport(out.data(), out.size(), &written, timing_.write_timeout_ms) ||
        written < out.size()) {
      return kResultNotWritten;
    }
    RememberSent(out);
    // The read time is the attempt's, however many stale replies come in meanwhile.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timing_.read_timeout_ms);
    int wait = timing_.read_timeout_ms;
    bool have_candidate = false;
    std::array<uint8_t, kReportBytes> candidate{};
    for (;;) {
      size_t got = 0;
      if (!channel->ReadReport(in.data(), in.size(), &got, wait) || got == 0) {
        drain_until_ = Clock::now() + kLateReplyWindow;  // this attempt's reply may still come
        // A first attempt that brought only such replies is tried again: what did not echo may
        // have been another program's late reply, and ours may still come.
        if (!have_candidate || (attempt == 0 && timing_.attempts > 1)) break;
        // Nothing echoed this request in two attempts: the keyboard may not echo at all.
        if (++silent_requests_ >= kSilentRequestsToDecide) echo_.store(Echo::Silent);
        CopyReply(candidate, reply, reply_size);
        return kResultOk;
      }
      const bool echoes = EchoesRequest(out, in);
      const Echo mode = echo_.load();
      if (echoes || mode == Echo::Silent) {
        if (echoes && mode == Echo::Unknown) echo_.store(Echo::Echoes);
        CopyReply(in, reply, reply_size);
        return kResultOk;
      }
      if (mode == Echo::Unknown && EchoesEarlierRequest(in)) echo_.store(Echo::Echoes);
      if (echo_.load() == Echo::Echoes) {
        stale_replies_.fetch_add(1);
        drain_until_ = Clock::now() + kLateReplyWindow;  // more of them may follow
      } else {
        // Not known yet: perhaps a late reply meant for another program; the rest of the
        // attempt may still bring one that echoes this request.
        have_candidate = true;
        candidate = in;  // the latest: late ones come first
      }
      wait = MsLeft(deadline);
    }
  }
  return kResultNoDevice;
}

void CDeviceProtocol::RememberSent(const std::array<uint8_t, kReportBytes>& out) {
  std::array<uint8_t, 4> header{};
  std::copy(out.begin() + 3, out.begin() + 7, header.begin());
  sent_[sent_count_ % sent_.size()] = header;
  ++sent_count_;
}

bool CDeviceProtocol::EchoesEarlierRequest(const std::array<uint8_t, kReportBytes>& in) const {
  const size_t known = std::min(sent_count_, sent_.size());
  for (size_t i = 0; i < known; ++i)
    if (std::equal(sent_[i].begin(), sent_[i].end(), in.begin() + 3)) return true;
  return false;
}

int CDeviceProtocol::Send(const uint8_t* request, size_t length) {
  if (!open_.load()) return kResultNoDevice;
  std::array<uint8_t, kReportBytes> out{};
  if (request != nullptr) std::memcpy(out.data(), request, std::min(length, kReportBytes));
  return WithTurn([&] {
    std::lock_guard<std::mutex> lock(io_mutex_);
    if (channel_ == nullptr) return kResultNoDevice;
    size_t written = 0;
    const bool ok =
        channel_->WriteReport(out.data(), out.size(), &written, timing_.write_timeout_ms);
    return ok && written >= out.size() ? kResultOk : kResultNoDevice;
  });
}

int CDeviceProtocol::Command(uint8_t command, uint8_t length, uint16_t address,
                             const uint8_t* data, size_t count, DeviceReport* reply) {
  const DeviceReport request = DeviceReport::Request(command, length, address, data, count);
  DeviceReport scratch;
  DeviceReport* answer = reply != nullptr ? reply : &scratch;
  const int result = Transact(request.bytes.data(), request.bytes.size(), answer->bytes.data(),
                              answer->bytes.size());
  if (result != kResultOk) return result;
  return ResultOfStatus(answer->Status());
}

int CDeviceProtocol::ChunkedRead(uint8_t command, uint16_t base, uint8_t* buffer, size_t total) {
  DeviceReport reply;
  for (size_t offset = 0; offset < total; offset += kReportDataBytes) {
    const size_t chunk = std::min(kReportDataBytes, total - offset);
    const int result = Command(command, static_cast<uint8_t>(chunk),
                               static_cast<uint16_t>(base + offset), nullptr, 0, &reply);
    if (result != kResultOk) return result;
    std::memcpy(buffer + offset, reply.Data(), chunk);
  }
  return kResultOk;
}

int CDeviceProtocol::ChunkedWrite(uint8_t command, uint16_t base, const uint8_t* buffer,
                                  size_t total) {
  for (size_t offset = 0; offset < total; offset += kReportDataBytes) {
    const size_t chunk = std::min(kReportDataBytes, total - offset);
    const int result = Command(command, static_cast<uint8_t>(chunk),
                               static_cast<uint16_t>(base + offset), buffer + offset, chunk, nullptr);
    if (result != kResultOk) return result;
  }
  return kResultOk;
}

int CDeviceProtocol::BeginAccess() { return Command(kCmdBeginAccess, 0, 0, nullptr, 0, nullptr); }

int CDeviceProtocol::EndAccess() {
  // Without the pause the keyboard can miss the end of a write sequence.
  if (open_.load() && timing_.end_access_pause_ms > 0) SleepMs(timing_.end_access_pause_ms);
  return Command(kCmdEndAccess, 0, 0, nullptr, 0, nullptr);
}

int CDeviceProtocol::ReadSettings(DeviceSettings* settings) {
  DeviceReport reply;
  const int result = Command(kCmdReadSettings, kSettingsBytes, 0, nullptr, 0, &reply);
  if (result == kResultOk && settings != nullptr) {
    std::memcpy(settings->bytes.data(), reply.Data(), kSettingsBytes);
  }
  return result;
}

int CDeviceProtocol::WriteSettings(const DeviceSettings& settings) {
  return Command(kCmdWriteSettings, kSettingsBytes, 0, settings.bytes.data(), kSettingsBytes,
                 nullptr);
}

int CDeviceProtocol::ReadLighting(std::span<uint8_t, kReportDataBytes> buffer, uint8_t count,
                                  uint16_t address) {
  DeviceReport reply;
  const int result = Command(kCmdReadLighting, count, address, nullptr, 0, &reply);
  if (result == kResultOk) std::memcpy(buffer.data(), reply.Data(), kReportDataBytes);
  return result;
}

int CDeviceProtocol::WriteLighting(const uint8_t* bytes, size_t count, uint16_t address) {
  if (count > kReportDataBytes || (bytes == nullptr && count > 0)) return kResultBadArgument;
  return Command(kCmdWriteLighting, static_cast<uint8_t>(count), address, bytes, count, nullptr);
}

int CDeviceProtocol::ReadKeyBlock(std::span<uint8_t, kKeyBlockBytes> buffer, int block) {
  if (block < 0 || block > 2) return kResultBadArgument;
  return ChunkedRead(kCmdReadKeyBlock, static_cast<uint16_t>(block * 512), buffer.data(),
                     kKeyBlockBytes);
}

int CDeviceProtocol::WriteKeyBlock(std::span<const uint8_t, kKeyBlockBytes> buffer, int block) {
  if (block < 0 || block > 2) return kResultBadArgument;
  return ChunkedWrite(kCmdWriteKeyBlock, static_cast<uint16_t>(block * 512), buffer.data(),
                      kKeyBlockBytes);
}

// Offsets travel in 16 bits: an area past 64 KiB cannot be addressed.
int CDeviceProtocol::ReadMacroArea(std::span<uint8_t> buffer) {
  if (buffer.empty()) return kResultOk;
  if (buffer.size() > 0x10000) return kResultBadArgument;
  return ChunkedRead(kCmdReadMacroArea, 0, buffer.data(), buffer.size());
}

int CDeviceProtocol::WriteMacroArea(std::span<const uint8_t> buffer) {
  if (buffer.empty()) return kResultOk;
  if (buffer.size() > 0x10000) return kResultBadArgument;
  return ChunkedWrite(kCmdWriteMacroArea, 0, buffer.data(), buffer.size());
}

int CDeviceProtocol::TestCommand() { return Command(kCmdTestCommand, 0, 0, nullptr, 0, nullptr); }

int CDeviceProtocol::ReadDefaultKeyBlock(std::span<uint8_t, kKeyBlockBytes> buffer) {
  return ChunkedRead(kCmdReadDefaultKeyBlock, 0, buffer.data(), kKeyBlockBytes);
}

int CDeviceProtocol::ReadSteadyDefaultKeyBlock(std::span<uint8_t, kKeyBlockBytes> buffer) {
  // A keyboard that does not echo its requests cannot tell a late reply from a fresh one, and a
  // shifted chunk would then decide every key of every profile: two reads must agree.
  std::array<uint8_t, kKeyBlockBytes> first{};
  int result = ReadDefaultKeyBlock(first);
  if (result != kResultOk) return result;
  std::array<uint8_t, kKeyBlockBytes> second{};
  result = ReadDefaultKeyBlock(second);
  if (result != kResultOk) return result;
  if (first != second) return kResultReadsDisagree;
  std::copy(first.begin(), first.end(), buffer.begin());
  return kResultOk;
}

namespace {
// page x 256 + offset must fit the 16-bit address.
bool ColourAddress(int page, uint16_t offset, uint16_t* address) {
  if (page < 0) return false;
  const long value = static_cast<long>(page) * 256 + offset;
  if (value > 0xFFFF) return false;
  *address = static_cast<uint16_t>(value);
  return true;
}
}  // namespace

int CDeviceProtocol::ReadColourPage(std::span<uint8_t, kReportDataBytes> buffer, uint8_t count,
                                    uint16_t offset, int page) {
  uint16_t address = 0;
  if (!ColourAddress(page, offset, &address)) return kResultBadArgument;
  DeviceReport reply;
  const int result = Command(kCmdReadColourPage, count, address, nullptr, 0, &reply);
  if (result == kResultOk) std::memcpy(buffer.data(), reply.Data(), kReportDataBytes);
  return result;
}

int CDeviceProtocol::WriteColourPage(const uint8_t* bytes, size_t count, uint16_t offset,
                                     int page) {
  uint16_t address = 0;
  if (count > kReportDataBytes || (bytes == nullptr && count > 0) ||
      !ColourAddress(page, offset, &address)) {
    return kResultBadArgument;
  }
  return Command(kCmdWriteColourPage, static_cast<uint8_t>(count), address, bytes, count, nullptr);
}

int CDeviceProtocol::EnterBootMode() {
  // The boot loader takes this report as it stands: no checksum, no reply.
  std::array<uint8_t, kReportBytes> report{};
  report[0] = kCommandReportId;
  report[3] = kCmdEnterBootMode;
  report[4] = kCmdEnterBootMode;
  return Send(report.data(), report.size());
}

int CDeviceProtocol::CurrentProfile() {
  const int cached = cached_profile_.load();
  if (cached >= 0) return cached;
  DeviceSettings settings;
  if (ReadSettings(&settings) != kResultOk) return -1;
  const int profile = settings.CurrentProfile();
  if (profile < 0) return -1;
  cached_profile_.store(profile);
  return profile;
}

int CDeviceProtocol::SelectProfile(int profile) {
  // Only the three on-board profiles exist; anything else would be written into the keyboard.
  if (profile < 0 || profile > 2) return kResultBadArgument;
  DeviceSettings settings;
  const int read = ReadSettings(&settings);
  if (read != kResultOk) return read;
  settings.bytes[DeviceSettings::kProfileByte] = static_cast<uint8_t>(profile);
  const int result = WriteSettings(settings);
  cached_profile_.store(result == kResultOk ? profile : -1);
  return result;
}

}  // namespace orvane
