// Applying a configuration to the keyboard and reading one back from it.
//
//  - Apply snapshots the editing instance into the applied instance and writes it (key blocks
//    and the shared macro area) into the keyboard.
//  - WriteConfiguration writes the applied instance; Apply calls it.
//  - BuildImageFromKeyboard reads the three key blocks and the macro area and writes a profile
//    file holding them (the keyboard keeps no texts, so launch and text entries cannot come back).
//
// The keyboard's default key block and macro capacity come from model/device_image.h.
// LOCKS: Apply takes the editing lock, then the device lock (the applied instance's), and holds
// both while it writes; the protocol takes its own I/O lock per report.
#pragma once

#include <string>

#include "device/protocol.h"
#include "platform/prompt.h"
#include "platform/text_source.h"

namespace orvane {

// Snapshot of the editing instance into the applied instance, then WriteConfiguration. With
// all_layers false only the keyboard's current profile's key block is written. 1 on success,
// 0 on failure (nothing is written when the snapshot cannot be made).
int Apply(bool all_layers, CDeviceProtocol& device, IPrompt& prompt, const ITextSource& texts);

// Writes the applied instance into the keyboard:
//  - the macro area with names when it fits the capacity, without names (then the notice
//    "EXTRA_PROFILE_SPACE_TIGHT") when only that fits, and nothing at all (the notice
//    "EXTRA_MACRO_TOO_LONG", result 0) when even that does not fit;
//  - the key block of every layer written (0, 1, 2, or the current profile's), each attempted
//    even when an earlier write failed.
// 1 only when the macro area and every key block were written. A current profile the keyboard
// cannot report (or outside 0-2) refuses a single-layer write before anything is sent.
int WriteConfiguration(bool all_layers, CDeviceProtocol& device, IPrompt& prompt,
                       const ITextSource& texts);

// Reads the keyboard's configuration and saves it as a profile file at path (replacing it
// atomically). 1 on success; 0 when any read fails (the file is then left as it was) or the file
// cannot be written. texts give the names of macros stored without names.
int BuildImageFromKeyboard(const std::string& path, CDeviceProtocol& device,
                           const ITextSource& texts);

}  // namespace orvane
