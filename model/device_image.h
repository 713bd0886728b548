// The keyboard's own form of a configuration: per on-board profile a key block of 126 three-byte
// entries (kind, b1, b2), one per physical key position, plus the macro area shared by all
// profiles. Here: the default key block (which key each position belongs to), the translation of
// a layer of KeyAction entries into a key block and back, and the holder of what the program
// learns from the keyboard when it finds it (its default key block and its macro capacity).
//
// Nothing here talks to the keyboard (see model/apply.h for that) and nothing here is global: the
// encoders take the default block they work with, and KeyboardFacts is owned by whoever runs.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "device/keyboard_format.h"
#include "model/macro_record.h"
#include "model/profile_config.h"

namespace orvane {

using KeyBlock = std::array<uint8_t, kKeyBlockBytes>;

// The block the program starts with.
const KeyBlock& CompiledDefaultKeyBlock();

// What the program learns from the keyboard when it finds it. Thread-safe: the presence monitor
// sets the values while the GUI thread writes configurations with them.
class KeyboardFacts {
 public:
  // The default key block in force: the compiled-in one until SetDefaultKeyBlock replaces it
  // with the keyboard's own; it then stays for the rest of the run.
  KeyBlock DefaultKeyBlock() const;
  void SetDefaultKeyBlock(std::span<const uint8_t, kKeyBlockBytes> block);
  // Bytes the keyboard's macro area can hold; 0 until the keyboard has been read.
  size_t MacroCapacity() const { return macro_capacity_.load(); }
  void SetMacroCapacity(size_t bytes) { macro_capacity_.store(bytes); }

 private:
  mutable std::mutex mutex_;
  KeyBlock default_block_ = CompiledDefaultKeyBlock();
  std::atomic<size_t> macro_capacity_{0};
};

// Key code of entry p (0-125) of a block; 0 for p out of range or a position that cannot be
// configured (see KeyCodeOfDefaultEntry in model/key_table.h).
uint16_t KeyCodeOfBlockEntry(std::span<const uint8_t, kKeyBlockBytes> block, int position);

// ---- Layer <-> key block ----

// The key block for one layer of an image. Every position whose default entry names a key takes
// its entry from the layer entry of that key; other positions keep their default entry, as do
// entries of a type the keyboard has no form for (above 8) or a Media index past the table.
// PlayMacro entries are numbered by the macro's position in `macros`. Layers outside 0-3 give
// the default block unchanged.
KeyBlock EncodeKeyBlock(const ProfileImage& image, int layer, std::span<const MacroRecord> macros,
                        std::span<const uint8_t, kKeyBlockBytes> defaults);

// Fills one layer of an image from a key block read from the keyboard: the layer is cleared
// first, then every entry that differs from its default entry sets the layer entry of its key.
// Layers outside 0-3 are left alone.
void DecodeKeyBlock(std::span<const uint8_t, kKeyBlockBytes> block, ProfileImage& image, int layer,
                    std::span<const uint8_t, kKeyBlockBytes> defaults);

}  // namespace orvane
