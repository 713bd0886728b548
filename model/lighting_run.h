// Sends a lighting plan (model/lighting.h) through the command protocol, as one exchange with the
// keyboard: every step in order, each read's data handed to the caller as it arrives.
#pragma once

#include <functional>
#include <span>

#include "device/protocol.h"
#include "model/lighting.h"

namespace orvane {

// Called for every read step that succeeded, with its data (settings: 48 bytes; lighting and
// colour page reads: the 56 reply data bytes).
using LightingReadSink = std::function<void(const LightingStep&, std::span<const uint8_t>)>;

// Runs every step of the plan, even after a failure, so that an opened access bracket is always
// closed. Returns 1, or the result of the first read or write that failed (the results of
// BeginAccess and EndAccess are not looked at). A failed read delivers nothing.
int RunLightingPlan(CDeviceProtocol& protocol, const LightingPlan& plan,
                    const LightingReadSink& on_read = {});

}  // namespace orvane
