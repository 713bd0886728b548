// CHidDevice on the platform's interface list and collection handles.
#include "device/hid_device.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <new>

#include "platform/hid_descriptor.h"
#include "platform/hid_interfaces.h"

namespace orvane {

namespace {

// An open collection. In-flight reads and writes hold it through a shared_ptr, so Close can hand
// it over while they still return; Close waits for them anyway.
struct Channel {
  std::unique_ptr<HidCollectionHandle> handle;
  std::mutex mutex;
  std::condition_variable idle;
  int busy = 0;  // reads, writes and drains in progress
  bool read_busy = false;
  bool write_busy = false;
  bool shared = true;  // other processes can reach the node
  std::atomic<bool> hung_up{false};
};

// Length of a UTF-8 path in UTF-16 code units, the unit the path limit is counted in.
size_t Utf16Length(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) ++n;
    if (c >= 0xF0) ++n;  // outside the BMP: a surrogate pair
  }
  return n;
}

// Counts an operation on the channel for as long as it runs, so Close can wait for it.
class BusyScope {
 public:
  BusyScope(std::shared_ptr<Channel> ch, bool Channel::*flag)
      : ch_(std::move(ch)), flag_(flag) {
    std::lock_guard lock(ch_->mutex);
    ++ch_->busy;
    if (flag_) (*ch_).*flag_ = true;
  }
  ~BusyScope() {
    {
      std::lock_guard lock(ch_->mutex);
      --ch_->busy;
      if (flag_) (*ch_).*flag_ = false;
    }
    ch_->idle.notify_all();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  HidCollectionHandle& Handle() const { return *ch_->handle; }

 private:
  std::shared_ptr<Channel> ch_;
  bool Channel::*flag_;
};

}  // namespace

struct CHidDevice::OpenState {
  std::shared_ptr<Channel> channel;
};

CHidDevice::CHidDevice(IHidBackend* backend) : backend_(backend) {}

CHidDevice::~CHidDevice() {
  Close();
  FreePaths();
}

IHidBackend& CHidDevice::Backend() const { return backend_ ? *backend_ : DefaultHidBackend(); }

bool CHidDevice::Enumerate() {
  FreePaths();
  try {
    const std::vector<HidInterfaceInfo> list = EnumerateHidInterfaces(Backend());
    // Room for 8 paths to begin with, doubled whenever the index reaches it.
    paths_.reserve(8);
    for (const HidInterfaceInfo& info : list) {
      if (paths_.size() == paths_.capacity()) paths_.reserve(paths_.capacity() * 2);
      paths_.push_back(info.path);
    }
  } catch (const std::bad_alloc&) {
    FreePaths();
    return false;
  }
  return true;
}

std::optional<std::string> CHidDevice::NextPath() {
  if (path_pos_ >= paths_.size()) return std::nullopt;
  return paths_[path_pos_++];
}

void CHidDevice::FreePaths() {
  std::vector<std::string>().swap(paths_);
  path_pos_ = 0;
}

size_t CHidDevice::PathCount() const { return paths_.size(); }

bool CHidDevice::IsOpen() const {
  std::lock_guard lock(open_mutex_);
  return open_ != nullptr;
}

bool CHidDevice::Open(const std::string& path, bool read_access, bool write_access,
                      bool overlapped, bool exclusive) {
  // Every read and write is time-limited here, so "overlapped" changes nothing; hidraw has no
  // share modes (each open gets its own copy of the input), so "exclusive" has no effect either.
  (void)overlapped;
  (void)exclusive;
  Close();
  last_open_error_ = HidOpenError::None;
  if (Utf16Length(path) > kMaxDevicePathChars) {
    last_open_error_ = HidOpenError::Other;
    return false;
  }
  try {
    HidOpenError err = HidOpenError::None;
    std::unique_ptr<HidCollectionHandle> handle =
        HidCollectionHandle::Open(Backend(), path, read_access, write_access, &err);
    if (!handle) {
      last_open_error_ = err == HidOpenError::None ? HidOpenError::Other : err;
      return false;
    }
    const HidCollectionInfo& c = handle->Caps();
    HidCaps caps;
    caps.usage_page = c.usage_page;
    caps.usage = c.usage;
    caps.input_report_byte_length = c.input_report_byte_length;
    caps.output_report_byte_length = c.output_report_byte_length;
    caps.feature_report_byte_length = c.feature_report_byte_length;
    caps.number_input_button_caps = static_cast<uint16_t>(c.Buttons(HidReportType::Input).size());
    caps.number_input_value_caps = static_cast<uint16_t>(c.Values(HidReportType::Input).size());

    // Buttons first, then one entry per usage of every value capability (ranges expanded; a
    // capability's range never exceeds its field count, so this stays bounded).
    std::vector<HidData> data;
    for (const HidCap& cap : c.Buttons(HidReportType::Input)) {
      HidData d;
      d.is_button = true;
      d.usage_page = cap.usage_page;
      d.report_id = cap.report_id;
      d.usage_min = cap.usage_min;
      d.usage_max = cap.usage_max;
      d.max_usage_length = HidMaxUsageListLength(c, HidReportType::Input, cap.usage_page);
      d.usages.assign(d.max_usage_length, 0);
      data.push_back(std::move(d));
    }
    for (const HidCap& cap : c.Values(HidReportType::Input)) {
      for (uint32_t u = cap.usage_min; u <= cap.usage_max; ++u) {
        HidData d;
        d.usage_page = cap.usage_page;
        d.report_id = cap.report_id;
        d.usage = static_cast<uint16_t>(u);
        data.push_back(std::move(d));
      }
    }

    auto state = std::make_unique<OpenState>();
    state->channel = std::make_shared<Channel>();
    state->channel->handle = std::move(handle);
    state->channel->shared = !Backend().NodesPrivateToProcess();
    std::lock_guard lock(open_mutex_);
    attributes_ = HidAttributes{state->channel->handle->Info().vendor_id,
                                state->channel->handle->Info().product_id,
                                state->channel->handle->Info().version};
    caps_ = caps;
    input_data_ = std::move(data);
    device_path_ = path;
    open_ = std::move(state);
    return true;
  } catch (const std::bad_alloc&) {
    last_open_error_ = HidOpenError::Other;
    return false;
  }
}

int CHidDevice::Close() {
  std::unique_ptr<OpenState> state;
  {
    std::lock_guard lock(open_mutex_);
    state = std::move(open_);
    input_data_.clear();
    input_data_.shrink_to_fit();
    caps_ = HidCaps{};
    attributes_ = HidAttributes{};
    device_path_.clear();
  }
  if (!state) return 0;
  Channel& ch = *state->channel;
  ch.handle->Shutdown();
  // A read that had just passed its own checks may start waiting after the first cancel; cancel
  // again until every operation has left, so Close never leaves a waiter behind.
  std::unique_lock lock(ch.mutex);
  while (ch.busy > 0) {
    lock.unlock();
    ch.handle->Shutdown();
    lock.lock();
    ch.idle.wait_for(lock, std::chrono::milliseconds(5), [&] { return ch.busy == 0; });
  }
  return 1;
}

bool CHidDevice::ReadReport(uint8_t* buffer, size_t size, size_t* bytes_read, int timeout_ms) {
  if (bytes_read) *bytes_read = 0;
  std::shared_ptr<Channel> ch;
  size_t length;
  {
    std::lock_guard lock(open_mutex_);
    if (!open_ || !buffer) return false;
    ch = open_->channel;
    length = caps_.input_report_byte_length;
  }
  if (length == 0 || size < length) return false;
  BusyScope scope(ch, &Channel::read_busy);
  size_t got = 0;
  const HidIoStatus status = scope.Handle().Read(buffer, length, &got, timeout_ms);
  if (status == HidIoStatus::Disconnected) ch->hung_up.store(true);
  if (status != HidIoStatus::Ok) return false;
  // A report is always handed over at the collection's full input length.
  if (got < length) std::memset(buffer + got, 0, length - got);
  if (bytes_read) *bytes_read = length;
  return true;
}

bool CHidDevice::WriteReport(const uint8_t* buffer, size_t size, size_t* bytes_written,
                             int timeout_ms) {
  if (bytes_written) *bytes_written = 0;
  std::shared_ptr<Channel> ch;
  size_t length;
  {
    std::lock_guard lock(open_mutex_);
    if (!open_ || !buffer) return false;
    ch = open_->channel;
    length = caps_.output_report_byte_length;
  }
  if (length == 0 || size < length) return false;
  BusyScope scope(ch, &Channel::write_busy);
  const HidIoStatus status = scope.Handle().Write(buffer, length, timeout_ms);
  if (status == HidIoStatus::Disconnected) ch->hung_up.store(true);
  if (status != HidIoStatus::Ok) return false;
  if (bytes_written) *bytes_written = length;
  return true;
}

void CHidDevice::DrainInput() {
  std::shared_ptr<Channel> ch;
  {
    std::lock_guard lock(open_mutex_);
    if (!open_) return;
    ch = open_->channel;
  }
  BusyScope scope(ch, nullptr);
  scope.Handle().DrainInput();
}

bool CHidDevice::HungUp() const {
  std::lock_guard lock(open_mutex_);
  return open_ != nullptr && open_->channel->hung_up.load();
}

std::string CHidDevice::SharedDevicePath() const {
  std::lock_guard lock(open_mutex_);
  return open_ != nullptr && open_->channel->shared ? device_path_ : std::string();
}

bool CHidDevice::UnpackInputReport(const uint8_t* report, size_t length) {
  std::lock_guard lock(open_mutex_);
  if (!open_ || !report || length == 0) return false;
  const HidCollectionInfo& c = open_->channel->handle->Caps();
  const uint8_t id = report[0];
  std::vector<uint16_t> pressed;
  for (HidData& d : input_data_) {
    if (d.report_id != id) continue;
    if (d.is_button) {
      const HidStatus st =
          HidGetUsages(c, HidReportType::Input, d.usage_page, report, length, d.max_usage_length,
                       &pressed);
      // Only this entry's range counts; what remains moves to the front, zeros follow.
      std::fill(d.usages.begin(), d.usages.end(), 0);
      size_t n = 0;
      for (uint16_t u : pressed)
        if (u >= d.usage_min && u <= d.usage_max && n < d.usages.size()) d.usages[n++] = u;
      d.status = st;
    } else {
      uint32_t value = 0;
      if (HidGetUsageValue(c, HidReportType::Input, d.usage_page, d.usage, report, length,
                           &value) != kHidStatusSuccess)
        return false;
      d.value = value;
      int32_t scaled = 0;
      d.status = HidGetScaledUsageValue(c, HidReportType::Input, d.usage_page, d.usage, report,
                                        length, &scaled);
      d.scaled_value = scaled;
    }
    d.is_set = true;
  }
  return true;
}

}  // namespace orvane
