// A fake /sys + /dev tree for the hidraw backend, in a temporary folder removed at the end.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvane::test {

// A /sys + /dev tree laid out as the kernel lays it out: the class entry links to the HID device,
// whose grandparent is the USB device with bcdDevice.
class FakeTree {
 public:
  FakeTree() {
    char tmpl[] = "/tmp/orvane-hidraw-XXXXXX";
    root_ = ::mkdtemp(tmpl);
    ::chmod(root_.c_str(), 0755);
    std::filesystem::create_directories(root_ + "/sys/class/hidraw");
    std::filesystem::create_directories(root_ + "/dev");
  }
  ~FakeTree() { std::filesystem::remove_all(root_); }
  std::string Sys() const { return root_ + "/sys"; }
  std::string Dev() const { return root_ + "/dev"; }

  void AddNode(int n, const std::string& hid_id, const std::vector<uint8_t>& descriptor,
               const char* bcd = nullptr, bool dev_node = true) {
    const std::string usb = Sys() + "/devices/usb1/1-" + std::to_string(n);
    const std::string hid = usb + "/1-" + std::to_string(n) + ":1.0/0003:0C45:7650.000" + std::to_string(n);
    std::filesystem::create_directories(hid);
    std::ofstream(hid + "/uevent") << "DRIVER=hid-generic\n" << hid_id << "\nHID_NAME=Test\n";
    std::ofstream(hid + "/report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(descriptor.data()), static_cast<std::streamsize>(descriptor.size()));
    if (bcd) std::ofstream(usb + "/bcdDevice") << bcd << "\n";
    const std::string cls = Sys() + "/class/hidraw/hidraw" + std::to_string(n);
    std::filesystem::create_directories(cls);
    std::filesystem::create_directory_symlink(hid, cls + "/device");
    if (dev_node) ::mkfifo(NodePath(n).c_str(), 0666);
  }
  std::string NodePath(int n) const { return Dev() + "/hidraw" + std::to_string(n); }
  // The class entry's "dev" file: the node's device number as "major:minor".
  void SetDevNumber(int n, const std::string& number) const {
    std::ofstream(Sys() + "/class/hidraw/hidraw" + std::to_string(n) + "/dev") << number << "\n";
  }

 private:
  std::string root_;
};

}  // namespace orvane::test
