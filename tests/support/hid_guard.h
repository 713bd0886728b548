// The HID backend every unit-test program starts with: a test that reaches the default backend
// without giving itself one of its own (the simulated keyboard, a fake node tree) would otherwise
// talk to the machine's real /dev/hidraw* nodes, so the guard fails that test instead, loudly,
// and offers no node. Linked into every test program by orvane_add_test.
#pragma once

#include "platform/hid_backend.h"

namespace orvane::testing_support {

// The message every failure of the guard carries.
inline constexpr const char* kHidGuardMessage = "reached the machine's real HID backend";

// The guard itself (installed as the default backend before main runs).
IHidBackend& HidGuard();

}  // namespace orvane::testing_support
