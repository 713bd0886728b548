// HID report-descriptor parser and report field extraction. Pure code, no OS calls.
//
// A descriptor is split into its top-level collections. For each one we give what a HID class
// driver gives its applications: usage page and usage, the input/output/feature report lengths
// (one byte for the report ID always counted, as reports are handed over with that byte first,
// 0 when the device uses no IDs), the button and value capabilities of each report type, and the
// functions that pull pressed usages and values out of a report.
//
// Every report passed to the extraction functions starts with its report ID byte (0 for a
// device without report IDs); field bit offsets count from the byte after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

enum class HidReportType : uint8_t { Input = 0, Output = 1, Feature = 2 };

// Results of the extraction functions; 0 is success.
enum HidStatus : int32_t {
  kHidStatusSuccess = 0,
  kHidStatusUsageNotFound = 1,        // no capability with that page/usage in this report
  kHidStatusBufferTooSmall = 2,       // more pressed usages than the list holds (list filled)
  kHidStatusInvalidReportLength = 3,  // report shorter than its fields
  kHidStatusIncompatibleReportId = 4, // capabilities exist, but not for this report ID
  kHidStatusValueOutOfRange = 5,      // value outside the logical range (scaling impossible)
  kHidStatusBadLogPhyValues = 6,      // logical or physical range unusable for scaling
  kHidStatusNull = 7,                 // field has a null state and holds it
  kHidStatusBadFieldSize = 8,         // value wider than 32 bits
};

// One capability: a group of fields of one main item sharing a usage or usage range.
struct HidCap {
  HidReportType report_type = HidReportType::Input;
  uint8_t report_id = 0;
  uint16_t usage_page = 0;
  bool is_range = false;
  uint16_t usage_min = 0;       // usage_min == usage_max when not a range
  uint16_t usage_max = 0;
  bool is_array = false;        // array field: fields hold indices into the usage list
  bool is_absolute = true;
  bool has_null = false;
  uint32_t bit_offset = 0;      // of the first field, from the byte after the report ID
  uint16_t bit_size = 0;        // of one field
  uint16_t report_count = 0;    // fields covered by this capability
  // Array capabilities: position of usage_min in the main item's usage list, so an array index
  // maps to a usage of this capability when it lies in [array_index, array_index + span).
  uint32_t array_index = 0;
  int32_t logical_min = 0;
  int32_t logical_max = 0;
  int32_t physical_min = 0;     // equal to the logical range when the descriptor gives none
  int32_t physical_max = 0;
  uint32_t units = 0;
  int8_t unit_exponent = 0;
};

struct HidCollectionInfo {
  uint16_t usage_page = 0;
  uint16_t usage = 0;
  uint16_t input_report_byte_length = 0;    // report ID byte included; 0 if no such reports
  uint16_t output_report_byte_length = 0;
  uint16_t feature_report_byte_length = 0;
  std::vector<HidCap> button_caps[3];       // indexed by HidReportType
  std::vector<HidCap> value_caps[3];
  std::vector<uint8_t> report_ids[3];       // IDs of this collection's reports per type
  bool uses_report_ids = false;

  const std::vector<HidCap>& Buttons(HidReportType t) const {
    return button_caps[static_cast<int>(t)];
  }
  const std::vector<HidCap>& Values(HidReportType t) const {
    return value_caps[static_cast<int>(t)];
  }
  // True if reports of this type with this first byte belong to the collection.
  bool HasReport(HidReportType t, uint8_t report_id) const;
};

struct HidDescriptor {
  std::vector<HidCollectionInfo> collections;
  bool uses_report_ids = false;
};

// Limits that keep a hostile descriptor from costing unbounded time or memory.
constexpr size_t kHidMaxDescriptorBytes = 16384;
constexpr size_t kHidMaxCollections = 64;        // top-level
constexpr size_t kHidMaxCollectionDepth = 32;
constexpr size_t kHidMaxPushDepth = 16;
constexpr size_t kHidMaxLocalUsages = 1024;      // usage items before one main item
constexpr size_t kHidMaxCaps = 4096;             // over the whole descriptor
constexpr size_t kHidMaxCapFields = 32768;       // fields covered by all capabilities together
constexpr uint32_t kHidMaxReportCount = 8192;
constexpr uint32_t kHidMaxReportSize = 256;      // bits of one field
constexpr uint32_t kHidMaxReportBytes = 8192;    // one report, ID byte excluded

// Parses a descriptor. On failure returns false, leaves *out empty and says why in *error.
bool ParseHidDescriptor(const uint8_t* data, size_t size, HidDescriptor* out, std::string* error);

// The most usages HidGetUsages can report for this page and report type.
uint32_t HidMaxUsageListLength(const HidCollectionInfo& c, HidReportType type, uint16_t usage_page);

// Pressed usages of a page in one report: array indices and set bits of 1-bit variable fields,
// in field order. usages receives at most max_usages entries.
HidStatus HidGetUsages(const HidCollectionInfo& c, HidReportType type, uint16_t usage_page,
                       const uint8_t* report, size_t length, uint32_t max_usages,
                       std::vector<uint16_t>* usages);

// The raw field bits of one usage (not sign-extended).
HidStatus HidGetUsageValue(const HidCollectionInfo& c, HidReportType type, uint16_t usage_page,
                           uint16_t usage, const uint8_t* report, size_t length, uint32_t* value);

// The field value scaled from the logical to the physical range (sign-extended first when the
// logical minimum is negative).
HidStatus HidGetScaledUsageValue(const HidCollectionInfo& c, HidReportType type,
                                 uint16_t usage_page, uint16_t usage, const uint8_t* report,
                                 size_t length, int32_t* value);

// Bits [bit_offset, bit_offset + bit_size) of data (little-endian bit order, as HID reports use).
// The caller guarantees they lie inside data; bit_size <= 32.
uint32_t HidExtractBits(const uint8_t* data, uint32_t bit_offset, uint32_t bit_size);

}  // namespace orvane
