// The FUSE side of orvane-simkbd: serves the simulated keyboard's hidraw nodes as files of a
// FUSE mount, with hidraw's behaviour (one input queue per open, blocking and non-blocking reads,
// poll, ENODEV once the keyboard is gone), and keeps a sysfs-like tree beside it that lists the
// nodes while the keyboard is plugged in.
#pragma once

#include <string>

#include "sim/sim_hub.h"

struct fuse_session;

namespace orvane {

class CFuseHidServer {
 public:
  // root: the folder that gets sys/class/hidraw/... and the mount point dev/.
  CFuseHidServer(CSimHub& hub, std::string root);
  ~CFuseHidServer();
  CFuseHidServer(const CFuseHidServer&) = delete;
  CFuseHidServer& operator=(const CFuseHidServer&) = delete;

  // Creates the trees and mounts dev/; installs SIGINT/SIGTERM/SIGHUP handlers that end Run.
  bool Start(std::string* error);
  // Serves requests until a signal or Stop; returns when the loop has ended.
  void Run();
  // Ends Run from another thread.
  void Stop();
  // Unmounts and removes the sysfs entries (also done by the destructor).
  void Shutdown();

  std::string DevFolder() const { return root_ + "/dev"; }
  std::string SysFolder() const { return root_ + "/sys"; }

 private:
  void UpdateSysTree(bool plugged);

  CSimHub& hub_;
  std::string root_;
  fuse_session* session_ = nullptr;
  bool mounted_ = false;
  bool handlers_ = false;
  unsigned long loop_thread_ = 0;
  unsigned hid_sequence_ = 0;  // the last HID device number given out
};

}  // namespace orvane
