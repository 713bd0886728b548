// A throw-away program folder with a Skins folder, for tests and the gallery: pictures and layout
// values are written on demand, and the program folder points at it while the object lives.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <string>

namespace orvane::testing {

class TempSkin {
 public:
  TempSkin();
  ~TempSkin();
  TempSkin(const TempSkin&) = delete;
  TempSkin& operator=(const TempSkin&) = delete;

  const std::string& root() const { return root_; }
  std::string skins() const { return root_ + "/Skins"; }
  // Full path of a name under the program folder ("Skins/Main.ini").
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  // Writes the picture (format from the extension); returns the full path.
  std::string WriteImage(const std::string& relative, const QImage& image) const;
  void SetValue(const std::string& relative_ini, const std::string& section, const std::string& key,
                const std::string& value) const;

 private:
  std::string root_;
  std::string previous_program_dir_;
  bool had_program_dir_ = false;
};

// A picture whose every pixel tells where it is: red = x mod 256, green = y mod 256, blue = tag.
QImage CoordinateImage(QSize size, int tag);
// The (x, y, tag) a pixel of CoordinateImage encodes.
struct PixelOrigin {
  int x, y, tag;
};
PixelOrigin OriginOf(QRgb pixel);

QImage SolidImage(QSize size, QColor colour);

}  // namespace orvane::testing
