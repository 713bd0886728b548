// Apply, the configuration write and the keyboard read-back.
#include "model/apply.h"

#include <new>
#include <vector>

#include "model/byte_order.h"
#include "model/device_image.h"
#include "model/macro.h"
#include "model/profile_config.h"
#include "model/profile_file.h"
#include "platform/files.h"

namespace orvane {
namespace {

// The snapshot: image copied with a fresh header, macros copied, texts packed into the copy.
bool Snapshot(const ProfileConfig& editing, ProfileConfig& applied) {
  applied.Free();
  if (!editing.image) return false;
  try {
    applied.image = std::make_unique<ProfileImage>(*editing.image);
    if (editing.macros.size() > 0xFFFF) return false;
    WriteProfileHeader(*applied.image, uint16_t(editing.macros.size()), editing.texts.Total(), 0);
    applied.macros = editing.macros;
    // The applied instance is a packed image: its text entries hold offsets into its own pool.
    applied.packedTexts = PackTexts(*applied.image, editing.texts);
    return true;
  } catch (const std::bad_alloc&) {
    applied.Free();
    return false;
  }
}

}  // namespace

int Apply(const ConfigContext& context, bool all_layers, CDeviceProtocol& device, IPrompt& prompt,
          const ITextSource& texts) {
  ProfileInstance& editing = context.editing;
  ProfileInstance& applied = context.applied;
  auto editing_lock = editing.Acquire();  // the caller holds it already; taking it keeps the order
  auto device_lock = applied.Acquire();
  if (!Snapshot(editing.Config(), applied.Config())) return 0;
  return WriteConfiguration(context, all_layers, device, prompt, texts);
}

bool SnapshotForApply(const ConfigContext& context) {
  auto editing_lock = context.editing.Acquire();
  auto device_lock = context.applied.Acquire();
  return Snapshot(context.editing.Config(), context.applied.Config());
}

std::optional<ConfigurationWrite> PlanConfigurationWrite(const ProfileConfig& config,
                                                         const std::vector<int>& layers,
                                                         const KeyboardFacts& keyboard) {
  if (!config.image) return std::nullopt;
  ConfigurationWrite plan;
  const MacroAreaSize sizes = MacroAreaSizes(config.macros);
  const size_t capacity = keyboard.MacroCapacity();
  const MacroAreaFit fit = FitMacroArea(sizes, capacity);
  plan.fits = fit != MacroAreaFit::TooLong;
  plan.with_names = fit == MacroAreaFit::WithNames;
  try {
    if (plan.fits) {
      plan.area = EncodeMacroArea(config.macros, plan.with_names ? sizes.withNames : sizes.withoutNames,
                                  plan.with_names);
    }
    // Key blocks are encoded from the applied macro array, a copy of the editing one made by
    // the same Apply, so the positions match without reaching back for the editing lock.
    const KeyBlock defaults = keyboard.DefaultKeyBlock();
    for (int layer : layers) {
      if (layer < 0 || layer > 2) return std::nullopt;
      plan.blocks.emplace_back(layer, EncodeKeyBlock(*config.image, layer, config.macros, defaults));
    }
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return plan;
}

namespace {

// Writes the applied instance's layers into the key blocks of the same numbers, with the macro
// area, in one access bracket; the caller holds the device lock.
int WriteLayers(const ConfigContext& context, const std::vector<int>& layers, CDeviceProtocol& device,
                IPrompt& prompt, const ITextSource& texts) {
  std::optional<ConfigurationWrite> plan =
      PlanConfigurationWrite(context.applied.Config(), layers, context.keyboard);
  if (!plan) return 0;
  if (!plan->fits) {
    prompt.Notice(texts.Text("EXTRA_MACRO_TOO_LONG"), true);
    return 0;
  }

  bool all_written = false;
  {
    // The bracket is one exchange: another program's commands cannot come between its writes.
    CDeviceProtocol::Exchange exchange(device);
    device.BeginAccess();
    all_written = device.WriteMacroArea(plan->area) == kResultOk;
    for (const auto& [layer, block] : plan->blocks)
      if (device.WriteKeyBlock(block, layer) != kResultOk) all_written = false;
    device.EndAccess();
    if (exchange.Busy()) {
      prompt.Notice(texts.Text(kTextKeyboardBusy), true);
      return 0;
    }
  }

  if (!plan->with_names) prompt.Notice(texts.Text("EXTRA_PROFILE_SPACE_TIGHT"), true);
  return all_written ? 1 : 0;
}

}  // namespace

int WriteConfiguration(const ConfigContext& context, bool all_layers, CDeviceProtocol& device,
                       IPrompt& prompt, const ITextSource& texts) {
  ProfileInstance& applied = context.applied;
  auto device_lock = applied.Acquire();
  if (!applied.Config().image) return 0;
  if (all_layers) return WriteLayers(context, {0, 1, 2}, device, prompt, texts);
  // The capacity notice comes before the profile is asked for, as for every write.
  if (FitMacroArea(MacroAreaSizes(applied.Config().macros), context.keyboard.MacroCapacity()) ==
      MacroAreaFit::TooLong) {
    prompt.Notice(texts.Text("EXTRA_MACRO_TOO_LONG"), true);
    return 0;
  }
  const int current = device.CurrentProfile();
  if (current < 0 || current > 2) return 0;
  return WriteLayers(context, {current}, device, prompt, texts);
}

int ApplyLayer(const ConfigContext& context, int layer, CDeviceProtocol& device, IPrompt& prompt,
               const ITextSource& texts) {
  if (layer < 0 || layer > 2) return 0;
  ProfileInstance& editing = context.editing;
  ProfileInstance& applied = context.applied;
  auto editing_lock = editing.Acquire();
  auto device_lock = applied.Acquire();
  if (!Snapshot(editing.Config(), applied.Config())) return 0;
  return WriteLayers(context, {layer}, device, prompt, texts);
}

int BuildImageFromKeyboard(const KeyboardFacts& keyboard, const std::string& path, CDeviceProtocol& device,
                           const ITextSource& texts) {
  // Every read of the image in one exchange, so they all see the same configuration.
  CDeviceProtocol::Exchange exchange(device);
  const int current = device.CurrentProfile();
  if (current < 0) return 0;
  try {
    std::array<KeyBlock, 3> blocks{};
    for (int n = 0; n < 3; ++n)
      if (device.ReadKeyBlock(blocks[size_t(n)], n) != kResultOk) return 0;

    std::vector<uint8_t> area(kMacroAreaHeaderSize, 0);
    if (device.ReadMacroArea(area) != kResultOk) return 0;
    if (LoadU16(&area[0]) == kMacroAreaMagic) {
      const size_t size = LoadU16(&area[2]);
      // An area that claims less than its own header has nothing after it to read.
      if (size > kMacroAreaHeaderSize) {
        area.assign(size, 0);
        if (device.ReadMacroArea(area) != kResultOk) return 0;
      }
    } else {
      area.clear();  // no macros
    }

    ProfileConfig config;
    config.image = std::make_unique<ProfileImage>();
    WriteDeviceIdentity(*config.image);
    const KeyBlock defaults = keyboard.DefaultKeyBlock();
    for (int layer = 0; layer < 3; ++layer)
      DecodeKeyBlock(blocks[size_t(layer)], *config.image, layer, defaults);
    ClearLayer(*config.image, 3);
    config.macros = DecodeMacroArea(area, texts);
    auto bytes = BuildProfileFileBytes(config);
    if (!bytes) return 0;
    return WriteFileAtomic(path, *bytes) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace orvane
