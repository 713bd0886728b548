// libFuzzer target: the sysfs uevent file of a HID device, and interface paths as a user passes
// them (--device). Input: the text, used as both. The HID_ID line that was read, written again
// in the kernel's form after other lines, reads the same; a path that parses names the same parts
// when made again, and every path made for a collection parses back to its parts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/hid_backend.h"
#include "platform/hid_descriptor.h"
#include "platform/hid_interfaces.h"
#include "platform/linux/hidraw_backend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  const std::vector<uint8_t> text(data, data + size);
  HidNodeInfo info;
  if (ParseHidUevent(text, &info)) {
    char line[64];
    std::snprintf(line, sizeof line, "DRIVER=hid-generic\nHID_ID=%04X:%08X:%08X\nHID_NAME=x\n",
                  unsigned(info.bus_type), unsigned(info.vendor_id), unsigned(info.product_id));
    const std::string canonical = line;
    HidNodeInfo again;
    if (!ParseHidUevent(std::vector<uint8_t>(canonical.begin(), canonical.end()), &again) ||
        again.bus_type != info.bus_type || again.vendor_id != info.vendor_id ||
        again.product_id != info.product_id)
      __builtin_trap();
  }

  const std::string path(reinterpret_cast<const char*>(data), size);
  HidInterfacePathParts parts;
  if (ParseHidInterfacePath(path, &parts)) {
    HidInterfacePathParts again;
    if (parts.node.empty() || parts.collection < 1 ||
        !ParseHidInterfacePath(MakeHidInterfacePath(parts.node, parts.vendor_id, parts.product_id,
                                                    parts.collection),
                               &again) ||
        again.node != parts.node || again.vendor_id != parts.vendor_id ||
        again.product_id != parts.product_id || again.collection != parts.collection)
      __builtin_trap();
  }
  if (size >= 5) {
    // The paths the program makes: any node name, any ids, every collection a descriptor has.
    const uint16_t vid = uint16_t(data[0] | data[1] << 8);
    const uint16_t pid = uint16_t(data[2] | data[3] << 8);
    const int collection = 1 + data[4] % int(kHidMaxCollections);
    const std::string node(path, 5);
    HidInterfacePathParts made;
    if (!node.empty() &&
        (!ParseHidInterfacePath(MakeHidInterfacePath(node, vid, pid, collection), &made) ||
         made.node != node || made.vendor_id != vid || made.product_id != pid ||
         made.collection != collection))
      __builtin_trap();
  }
  return 0;
}
