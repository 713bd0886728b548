// Report descriptors for people: reading one from a file (raw bytes, or the hex text that HID
// tools print) and showing what the project's descriptor parser makes of it, per top-level
// collection, as text or JSON. `orvane-cli describe` and `orvane-cli list` use it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/json.h"
#include "platform/hid_descriptor.h"

namespace orvane {

// The descriptor bytes a file holds. A file of printable text is read as hex: tokens of two hex
// digits (optionally "0x"-prefixed, separated by white space, commas or colons) are bytes; a
// line with any other word on it (a heading, an offset) is skipped, except that "R:" lines of
// hid-tools give their bytes after the leading length. Anything else is taken as raw bytes.
// False with *error when a text file holds no hex bytes.
bool DescriptorBytesFromFile(std::span<const uint8_t> file, std::vector<uint8_t>* out,
                             std::string* error);

// One collection as JSON: usage_page, usage, the three report lengths (report ID byte
// included), button_caps and value_caps (each with report_type, report_id, usage_page,
// usage_min, usage_max, bit_size, report_count, logical_min, logical_max and flags).
JsonValue CollectionToJson(const HidCollectionInfo& c);
// The same as indented text lines, each starting with indent.
std::string CollectionToText(const HidCollectionInfo& c, const std::string& indent);

}  // namespace orvane
