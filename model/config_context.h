// What the configuration operations act on: the two instances of ProfileConfig and what the
// program has learnt from the keyboard. The program's entry (the application, the command-line
// tool) owns one of each for the whole run and hands this context to the operations of
// model/apply.h and store/profile_store.h; tests make their own, so no test shares state with
// another.
#pragma once

#include "model/device_image.h"
#include "model/profile_config.h"

namespace orvane {

struct ConfigContext {
  ProfileInstance& editing;  // guarded by the editing lock (its own)
  ProfileInstance& applied;  // guarded by the device lock (its own); taken after the editing lock
  KeyboardFacts& keyboard;   // default key block and macro capacity
};

}  // namespace orvane
