// The keyboard's fixed sizes: its command reports and the records of its memory. One place for
// them, shared by the host side (the command protocol, the device image) and the simulated
// keyboard, which serves the same memory. Plain constants: including this header pulls in
// nothing else of the device library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane {

// Command and reply reports: report ID 4, 64 bytes with 56 data bytes.
constexpr size_t kReportBytes = 64;
constexpr size_t kReportDataBytes = 56;
constexpr uint8_t kCommandReportId = 4;

// A key block: 126 three-byte entries (kind, b1, b2), one per physical key position.
constexpr int kKeyBlockEntryCount = 126;
constexpr size_t kKeyBlockBytes = 378;
static_assert(kKeyBlockBytes == size_t(kKeyBlockEntryCount) * 3);

constexpr size_t kSettingsBytes = 48;         // the settings record
constexpr size_t kLightingRecordBytes = 42;   // one profile's lighting record
constexpr size_t kColourPageBytes = 256;      // one profile's colour page

}  // namespace orvane
