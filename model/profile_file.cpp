// Profile file bytes: build, check, parse.
#include "model/profile_file.h"

#include <algorithm>
#include <new>

namespace orvane {

uint64_t DeclaredProfileFileSize(const ProfileHeader& h) {
  return uint64_t(h.macroCount) * kMacroRecordSize + uint64_t(h.textSize) + kProfileImageSize;
}

std::string MissingProfileParts(const ProfileHeader& h, uint64_t file_size) {
  std::string missing;
  const uint64_t count = h.macroCount;
  const uint64_t after_image = file_size > kProfileImageSize ? file_size - kProfileImageSize : 0;
  // A record cut short is as lost as one that is not there at all.
  const uint64_t whole = std::min(count, after_image / kMacroRecordSize);
  if (whole < count) {
    const std::string total = std::to_string(count);
    missing = whole + 1 == count ? "macro " + total + " of " + total
                                 : "macros " + std::to_string(whole + 1) + " to " + total + " of " + total;
  }
  const uint64_t pool_start = kProfileImageSize + count * kMacroRecordSize;
  const uint64_t present = file_size > pool_start ? std::min<uint64_t>(file_size - pool_start, h.textSize) : 0;
  if (present < h.textSize) {
    if (!missing.empty()) missing += " and ";
    missing += present == 0 ? "the text pool (" + std::to_string(h.textSize) + " bytes)"
                            : "the last " + std::to_string(h.textSize - present) + " of the text pool's " +
                                  std::to_string(h.textSize) + " bytes";
  }
  return missing;
}

HeaderCheck CheckProfileHeader(std::span<const uint8_t, 32> bytes) {
  const ProfileHeader h = HeaderFromBytes(bytes);
  if (h.magic != kProfileMagic) return HeaderCheck::kMagic;
  if (h.headerSize != 32) return HeaderCheck::kHeaderSize;
  if (h.version != kProfileVersion) return HeaderCheck::kVersion;
  if (h.constant != 1) return HeaderCheck::kConstant;
  if (h.fileSize < kProfileImageSize || uint64_t(h.fileSize) != DeclaredProfileFileSize(h))
    return HeaderCheck::kTotalSize;
  if (h.textSlotCount != kTextSlotCount) return HeaderCheck::kTextSlotCount;
  if (h.macroCount > kMaxMacros) return HeaderCheck::kMacroCount;
  if (h.flag > 1) return HeaderCheck::kFlag;
  if (h.checksum != HeaderChecksum(h)) return HeaderCheck::kChecksum;
  return HeaderCheck::kOk;
}

std::optional<std::vector<uint8_t>> BuildProfileFileBytes(ProfileConfig& config) {
  if (!config.image || config.macros.size() > 0xFFFF) return std::nullopt;
  try {
    ProfileImage& image = *config.image;
    const uint32_t text_size = config.texts.Total();
    WriteProfileHeader(image, uint16_t(config.macros.size()), text_size, 0);
    std::vector<uint8_t> bytes(size_t(DeclaredProfileFileSize(image.header)), 0);
    // A text entry without a text points past the pool, so that when the file is read back it
    // does not pick up whichever text now sits at its old offset.
    for (int slot = 0; slot < kTextSlotCount; ++slot) {
      KeyAction& entry = image.entries[size_t(slot)];
      if (HasText(entry.type) && !config.texts.Text(slot)) entry.value = text_size;
    }
    // Packing writes the offsets into the image, so it comes before the image is copied out.
    std::span<uint8_t> pool(bytes.data() + kProfileImageSize + config.macros.size() * kMacroRecordSize,
                            text_size);
    PackTexts(image, config.texts, pool);
    ImageToBytes(image, std::span<uint8_t, kProfileImageSize>(bytes.data(), kProfileImageSize));
    uint8_t* at = bytes.data() + kProfileImageSize;
    for (const MacroRecord& m : config.macros) {
      MacroRecordToBytes(m, std::span<uint8_t, kMacroRecordSize>(at, kMacroRecordSize));
      at += kMacroRecordSize;
    }
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool ParseProfileFile(std::span<const uint8_t> bytes, ProfileConfig& out) {
  if (bytes.size() < kProfileImageSize) return false;
  try {
    auto image = std::make_unique<ProfileImage>();
    ImageFromBytes(bytes, *image);
    const uint64_t declared_count = image->header.macroCount;
    const uint64_t after_image = bytes.size() - kProfileImageSize;
    const uint64_t whole_records = after_image / kMacroRecordSize;
    const size_t count = size_t(std::min<uint64_t>({declared_count, whole_records, uint64_t(kMaxMacros)}));
    std::vector<MacroRecord> macros(count);
    for (size_t i = 0; i < count; ++i)
      MacroRecordFromBytes(bytes.subspan(kProfileImageSize + i * kMacroRecordSize, kMacroRecordSize),
                           macros[i]);
    // The pool sits after every declared record, whether or not they were all there.
    const uint64_t pool_start = kProfileImageSize + declared_count * kMacroRecordSize;
    std::span<const uint8_t> pool;
    if (pool_start < bytes.size()) {
      const uint64_t available = bytes.size() - pool_start;
      pool = bytes.subspan(size_t(pool_start),
                           size_t(std::min<uint64_t>(available, image->header.textSize)));
    }
    out.Free();
    out.image = std::move(image);
    out.macros = std::move(macros);
    return UnpackTexts(*out.image, pool, out.texts);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::unique_ptr<ProfileImage> NewDefaultImage() {
  std::unique_ptr<ProfileImage> image(new (std::nothrow) ProfileImage());
  if (!image) return nullptr;
  WriteProfileHeader(*image, 0, 0, 0);
  WriteDeviceIdentity(*image);
  // Only layer 0 carries the G-key codes; layers 1 to 3 stay entirely zero.
  for (int n = 1; n <= 9; ++n) {
    image->EntryAt(0, kGKeySetA + n - 1)->code = GKeyCode(0, n);
    image->EntryAt(0, kGKeySetB + n - 1)->code = GKeyCode(1, n);
  }
  return image;
}

}  // namespace orvane
