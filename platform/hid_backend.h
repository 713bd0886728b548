// The raw HID node layer: one implementation per platform (linux/hidraw_backend) plus the
// simulated keyboard's in-process one. A node is one device interface as the operating system
// shows it (a hidraw node on Linux) with its report descriptor; splitting a node into its top-level
// collections, the interface paths and the report-ID filtering are done above this layer, once for
// every backend (hid_interfaces.h).
//
// Every open of a node gets its own copy of every input report the device sends, as hidraw does,
// so the command channel and the event channel can read the same node independently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvane {

struct HidNodeInfo {
  std::string node;          // e.g. "/dev/hidraw3"; what OpenNode takes
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t version = 0;
  uint16_t bus_type = 0;     // 3 = USB
  std::vector<uint8_t> report_descriptor;
  bool accessible = true;    // false: the node exists but we may not open it (no permission)
};

enum class HidIoStatus {
  Ok,
  Timeout,       // nothing arrived / the write did not complete in time
  Cancelled,     // Cancel() ended the wait
  Disconnected,  // the device is gone (ENODEV, EIO, POLLHUP, POLLERR)
  Busy,          // a previous write is still in flight in the kernel
  Error,
};

// NotADevice: the path opened, but what it names is no device node of the kind the backend
// serves (a FIFO, a plain file, another character device); it is closed again at once.
enum class HidOpenError { None, NotFound, NoPermission, Busy, NotADevice, Other };

// An open node. Read and Write may be called from different threads at once; Cancel may be called
// from any thread and ends a waiting Read or Write promptly.
class IHidNode {
 public:
  virtual ~IHidNode() = default;
  // Writes one report (first byte the report ID, or 0 for a device without IDs).
  virtual HidIoStatus Write(const uint8_t* data, size_t size, int timeout_ms) = 0;
  // Reads one input report into buf (first byte the report ID where the device uses IDs).
  // *got is the report's length (cut to cap). timeout_ms < 0 waits without limit.
  virtual HidIoStatus Read(uint8_t* buf, size_t cap, size_t* got, int timeout_ms) = 0;
  // Throws away input reports already waiting, so a late reply never answers a later request.
  virtual void DrainInput() = 0;
  // Ends any waiting Read or Write with Cancelled; later calls are not affected.
  virtual void Cancel() = 0;
};

class IHidBackend {
 public:
  virtual ~IHidBackend() = default;
  virtual std::vector<HidNodeInfo> EnumerateNodes() = 0;
  virtual std::unique_ptr<IHidNode> OpenNode(const std::string& node, bool read, bool write,
                                             HidOpenError* error) = 0;
  // True when no other process can reach these nodes (an in-process simulation, a test's
  // fake): talking to them then needs no lock shared with other processes.
  virtual bool NodesPrivateToProcess() const { return false; }
  // Who the node is now: a text that changes when the device behind the name changes (unplugged
  // and plugged back, or another device given the same name). Empty when the node is absent or
  // the backend cannot tell; two non-empty identities compare equal only for the same device.
  virtual std::string NodeIdentity(const std::string& node) { (void)node; return {}; }
};

// The real backend of this platform, defined by the backend folder the build chose (linux/: hidraw
// nodes). With an empty root it looks where the system keeps its devices (or where the
// environment says, e.g. ORVANE_SYS_ROOT and ORVANE_DEV_ROOT on Linux); with a root it looks in
// that folder's own device tree instead (<root>/sys and <root>/dev on Linux), as the simulated
// keyboard's FUSE server and tests build one.
std::unique_ptr<IHidBackend> CreatePlatformHidBackend(const std::string& root = std::string());

// The backend the program uses unless told otherwise: the real one of this platform, or the one
// installed with SetDefaultHidBackend (the simulated keyboard, a test's). Not owned.
IHidBackend& DefaultHidBackend();
// Installs a backend (nullptr: the platform's again) and returns the one installed before, so a
// caller can put it back.
IHidBackend* SetDefaultHidBackend(IHidBackend* backend);

}  // namespace orvane
