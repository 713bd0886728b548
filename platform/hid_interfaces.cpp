// Interface list and open collections on top of any IHidBackend.
#include "platform/hid_interfaces.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace orvane {
namespace {

constexpr size_t kMaxNodeReport = 16384;  // largest report a node can hand us

bool ParseHex4(const std::string& s, size_t pos, uint16_t* out) {
  if (pos + 4 > s.size()) return false;
  uint16_t v = 0;
  for (size_t i = pos; i < pos + 4; ++i) {
    const char ch = s[i];
    int d;
    if (ch >= '0' && ch <= '9') d = ch - '0';
    else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
    else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
    else return false;
    v = static_cast<uint16_t>(v * 16 + d);
  }
  *out = v;
  return true;
}

bool StartsWithNoCase(const std::string& s, size_t pos, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (pos + n > s.size()) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = s[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::string MakeHidInterfacePath(const std::string& node, uint16_t vendor_id, uint16_t product_id,
                                 int collection) {
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, "#vid_%04x&pid_%04x&col%02d", vendor_id, product_id,
                collection);
  return node + suffix;
}

bool ParseHidInterfacePath(const std::string& path, HidInterfacePathParts* parts) {
  const size_t hash = path.rfind('#');
  if (hash == std::string::npos || hash == 0) return false;
  size_t pos = hash + 1;
  HidInterfacePathParts p;
  p.node = path.substr(0, hash);
  if (!StartsWithNoCase(path, pos, "vid_") || !ParseHex4(path, pos + 4, &p.vendor_id)) return false;
  pos += 8;
  if (!StartsWithNoCase(path, pos, "&pid_") || !ParseHex4(path, pos + 5, &p.product_id))
    return false;
  pos += 9;
  if (!StartsWithNoCase(path, pos, "&col")) return false;
  pos += 4;
  const size_t digits = path.size() - pos;
  if (digits < 2 || digits > 3) return false;
  int col = 0;
  for (size_t i = pos; i < path.size(); ++i) {
    if (path[i] < '0' || path[i] > '9') return false;
    col = col * 10 + (path[i] - '0');
  }
  if (col < 1) return false;
  p.collection = col;
  *parts = std::move(p);
  return true;
}

std::vector<HidInterfaceInfo> EnumerateHidInterfaces(IHidBackend& backend) {
  std::vector<HidInterfaceInfo> list;
  for (const HidNodeInfo& node : backend.EnumerateNodes()) {
    HidDescriptor desc;
    if (!ParseHidDescriptor(node.report_descriptor.data(), node.report_descriptor.size(), &desc,
                            nullptr))
      continue;
    for (size_t i = 0; i < desc.collections.size(); ++i) {
      HidInterfaceInfo info;
      info.collection = static_cast<int>(i + 1);
      info.path = MakeHidInterfacePath(node.node, node.vendor_id, node.product_id, info.collection);
      info.node = node.node;
      info.vendor_id = node.vendor_id;
      info.product_id = node.product_id;
      info.version = node.version;
      info.accessible = node.accessible;
      info.caps = std::move(desc.collections[i]);
      list.push_back(std::move(info));
    }
  }
  return list;
}

std::unique_ptr<HidCollectionHandle> HidCollectionHandle::Open(IHidBackend& backend,
                                                               const std::string& path, bool read,
                                                               bool write, HidOpenError* error) {
  HidOpenError scratch;
  if (!error) error = &scratch;
  *error = HidOpenError::NotFound;
  HidInterfacePathParts parts;
  if (!ParseHidInterfacePath(path, &parts)) return nullptr;
  for (HidNodeInfo& node : backend.EnumerateNodes()) {
    if (node.node != parts.node) continue;
    if (node.vendor_id != parts.vendor_id || node.product_id != parts.product_id) return nullptr;
    HidDescriptor desc;
    if (!ParseHidDescriptor(node.report_descriptor.data(), node.report_descriptor.size(), &desc,
                            nullptr) ||
        static_cast<size_t>(parts.collection) > desc.collections.size()) {
      return nullptr;
    }
    std::unique_ptr<HidCollectionHandle> h(new HidCollectionHandle());
    h->info_.path = MakeHidInterfacePath(node.node, node.vendor_id, node.product_id,
                                         parts.collection);
    h->info_.node = node.node;
    h->info_.vendor_id = node.vendor_id;
    h->info_.product_id = node.product_id;
    h->info_.version = node.version;
    h->info_.collection = parts.collection;
    h->info_.accessible = node.accessible;
    h->info_.caps = std::move(desc.collections[parts.collection - 1]);
    h->node_ = backend.OpenNode(node.node, read, write, error);
    if (!h->node_) {
      if (*error == HidOpenError::None) *error = HidOpenError::Other;
      return nullptr;
    }
    *error = HidOpenError::None;
    return h;
  }
  return nullptr;
}

HidIoStatus HidCollectionHandle::Read(uint8_t* buf, size_t cap, size_t* got, int timeout_ms) {
  *got = 0;
  if (shut_) return HidIoStatus::Cancelled;
  std::lock_guard lock(read_mutex_);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  if (scratch_.empty()) scratch_.resize(kMaxNodeReport + 1);
  const HidCollectionInfo& caps = info_.caps;
  for (;;) {
    if (shut_) return HidIoStatus::Cancelled;
    int wait = -1;
    if (timeout_ms >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::max<long long>(left, 0));
    }
    size_t n = 0;
    // Leave room in front for the 0 ID byte of a device without report IDs.
    const HidIoStatus st = node_->Read(scratch_.data() + 1, kMaxNodeReport, &n, wait);
    if (st != HidIoStatus::Ok) return shut_ ? HidIoStatus::Cancelled : st;
    const uint8_t* report;
    size_t length;
    if (caps.uses_report_ids) {
      if (n == 0 || !caps.HasReport(HidReportType::Input, scratch_[1])) continue;
      report = scratch_.data() + 1;
      length = n;
    } else {
      if (caps.report_ids[0].empty()) continue;  // collection without input reports
      scratch_[0] = 0;
      report = scratch_.data();
      length = n + 1;
    }
    const size_t copy = std::min(length, cap);
    if (copy) std::memcpy(buf, report, copy);
    *got = copy;
    return HidIoStatus::Ok;
  }
}

HidIoStatus HidCollectionHandle::Write(const uint8_t* data, size_t size, int timeout_ms) {
  if (shut_) return HidIoStatus::Cancelled;
  const HidIoStatus st = node_->Write(data, size, timeout_ms);
  return (shut_ && st != HidIoStatus::Ok) ? HidIoStatus::Cancelled : st;
}

void HidCollectionHandle::DrainInput() {
  if (!shut_) node_->DrainInput();
}

void HidCollectionHandle::Shutdown() {
  shut_ = true;
  node_->Cancel();
}

}  // namespace orvane
