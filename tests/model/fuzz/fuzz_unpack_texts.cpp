// libFuzzer target: profile images and packed text pools as read from profile files. The first
// 32,832 bytes (zero-padded) are the image, the rest is the packed pool.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "model/profile_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> image_bytes(orvane::kProfileImageSize, 0);
  const size_t head = std::min(size, orvane::kProfileImageSize);
  std::copy_n(data, head, image_bytes.begin());
  auto image = std::make_unique<orvane::ProfileImage>();
  orvane::ImageFromBytes(image_bytes, *image);
  orvane::TextPool pool;
  orvane::UnpackTexts(*image, std::span<const uint8_t>(data + head, size - head), pool);
  // Packing again must stay inside a buffer of the pool's total.
  orvane::WriteProfileHeader(*image, 0, pool.Total(), 0);
  auto packed = orvane::PackTexts(*image, pool);
  if (packed.size() != pool.Total()) __builtin_trap();
  return 0;
}
