#include "sim/sim_backend.h"

#include "platform/paths.h"

namespace orvane {

namespace {

class SimNode : public IHidNode {
 public:
  SimNode(CSimHub& hub, std::shared_ptr<SimEndpoint> endpoint)
      : hub_(hub), endpoint_(std::move(endpoint)) {}
  ~SimNode() override { hub_.Close(endpoint_); }

  HidIoStatus Write(const uint8_t* data, size_t size, int timeout_ms) override {
    // A stalled device holds the write; past the time-out the host gives up on it.
    const uint32_t stall = hub_.Keyboard().TakeWriteStall();
    if (stall > 0) {
      const bool limited = timeout_ms >= 0 && stall > static_cast<uint32_t>(timeout_ms);
      const uint32_t wait = limited ? static_cast<uint32_t>(timeout_ms) : stall;
      if (!hub_.WaitInterruptibly(*endpoint_, wait)) return HidIoStatus::Cancelled;
      if (limited) return HidIoStatus::Timeout;
    }
    return hub_.Write(*endpoint_, data, size);
  }
  HidIoStatus Read(uint8_t* buf, size_t cap, size_t* got, int timeout_ms) override {
    return hub_.Read(*endpoint_, buf, cap, got, timeout_ms);
  }
  void DrainInput() override { hub_.Drain(*endpoint_); }
  void Cancel() override { hub_.Cancel(*endpoint_); }

 private:
  CSimHub& hub_;
  std::shared_ptr<SimEndpoint> endpoint_;
};

}  // namespace

SimHidBackend::SimHidBackend(std::string prefix)
    : prefix_(std::move(prefix)), hub_(std::make_unique<CSimHub>()) {}

SimHidBackend::SimHidBackend(SimMemory memory, std::string prefix)
    : prefix_(std::move(prefix)), hub_(std::make_unique<CSimHub>(std::move(memory))) {}

std::unique_ptr<SimHidBackend> SimHidBackend::WithStateFile(const std::string& state_file,
                                                            std::string* error) {
  auto backend = std::make_unique<SimHidBackend>();
  if (FileExists(state_file) && !backend->Keyboard().LoadFile(state_file, error)) return nullptr;
  backend->state_file_ = state_file;
  return backend;
}

SimHidBackend::~SimHidBackend() {
  if (!state_file_.empty()) Save(nullptr);
}

bool SimHidBackend::Save(std::string* error) {
  if (state_file_.empty()) return true;
  return Keyboard().SaveFile(state_file_, error);
}

std::string SimHidBackend::NodeIdentity(const std::string& node) {
  if (!hub_->IsPlugged()) return {};
  for (int n = 0; n < kSimNodeCount; ++n)
    if (node == NodeName(n)) return node + "@" + std::to_string(hub_->Epoch());
  return {};
}

std::string SimHidBackend::NodeName(int node) const {
  return prefix_ + "hidraw" + std::to_string(node);
}

std::vector<HidNodeInfo> SimHidBackend::EnumerateNodes() {
  std::vector<HidNodeInfo> nodes;
  if (!hub_->IsPlugged()) return nodes;
  for (int n = 0; n < kSimNodeCount; ++n) {
    HidNodeInfo info;
    info.node = NodeName(n);
    info.vendor_id = kSimVendorId;
    info.product_id = kSimProductId;
    info.version = kSimVersion;
    info.bus_type = 3;
    info.report_descriptor = SimReportDescriptor(n);
    nodes.push_back(std::move(info));
  }
  return nodes;
}

std::unique_ptr<IHidNode> SimHidBackend::OpenNode(const std::string& node, bool read, bool write,
                                                  HidOpenError* error) {
  for (int n = 0; n < kSimNodeCount; ++n) {
    if (node != NodeName(n)) continue;
    auto endpoint = hub_->Open(n, read, write, error);
    if (!endpoint) return nullptr;
    return std::make_unique<SimNode>(*hub_, std::move(endpoint));
  }
  if (error) *error = HidOpenError::NotFound;
  return nullptr;
}

}  // namespace orvane
