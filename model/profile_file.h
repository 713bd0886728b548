// The profile file format (".orv" files and the per-user cache file), as bytes: the 32,832-byte
// image, then the macro records in array order, then the packed text pool. Building, checking
// and reading those bytes lives here and only here; the store (store/profile_store.h) does the
// file I/O, and the keyboard reader (model/apply.h) and exporters reuse the same functions.
//
// Pure code: no I/O, no locks (callers hold the lock of the configuration they pass).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/profile_config.h"

namespace orvane {

// The header checks of a profile file, in the order they are made; the first that fails is
// reported.
enum class HeaderCheck {
  kOk,
  kMagic,          // 0x4446
  kHeaderSize,     // 32
  kVersion,        // 3
  kConstant,       // 1
  kTotalSize,      // at least 32,832 and equal to the sum of the header's own parts
  kTextSlotCount,  // 2,048
  kMacroCount,     // at most 100
  kFlag,           // at most 1
  kChecksum,       // sum of bytes 0-30 modulo 256
};

// Checks the 32 header bytes of a file. The declared total is computed in 64 bits, so a huge
// macro count or text size can never wrap round into a "valid" size. The real file size is not
// looked at.
HeaderCheck CheckProfileHeader(std::span<const uint8_t, 32> header);

// Macro count times record size plus text size plus the image, in 64 bits.
uint64_t DeclaredProfileFileSize(const ProfileHeader& header);

// What a file of file_size bytes lacks of the parts its header declares, in words ("macros 4 to
// 5 of 5 and the text pool (28 bytes)", "the last 6 of the text pool's 28 bytes"); empty when
// the file holds them all. Such a file still loads (what is there), but what is missing is lost.
std::string MissingProfileParts(const ProfileHeader& header, uint64_t file_size);

// The bytes of a profile file for a configuration whose texts live in its text slots (the
// editing instance). As a save always does, it rewrites the image's header (macro count, text
// total, flag 0) and stores each packed text's offset in its entry (a text entry whose slot is
// empty gets an offset past the pool, i.e. no text). Nothing when the
// configuration has no image, more macros than a file can hold, or memory runs out.
std::optional<std::vector<uint8_t>> BuildProfileFileBytes(ProfileConfig& config);

// Reads a profile file's bytes into a configuration (image, macro array, text slots), trusting
// the header's counts but never reading past the bytes given:
//  - fewer than 32,832 bytes: false, `out` untouched;
//  - macro records: at most 100, and only those lying wholly inside the bytes;
//  - the text pool starts where the header's macro count puts it and is cut at the end of the
//    bytes; an entry whose offset lies outside it gets no text.
// False also when memory runs out while texts are unpacked (the texts so far are kept).
bool ParseProfileFile(std::span<const uint8_t> bytes, ProfileConfig& out);

// A default image: header for no macros and no texts, the device identity block, all four
// layers zero except the G-key codes of layer 0's entries 256-273. Null when memory runs out.
std::unique_ptr<ProfileImage> NewDefaultImage();

}  // namespace orvane
