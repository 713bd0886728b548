// Profile image, text pool and the two instances.
#include "model/profile_config.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "model/byte_order.h"

namespace orvane {

const char* KeyActionTypeName(uint16_t type) {
  static constexpr const char* kNames[] = {"Default",  "Disabled",  "SingleKey", "LaunchProgram", "PlayMacro",
                                           "StopMacro", "PlayText", "Media",     "Function"};
  return type < std::size(kNames) ? kNames[type] : nullptr;
}

KeyAction* ProfileImage::EntryAt(int layer, int index) {
  if (layer < 0 || layer >= kLayerCount || index < 0 || index >= kLayerEntries) return nullptr;
  return &entries[size_t(layer * kLayerEntries + index)];
}

const KeyAction* ProfileImage::EntryAt(int layer, int index) const {
  return const_cast<ProfileImage*>(this)->EntryAt(layer, index);
}

std::array<uint8_t, 32> HeaderToBytes(const ProfileHeader& h) {
  std::array<uint8_t, 32> b{};
  StoreU16(&b[0], h.magic);
  StoreU16(&b[2], h.headerSize);
  StoreU16(&b[4], h.version);
  StoreU16(&b[6], h.constant);
  StoreU32(&b[8], h.fileSize);
  StoreU16(&b[12], h.textSlotCount);
  StoreU16(&b[14], h.macroCount);
  StoreU32(&b[16], h.textSize);
  StoreU32(&b[20], h.reserved1);
  StoreU32(&b[24], h.reserved2);
  StoreU16(&b[28], h.reserved3);
  b[30] = h.flag;
  b[31] = h.checksum;
  return b;
}

ProfileHeader HeaderFromBytes(std::span<const uint8_t, 32> b) {
  ProfileHeader h;
  h.magic = LoadU16(&b[0]);
  h.headerSize = LoadU16(&b[2]);
  h.version = LoadU16(&b[4]);
  h.constant = LoadU16(&b[6]);
  h.fileSize = LoadU32(&b[8]);
  h.textSlotCount = LoadU16(&b[12]);
  h.macroCount = LoadU16(&b[14]);
  h.textSize = LoadU32(&b[16]);
  h.reserved1 = LoadU32(&b[20]);
  h.reserved2 = LoadU32(&b[24]);
  h.reserved3 = LoadU16(&b[28]);
  h.flag = b[30];
  h.checksum = b[31];
  return h;
}

void ImageToBytes(const ProfileImage& image, std::span<uint8_t, kProfileImageSize> out) {
  auto header = HeaderToBytes(image.header);
  std::copy(header.begin(), header.end(), out.begin());
  std::copy(image.identity.begin(), image.identity.end(), out.begin() + 32);
  uint8_t* p = out.data() + 64;
  for (const KeyAction& e : image.entries) {
    StoreU16(p, e.type);
    StoreU16(p + 2, e.code);
    StoreU32(p + 4, e.value);
    StoreU32(p + 8, e.reserved1);
    StoreU32(p + 12, e.reserved2);
    p += 16;
  }
}

std::vector<uint8_t> ImageToBytes(const ProfileImage& image) {
  std::vector<uint8_t> bytes(kProfileImageSize);
  ImageToBytes(image, std::span<uint8_t, kProfileImageSize>(bytes.data(), kProfileImageSize));
  return bytes;
}

bool ImageFromBytes(std::span<const uint8_t> bytes, ProfileImage& image) {
  if (bytes.size() < kProfileImageSize) return false;
  image.header = HeaderFromBytes(bytes.first<32>());
  std::copy_n(bytes.data() + 32, 32, image.identity.begin());
  const uint8_t* p = bytes.data() + 64;
  for (KeyAction& e : image.entries) {
    e = KeyAction{LoadU16(p), LoadU16(p + 2), LoadU32(p + 4), LoadU32(p + 8), LoadU32(p + 12)};
    p += 16;
  }
  return true;
}

uint8_t HeaderChecksum(const ProfileHeader& header) {
  auto b = HeaderToBytes(header);
  unsigned sum = 0;
  for (int i = 0; i < 31; ++i) sum += b[size_t(i)];
  return uint8_t(sum);
}

void WriteProfileHeader(ProfileImage& image, uint16_t macro_count, uint32_t text_size,
                        uint8_t flag) {
  ProfileHeader& h = image.header;
  h.magic = kProfileMagic;
  h.headerSize = 32;
  h.version = kProfileVersion;
  h.constant = 1;
  h.fileSize = uint32_t(uint64_t(macro_count) * kMacroRecordSize + text_size + kProfileImageSize);
  h.textSlotCount = uint16_t(kTextSlotCount);
  h.macroCount = macro_count;
  h.textSize = text_size;
  h.reserved1 = 0;
  h.reserved2 = 0;
  h.reserved3 = 0;
  h.flag = flag;
  h.checksum = HeaderChecksum(h);
}

void WriteDeviceIdentity(ProfileImage& image) { image.identity = kDeviceIdentity; }

void ClearLayer(ProfileImage& image, int layer) {
  if (layer < 0 || layer >= kLayerCount) return;
  auto first = image.entries.begin() + layer * kLayerEntries;
  std::fill(first, first + kLayerEntries, KeyAction{});
  for (int n = 1; n <= 9; ++n) {
    image.EntryAt(layer, kGKeySetA + n - 1)->code = GKeyCode(0, n);
    image.EntryAt(layer, kGKeySetB + n - 1)->code = GKeyCode(1, n);
  }
}

TextPool::TextPool() : slots_(kTextSlotCount) {}

const std::u16string* TextPool::Text(int slot) const {
  if (slot < 0 || slot >= kTextSlotCount || !slots_[size_t(slot)]) return nullptr;
  return &*slots_[size_t(slot)];
}

uint32_t TextPool::SizeOf(int slot) const {
  const std::u16string* t = Text(slot);
  return t ? uint32_t((t->size() + 1) * 2) : 0;
}

bool TextPool::Set(int slot, std::u16string text) {
  if (slot < 0 || slot >= kTextSlotCount) return false;
  size_t zero = text.find(u'\0');
  if (zero != std::u16string::npos) text.resize(zero);
  total_ -= SizeOf(slot);
  slots_[size_t(slot)] = std::move(text);
  total_ += SizeOf(slot);
  return true;
}

void TextPool::Clear(int slot) {
  if (slot < 0 || slot >= kTextSlotCount) return;
  total_ -= SizeOf(slot);
  slots_[size_t(slot)].reset();
}

void TextPool::ClearAll() {
  for (auto& s : slots_) s.reset();
  total_ = 0;
}

size_t PackTexts(ProfileImage& image, const TextPool& texts, std::span<uint8_t> buffer) {
  const uint64_t limit = std::min<uint64_t>(image.header.textSize, buffer.size());
  uint64_t offset = 0;
  for (int slot = 0; slot < kTextSlotCount; ++slot) {
    const std::u16string* text = texts.Text(slot);
    KeyAction& entry = image.entries[size_t(slot)];
    if (!text || !HasText(entry.type)) continue;
    const uint64_t size = texts.SizeOf(slot);
    if (offset + size > limit) continue;
    uint8_t* p = buffer.data() + (offset & ~uint64_t(1));
    for (char16_t c : *text) {
      StoreU16(p, c);
      p += 2;
    }
    StoreU16(p, 0);
    entry.value = uint32_t(offset);
    offset += size;
  }
  return size_t(offset);
}

std::vector<uint8_t> PackTexts(ProfileImage& image, const TextPool& texts) {
  std::vector<uint8_t> buffer(image.header.textSize);
  PackTexts(image, texts, buffer);
  return buffer;
}

bool UnpackTexts(const ProfileImage& image, std::span<const uint8_t> packed, TextPool& texts) {
  texts.ClearAll();
  for (int slot = 0; slot < kTextSlotCount; ++slot) {
    const KeyAction& entry = image.entries[size_t(slot)];
    if (!HasText(entry.type)) continue;
    const uint64_t start = entry.value & ~uint32_t(1);
    if (start >= packed.size()) continue;  // points outside the pool: no text
    // Measure up to the terminator or the last whole character of the buffer.
    size_t end = size_t(start);
    while (end + 1 < packed.size() && LoadU16(&packed[end]) != 0) end += 2;
    try {
      std::u16string text((end - size_t(start)) / 2, u'\0');
      for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(LoadU16(&packed[size_t(start) + 2 * i]));
      texts.Set(slot, std::move(text));
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  return true;
}

void ProfileConfig::Free() {
  texts.ClearAll();
  macros.clear();
  macros.shrink_to_fit();
  packedTexts.clear();
  packedTexts.shrink_to_fit();
  image.reset();
}

ProfileConfig ProfileConfig::Copy() const {
  ProfileConfig copy;
  if (image) copy.image = std::make_unique<ProfileImage>(*image);
  copy.macros = macros;
  copy.texts = texts;
  copy.packedTexts = packedTexts;
  return copy;
}

int MacroPosition(std::span<const MacroRecord> macros, uint16_t id) {
  for (size_t i = 0; i < macros.size(); ++i)
    if (macros[i].id == id) return int(i);
  return 0;
}

int MacroPosition(const ProfileInstance& instance, uint16_t id) {
  auto lock = instance.Acquire();
  return MacroPosition(instance.Config().macros, id);
}

void ProfileInstance::Replace(ProfileConfig next) {
  auto lock = Acquire();
  config_.Free();
  config_ = std::move(next);
}

void ProfileInstance::Discard() {
  auto lock = Acquire();
  config_.Free();
}

}  // namespace orvane
