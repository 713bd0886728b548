// Feeds arbitrary bytes to the report-descriptor parser; the first byte chooses where the
// descriptor ends, the rest after it is used as an input report for every capability found.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hid_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  if (size < 1) return 0;
  const size_t rest = size - 1;
  const size_t split = rest == 0 ? 0 : (static_cast<size_t>(data[0]) * rest) / 255;
  const uint8_t* desc = data + 1;
  HidDescriptor parsed;
  std::string error;
  if (!ParseHidDescriptor(desc, split, &parsed, &error)) return 0;
  std::vector<uint8_t> report(rest > split ? rest - split : 1, 0);
  std::copy(desc + split, desc + rest, report.begin());
  for (const HidCollectionInfo& c : parsed.collections) {
    for (int t = 0; t < 3; ++t) {
      const auto type = static_cast<HidReportType>(t);
      for (const HidCap& cap : c.Buttons(type)) {
        report[0] = cap.report_id;
        std::vector<uint16_t> usages;
        HidGetUsages(c, type, cap.usage_page, report.data(), report.size(),
                     HidMaxUsageListLength(c, type, cap.usage_page), &usages);
      }
      for (const HidCap& cap : c.Values(type)) {
        report[0] = cap.report_id;
        uint32_t v;
        int32_t s;
        HidGetUsageValue(c, type, cap.usage_page, cap.usage_max, report.data(), report.size(), &v);
        HidGetScaledUsageValue(c, type, cap.usage_page, cap.usage_min, report.data(),
                               report.size(), &s);
      }
    }
  }
  return 0;
}
