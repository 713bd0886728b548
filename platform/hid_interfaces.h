// HID interfaces: one per top-level collection of every node of a backend, named by a path that
// carries the node, vendor, product and collection number, e.g.
// "/dev/hidraw3#vid_0c45&pid_7650&col02" (lower-case hex, collections counted from 01), so a
// caller can match "vid_"/"pid_" before opening anything. An open collection reads only its own
// input reports (by report ID) from the node and writes to the node.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/hid_backend.h"
#include "platform/hid_descriptor.h"

namespace orvane {

struct HidInterfaceInfo {
  std::string path;             // node + "#vid_xxxx&pid_xxxx&colNN"
  std::string node;
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t version = 0;
  int collection = 0;           // 1-based
  bool accessible = true;
  HidCollectionInfo caps;
};

std::string MakeHidInterfacePath(const std::string& node, uint16_t vendor_id, uint16_t product_id,
                                 int collection);

struct HidInterfacePathParts {
  std::string node;
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  int collection = 0;
};
// Splits a path made by MakeHidInterfacePath (hex digits of either case); false if malformed.
bool ParseHidInterfacePath(const std::string& path, HidInterfacePathParts* parts);

// Every interface of every node, in node order then collection order. Nodes whose descriptor
// does not parse are left out.
std::vector<HidInterfaceInfo> EnumerateHidInterfaces(IHidBackend& backend);

// An open top-level collection. Read/Write/DrainInput follow the IHidNode contract, except that
// Read returns only reports of this collection, always with the report ID byte first (0 when the
// device uses no IDs). Shutdown() ends waiting calls and makes every later one fail at once.
class HidCollectionHandle {
 public:
  // Opens the collection the path names; nullptr on failure with *error set (NotFound when the
  // path names no present node or collection, or its vendor/product do not match).
  static std::unique_ptr<HidCollectionHandle> Open(IHidBackend& backend, const std::string& path,
                                                   bool read, bool write, HidOpenError* error);

  HidIoStatus Read(uint8_t* buf, size_t cap, size_t* got, int timeout_ms);
  HidIoStatus Write(const uint8_t* data, size_t size, int timeout_ms);
  void DrainInput();
  void Shutdown();

  const HidInterfaceInfo& Info() const { return info_; }
  const HidCollectionInfo& Caps() const { return info_.caps; }

 private:
  HidCollectionHandle() = default;
  HidInterfaceInfo info_;
  std::unique_ptr<IHidNode> node_;
  std::atomic<bool> shut_{false};
  std::mutex read_mutex_;
  std::vector<uint8_t> scratch_;
};

}  // namespace orvane
