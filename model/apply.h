// Applying a configuration to the keyboard and reading one back from it.
//
//  - Apply snapshots the editing instance into the applied instance and writes it (key blocks
//    and the shared macro area) into the keyboard.
//  - WriteConfiguration writes the applied instance; Apply calls it.
//  - BuildImageFromKeyboard reads the three key blocks and the macro area and writes a profile
//    file holding them (the keyboard keeps no texts, so launch and text entries cannot come back).
//
// Each takes what it acts on: the context's instances and keyboard facts (model/config_context.h),
// or just the facts where no instance is involved.
// LOCKS: Apply takes the editing lock, then the device lock (the applied instance's), and holds
// both while it writes; the protocol takes its own I/O lock per report.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/protocol.h"
#include "model/config_context.h"
#include "model/device_image.h"
#include "model/profile_config.h"
#include "platform/prompt.h"
#include "platform/text_source.h"

namespace orvane {

// Snapshot of the editing instance into the applied instance, then WriteConfiguration. With
// all_layers false only the keyboard's current profile's key block is written. 1 on success,
// 0 on failure (nothing is written when the snapshot cannot be made).
int Apply(const ConfigContext& context, bool all_layers, CDeviceProtocol& device, IPrompt& prompt,
          const ITextSource& texts);

// Apply's first half on its own: the snapshot of the editing instance into the applied instance,
// taking both locks in order and releasing them again. For callers that write on another thread
// (the main window's busy write): snapshot here, then WriteConfiguration on the worker, which
// needs only the device lock. False when no snapshot could be made (nothing to write then).
bool SnapshotForApply(const ConfigContext& context);

// Writes the applied instance into the keyboard:
//  - the macro area with names when it fits the capacity, without names (then the notice
//    "EXTRA_PROFILE_SPACE_TIGHT") when only that fits, and nothing at all (the notice
//    "EXTRA_MACRO_TOO_LONG", result 0) when even that does not fit;
//  - the key block of every layer written (0, 1, 2, or the current profile's), each attempted
//    even when an earlier write failed.
// 1 only when the macro area and every key block were written. A current profile the keyboard
// cannot report (or outside 0-2) refuses a single-layer write before anything is sent.
int WriteConfiguration(const ConfigContext& context, bool all_layers, CDeviceProtocol& device,
                       IPrompt& prompt, const ITextSource& texts);

// Applies one layer: the same snapshot as Apply, then layer (0-2) of it is written into the
// on-board profile of the same number, with the macro area. -201 is not used: a layer outside
// 0-2 gives 0 with nothing sent.
int ApplyLayer(const ConfigContext& context, int layer, CDeviceProtocol& device, IPrompt& prompt,
               const ITextSource& texts);

// What one configuration write sends, encoded before anything is sent.
struct ConfigurationWrite {
  bool fits = false;         // the macro area fits the capacity, at least without names
  bool with_names = false;   // ... and with them
  std::vector<uint8_t> area; // empty when it does not fit
  std::vector<std::pair<int, KeyBlock>> blocks;  // (layer = key block number, block)
};

// Encodes the macro area for the keyboard's capacity and the key blocks of the given layers (each
// 0-2) from config, with the keyboard's default key block. Nothing when memory runs out or config
// has no image.
std::optional<ConfigurationWrite> PlanConfigurationWrite(const ProfileConfig& config,
                                                         const std::vector<int>& layers,
                                                         const KeyboardFacts& keyboard);

// Reads the keyboard's configuration and saves it as a profile file at path (replacing it
// atomically). 1 on success; 0 when any read fails (the file is then left as it was) or the file
// cannot be written. texts give the names of macros stored without names; the key blocks are
// read against the keyboard's default key block.
int BuildImageFromKeyboard(const KeyboardFacts& keyboard, const std::string& path, CDeviceProtocol& device,
                           const ITextSource& texts);

}  // namespace orvane
