// The outline of a shaped window from a picture: every pixel outside the transparent colour range
// (key colour up to key + tolerance per channel) belongs to the window.
#pragma once

#include <QImage>
#include <QRegion>
#include <QRgb>

namespace orvane {

// Rows are scanned top to bottom into one-pixel-high runs of opaque pixels; the runs are united
// into the result in batches of 2,000 so no single region request grows without bound. An empty
// region when no pixel is opaque.
QRegion RegionFromMask(const QImage& picture, QRgb key = qRgb(255, 255, 255), QRgb tolerance = qRgb(0, 0, 0));

inline constexpr int kRegionBatch = 2000;

}  // namespace orvane
