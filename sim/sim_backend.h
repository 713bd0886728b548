// SimHidBackend: the simulated keyboard as an in-process HID backend. Tests and the programs'
// --simulate option install it (SetDefaultHidBackend) and everything above the node layer runs
// unchanged: enumeration lists the keyboard's two nodes with their real report descriptors, each
// OpenNode gets its own input queue, and unplugging makes reads and writes fail as hidraw does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/hid_backend.h"
#include "sim/sim_hub.h"

namespace orvane {

class SimHidBackend : public IHidBackend {
 public:
  // Node names are prefix + "hidraw0" / "hidraw1".
  explicit SimHidBackend(std::string prefix = "sim:/dev/");
  SimHidBackend(SimMemory memory, std::string prefix = "sim:/dev/");
  // A keyboard whose memory lives in state_file: loaded now if the file is there, saved by Save()
  // and on destruction.
  static std::unique_ptr<SimHidBackend> WithStateFile(const std::string& state_file,
                                                      std::string* error);
  ~SimHidBackend() override;

  std::vector<HidNodeInfo> EnumerateNodes() override;
  std::unique_ptr<IHidNode> OpenNode(const std::string& node, bool read, bool write,
                                     HidOpenError* error) override;
  bool NodesPrivateToProcess() const override { return true; }
  // The node name and the arrival it belongs to.
  std::string NodeIdentity(const std::string& node) override;

  CSimHub& Hub() { return *hub_; }
  CSimKeyboard& Keyboard() { return hub_->Keyboard(); }
  std::string NodeName(int node) const;
  bool Save(std::string* error);

 private:
  std::string prefix_;
  std::string state_file_;
  std::unique_ptr<CSimHub> hub_;
};

}  // namespace orvane
