#include "sim/sim_keyboard.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace orvane {

namespace {

constexpr size_t kLogLimit = 8192;  // the log keeps the newest requests; the count keeps growing

constexpr uint8_t kCmdBeginAccess = 0x01;
constexpr uint8_t kCmdEndAccess = 0x02;
constexpr uint8_t kCmdReadSettings = 0x03;
constexpr uint8_t kCmdWriteSettings = 0x04;
constexpr uint8_t kCmdReadLighting = 0x05;
constexpr uint8_t kCmdWriteLighting = 0x06;
constexpr uint8_t kCmdReadKeyBlock = 0x07;
constexpr uint8_t kCmdWriteKeyBlock = 0x08;
constexpr uint8_t kCmdReadMacro = 0x09;
constexpr uint8_t kCmdWriteMacro = 0x0A;
constexpr uint8_t kCmdTest = 0x0D;
constexpr uint8_t kCmdReadDefaultBlock = 0x0F;
constexpr uint8_t kCmdReadColour = 0x10;
constexpr uint8_t kCmdWriteColour = 0x11;
constexpr uint8_t kCmdBootMode = 0xEE;

// A read that starts inside a space returns its bytes and zeros past the end; one that starts
// outside fails.
uint8_t ReadSpace(const uint8_t* space, size_t space_size, size_t address, size_t count,
                  uint8_t* out) {
  if (address >= space_size) return kSimStatusFailed;
  count = std::min(count, kReportDataBytes);
  const size_t n = std::min(count, space_size - address);
  std::memcpy(out, space + address, n);
  return kSimStatusOk;
}

// A write must fit the space entirely; otherwise nothing is stored.
uint8_t WriteSpace(uint8_t* space, size_t space_size, size_t address, size_t count,
                   const uint8_t* data) {
  if (count > kReportDataBytes || address > space_size || count > space_size - address) {
    return kSimStatusFailed;
  }
  std::memcpy(space + address, data, count);
  return kSimStatusOk;
}

bool CountDown(int* counter) {
  if (*counter == 0) return false;
  if (*counter > 0) --*counter;
  return true;
}

}  // namespace

CSimKeyboard::CSimKeyboard() : memory_(SimMemory::Factory()) {}
CSimKeyboard::CSimKeyboard(SimMemory memory) : memory_(std::move(memory)) { memory_.FitMacroArea(); }

uint16_t CSimKeyboard::Checksum(const uint8_t* report64) {
  uint32_t sum = 0;
  for (size_t i = 3; i < kReportBytes; ++i) sum += report64[i];
  return static_cast<uint16_t>(sum & 0xFFFF);
}

SimReport CSimKeyboard::ConsumerReport(uint16_t usage) {
  SimReport r{};
  r[0] = kSimConsumerReportId;
  r[1] = static_cast<uint8_t>(usage & 0xFF);
  r[2] = static_cast<uint8_t>(usage >> 8);
  return r;
}

SimOutcome CSimKeyboard::HandleRequest(const uint8_t* data, size_t size) {
  SimOutcome outcome;
  if (data == nullptr || size == 0 || data[0] != kCommandReportId) return outcome;
  SimReport request{};
  std::memcpy(request.data(), data, std::min(size, kReportBytes));

  std::lock_guard<std::mutex> lock(mutex_);
  if (requests_.size() >= kLogLimit) requests_.erase(requests_.begin(), requests_.begin() + kLogLimit / 2);
  requests_.push_back(request);
  ++total_requests_;
  if (memory_.boot_mode != 0) return outcome;  // the boot loader does not speak this protocol

  if (faults_.vanish_after == 0) {
    faults_.vanish_after = -1;
    outcome.vanish = true;
    return outcome;
  }
  if (faults_.vanish_after > 0) --faults_.vanish_after;
  if (CountDown(&faults_.no_reply)) return outcome;

  SimReport reply{};
  reply[0] = kCommandReportId;
  if (!faults_.no_echo) std::memcpy(&reply[3], &request[3], 4);  // command, length, address
  bool error_now = false;
  if (faults_.error_status_after > 0) {
    --faults_.error_status_after;
  } else {
    error_now = CountDown(&faults_.error_status_count);
  }
  if (error_now) {
    reply[7] = faults_.error_status;
  } else if (request[3] == kCmdBootMode) {
    memory_.boot_mode = 1;  // off to the boot loader: no answer
    return outcome;
  } else if (Checksum(request.data()) != (request[1] | (request[2] << 8))) {
    reply[7] = kSimStatusFailed;
  } else {
    reply[7] = Execute(request.data(), &reply[8]);
  }
  const uint16_t sum = Checksum(reply.data());
  reply[1] = static_cast<uint8_t>(sum & 0xFF);
  reply[2] = static_cast<uint8_t>(sum >> 8);
  if (CountDown(&faults_.late_reply)) outcome.delay_ms = faults_.late_ms;
  outcome.reply = reply;
  return outcome;
}

uint8_t CSimKeyboard::Execute(const uint8_t* request, uint8_t* reply_data) {
  const uint8_t command = request[3];
  const size_t count = request[4];
  const size_t address = size_t{request[5]} | (size_t{request[6]} << 8);
  const uint8_t* data = request + 8;
  switch (command) {
    case kCmdBeginAccess:
    case kCmdEndAccess:
    case kCmdTest:
      return kSimStatusOk;
    case kCmdReadSettings:
      std::memcpy(reply_data, memory_.settings.data(), kSettingsBytes);
      return kSimStatusOk;
    case kCmdWriteSettings:
      if (count != kSettingsBytes || address != 0) return kSimStatusFailed;
      std::memcpy(memory_.settings.data(), data, kSettingsBytes);
      memory_.FitMacroArea();
      return kSimStatusOk;
    case kCmdReadLighting:
    case kCmdWriteLighting: {
      uint8_t* space = memory_.lighting[0].data();
      const size_t size = kSimProfiles * kLightingRecordBytes;  // records are contiguous
      return command == kCmdReadLighting ? ReadSpace(space, size, address, count, reply_data)
                                         : WriteSpace(space, size, address, count, data);
    }
    case kCmdReadKeyBlock:
    case kCmdWriteKeyBlock: {
      const size_t block = address >> 9;
      const size_t offset = address & 0x1FF;
      if (block >= kSimKeyBlocks || count > kReportDataBytes ||
          offset + count > kKeyBlockBytes) {
        return kSimStatusFailed;
      }
      uint8_t* space = memory_.key_blocks[block].data();
      return command == kCmdReadKeyBlock
                 ? ReadSpace(space, kKeyBlockBytes, offset, count, reply_data)
                 : WriteSpace(space, kKeyBlockBytes, offset, count, data);
    }
    case kCmdReadDefaultBlock:
      if (count > kReportDataBytes || address + count > kKeyBlockBytes) return kSimStatusFailed;
      return ReadSpace(memory_.default_key_block.data(), kKeyBlockBytes, address, count, reply_data);
    case kCmdReadMacro:
    case kCmdWriteMacro: {
      std::vector<uint8_t>& area = memory_.macro_area;
      if (count > kReportDataBytes || address + count > area.size()) return kSimStatusFailed;
      return command == kCmdReadMacro ? ReadSpace(area.data(), area.size(), address, count, reply_data)
                                      : WriteSpace(area.data(), area.size(), address, count, data);
    }
    case kCmdReadColour:
    case kCmdWriteColour: {
      uint8_t* space = memory_.colour_pages[0].data();
      const size_t size = kSimProfiles * kColourPageBytes;
      return command == kCmdReadColour ? ReadSpace(space, size, address, count, reply_data)
                                       : WriteSpace(space, size, address, count, data);
    }
    default:
      return kSimStatusFailed;
  }
}

SimMemory CSimKeyboard::Memory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return memory_;
}

void CSimKeyboard::SetMemory(SimMemory memory) {
  memory.FitMacroArea();
  std::lock_guard<std::mutex> lock(mutex_);
  memory_ = std::move(memory);
}

bool CSimKeyboard::SaveFile(const std::string& path, std::string* error) const {
  const std::vector<uint8_t> bytes = Memory().Serialize();
  if (!WriteFileAtomic(path, bytes)) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool CSimKeyboard::LoadFile(const std::string& path, std::string* error) {
  ReadError why = ReadError::kNone;
  const auto bytes = ReadWholeFile(path, kSimFileMacroOffset + 255 * kSimMacroUnitBytes, &why);
  if (!bytes) {
    if (error) *error = "cannot read " + path + " (" + ReadErrorText(why) + ")";
    return false;
  }
  SimMemory m;
  if (!SimMemory::Deserialize(bytes->data(), bytes->size(), &m, error)) return false;
  SetMemory(std::move(m));
  return true;
}

SimFaults CSimKeyboard::Faults() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

void CSimKeyboard::SetFaults(const SimFaults& faults) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_ = faults;
}

void CSimKeyboard::ClearFaults() { SetFaults(SimFaults{}); }

bool CSimKeyboard::RefusesWrites() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_.refuse_writes;
}

uint32_t CSimKeyboard::TakeWriteStall() {
  std::lock_guard<std::mutex> lock(mutex_);
  return CountDown(&faults_.stall_writes) ? faults_.stall_ms : 0;
}

bool CSimKeyboard::InBootMode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return memory_.boot_mode != 0;
}

void CSimKeyboard::LeaveBootMode() {
  std::lock_guard<std::mutex> lock(mutex_);
  memory_.boot_mode = 0;
}

std::vector<SimReport> CSimKeyboard::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t CSimKeyboard::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return total_requests_;
}

void CSimKeyboard::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
  total_requests_ = 0;
}

}  // namespace orvane
