// A monotonic millisecond clock and a plain sleep.
#pragma once

#include <cstdint>

namespace orvane {

// Milliseconds since an arbitrary fixed point; never goes backwards.
uint64_t TickCountMs();

void SleepMs(uint32_t ms);

}  // namespace orvane
