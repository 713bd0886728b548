#include "ui/skin/region_from_mask.h"

#include <algorithm>
#include <vector>

namespace orvane {

QRegion RegionFromMask(const QImage& picture, QRgb key, QRgb tolerance) {
  QRegion result;
  if (picture.isNull()) return result;
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  const int low_r = qRed(key), low_g = qGreen(key), low_b = qBlue(key);
  const int high_r = std::min(255, low_r + qRed(tolerance));
  const int high_g = std::min(255, low_g + qGreen(tolerance));
  const int high_b = std::min(255, low_b + qBlue(tolerance));
  auto transparent = [&](QRgb p) {
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    return r >= low_r && r <= high_r && g >= low_g && g <= high_g && b >= low_b && b <= high_b;
  };

  std::vector<QRect> block;
  block.reserve(100);
  auto flush = [&] {
    if (block.empty()) return;
    QRegion batch;
    batch.setRects(block.data(), int(block.size()));
    result = result.united(batch);
    block.clear();
  };

  const int width = image.width();
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int x = 0;
    while (x < width) {
      while (x < width && transparent(row[x])) ++x;
      if (x >= width) break;
      const int start = x;
      while (x < width && !transparent(row[x])) ++x;
      if (block.size() == block.capacity()) block.reserve(block.capacity() + 100);
      block.emplace_back(start, y, x - start, 1);
      if (int(block.size()) == kRegionBatch) flush();
    }
  }
  flush();
  return result;
}

}  // namespace orvane
