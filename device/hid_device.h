// CHidDevice: one opened HID top-level collection of the keyboard, with time-limited report I/O.
// Two instances exist in the program: the command channel (vendor collection) and the event
// channel (consumer-control collection). Paths come from the platform's interface list, one per
// top-level collection, and carry "vid_XXXX", "pid_XXXX" and "colNN" so they can be matched
// before anything is opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/hid_backend.h"

namespace orvane {

constexpr int kInfinite = -1;
constexpr size_t kMaxDevicePathChars = 259;

struct HidCaps {
  uint16_t usage_page = 0;
  uint16_t usage = 0;
  uint16_t input_report_byte_length = 0;   // report ID byte included
  uint16_t output_report_byte_length = 0;
  uint16_t feature_report_byte_length = 0;
  uint16_t number_input_button_caps = 0;
  uint16_t number_input_value_caps = 0;
};

struct HidAttributes {
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t version = 0;
};

// One entry of the input data list: a button capability, or one usage of a value capability.
struct HidData {
  bool is_button = false;
  uint16_t usage_page = 0;
  int32_t status = 0;  // result of the last extraction; 0 = success
  uint8_t report_id = 0;
  bool is_set = false;
  // button
  uint16_t usage_min = 0;
  uint16_t usage_max = 0;
  uint32_t max_usage_length = 0;
  std::vector<uint16_t> usages;  // max_usage_length entries; pressed usages first, then 0
  // value
  uint16_t usage = 0;
  uint32_t value = 0;
  int32_t scaled_value = 0;
};

class CHidDevice {
 public:
  // backend nullptr: DefaultHidBackend() at the time of each call.
  explicit CHidDevice(IHidBackend* backend = nullptr);
  ~CHidDevice();
  CHidDevice(const CHidDevice&) = delete;
  CHidDevice& operator=(const CHidDevice&) = delete;

  // Lists the present interface paths (one per top-level collection), replacing the path list.
  bool Enumerate();
  // The next path in enumeration order; nothing after the last.
  std::optional<std::string> NextPath();
  void FreePaths();
  size_t PathCount() const;

  // Closes what is open, then opens the collection at path.
  bool Open(const std::string& path, bool read_access, bool write_access, bool overlapped,
            bool exclusive);
  // Ends a waiting read or write, releases buffers and lists; returns 0 if nothing was open.
  int Close();
  bool IsOpen() const;

  bool ReadReport(uint8_t* buffer, size_t size, size_t* bytes_read, int timeout_ms);
  bool WriteReport(const uint8_t* buffer, size_t size, size_t* bytes_written, int timeout_ms);
  // Discards input reports already waiting; the protocol calls it before a request whenever a
  // late reply could be waiting, at most once per attempt.
  void DrainInput();

  // Fills the input data list from one input report (first byte its report ID).
  bool UnpackInputReport(const uint8_t* report, size_t length);

  const HidCaps& Caps() const { return caps_; }
  const HidAttributes& Attributes() const { return attributes_; }
  const std::string& DevicePath() const { return device_path_; }
  const std::vector<HidData>& InputData() const { return input_data_; }
  // Why the last Open failed (NoPermission tells "plugged in but not allowed" from "absent").
  HidOpenError LastOpenError() const { return last_open_error_; }
  // True once a read or write on the open collection found the device gone (hang-up, no such
  // device); the channel stays dead until it is opened again.
  bool HungUp() const;
  // The open collection's path when other processes can reach its node; empty when nothing is
  // open or the node is private to this process (an in-process simulation).
  std::string SharedDevicePath() const;

 private:
  IHidBackend& Backend() const;

  IHidBackend* backend_;
  std::vector<std::string> paths_;
  size_t path_pos_ = 0;
  std::string device_path_;
  HidCaps caps_;
  HidAttributes attributes_;
  std::vector<HidData> input_data_;
  HidOpenError last_open_error_ = HidOpenError::None;
  // The implementation keeps the open collection (node handle, report-ID filter, parsed
  // descriptor) behind this pointer.
  struct OpenState;
  std::unique_ptr<OpenState> open_;
  mutable std::mutex open_mutex_;
};

}  // namespace orvane
