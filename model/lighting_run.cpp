#include "model/lighting_run.h"

#include <array>

namespace orvane {

int RunLightingPlan(CDeviceProtocol& protocol, const LightingPlan& plan,
                    const LightingReadSink& on_read) {
  CDeviceProtocol::Exchange exchange(protocol);
  int first_failure = kResultOk;
  auto note = [&](int r) {
    if (r != kResultOk && first_failure == kResultOk) first_failure = r;
    return r == kResultOk;
  };
  for (const LightingStep& step : plan) {
    switch (step.kind) {
      case LightingStepKind::BeginAccess:
        protocol.BeginAccess();
        break;
      case LightingStepKind::EndAccess:
        protocol.EndAccess();
        break;
      case LightingStepKind::ReadSettings: {
        DeviceSettings settings;
        if (note(protocol.ReadSettings(&settings)) && on_read) on_read(step, settings.bytes);
        break;
      }
      case LightingStepKind::ReadLighting: {
        std::array<uint8_t, kReportDataBytes> data{};
        if (note(protocol.ReadLighting(data, step.length, step.address)) && on_read)
          on_read(step, data);
        break;
      }
      case LightingStepKind::WriteLighting:
        note(protocol.WriteLighting(step.bytes.data(), step.bytes.size(), step.address));
        break;
      case LightingStepKind::ReadColourPage: {
        std::array<uint8_t, kReportDataBytes> data{};
        const int page = step.address / kColourPageBytes;
        const auto offset = uint16_t(step.address % kColourPageBytes);
        if (note(protocol.ReadColourPage(data, step.length, offset, page)) && on_read)
          on_read(step, data);
        break;
      }
      case LightingStepKind::WriteColourPage: {
        const int page = step.address / kColourPageBytes;
        const auto offset = uint16_t(step.address % kColourPageBytes);
        note(protocol.WriteColourPage(step.bytes.data(), step.bytes.size(), offset, page));
        break;
      }
    }
  }
  return first_failure;
}

}  // namespace orvane
