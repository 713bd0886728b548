// The simulated keyboard's firmware: it keeps the keyboard's memory (sim_memory.h), answers every
// 64-byte command report the way the real keyboard does (echoing command, length and address,
// with a success status and the stored bytes for reads) and can be told to misbehave (no reply,
// late replies, error statuses, vanishing, refusing writes) so the host's failure paths run.
//
// The model is transport-free: HandleRequest gets one output report and says what to send back
// and when; CSimHub (sim_hub.h) moves the reports for the in-process backend and the FUSE server.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_memory.h"

namespace orvane {

constexpr uint8_t kSimConsumerReportId = 2;
constexpr uint8_t kSimStatusOk = 0x01;
constexpr uint8_t kSimStatusFailed = 0xFF;
constexpr uint8_t kSimStatusBusy = 0xFE;

using SimReport = std::array<uint8_t, kReportBytes>;

// What the firmware does with one output report.
struct SimOutcome {
  std::optional<SimReport> reply;  // nothing: the keyboard stays silent
  uint32_t delay_ms = 0;           // the reply arrives this much later
  bool vanish = false;             // the keyboard drops off the bus now
};

// Counts: -1 means "until cleared", n > 0 the next n requests.
struct SimFaults {
  int no_reply = 0;
  int late_reply = 0;
  uint32_t late_ms = 0;
  int error_status_count = 0;
  uint8_t error_status = kSimStatusFailed;
  int error_status_after = 0;  // requests answered normally before the error statuses start
  int vanish_after = -1;  // -1: never; n >= 0: answer n more requests, then vanish
  bool refuse_writes = false;
  int stall_writes = 0;   // the host's write is held this long before it completes
  uint32_t stall_ms = 0;
  bool no_echo = false;   // replies carry zeros where command, length and address are echoed
};

class CSimKeyboard {
 public:
  CSimKeyboard();
  explicit CSimKeyboard(SimMemory memory);

  SimOutcome HandleRequest(const uint8_t* data, size_t size);
  // The consumer-control input report for one usage (0 is the release).
  static SimReport ConsumerReport(uint16_t usage);

  SimMemory Memory() const;
  void SetMemory(SimMemory memory);
  bool SaveFile(const std::string& path, std::string* error) const;
  bool LoadFile(const std::string& path, std::string* error);

  SimFaults Faults() const;
  void SetFaults(const SimFaults& faults);
  void ClearFaults();
  bool RefusesWrites() const;
  // How long the next host write is held before it completes (0: at once); counts it down.
  uint32_t TakeWriteStall();

  bool InBootMode() const;
  void LeaveBootMode();

  // The command reports received, in order (the newest few thousand are kept), and their count.
  std::vector<SimReport> Requests() const;
  size_t RequestCount() const;
  void ClearRequests();

  static uint16_t Checksum(const uint8_t* report64);

 private:
  // Runs one well-formed command against the memory; returns the reply status.
  uint8_t Execute(const uint8_t* request, uint8_t* reply_data);

  mutable std::mutex mutex_;
  SimMemory memory_;
  SimFaults faults_;
  std::vector<SimReport> requests_;
  size_t total_requests_ = 0;
};

}  // namespace orvane
