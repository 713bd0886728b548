#include "skin_fixture.h"

#include <cstdlib>
#include <filesystem>

#include "platform/ini_file.h"

namespace orvane::testing {

TempSkin::TempSkin() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvane-skin-XXXXXX").string();
  if (char* made = mkdtemp(pattern.data())) root_ = made;
  std::filesystem::create_directories(root_ + "/Skins");
  if (const char* old = std::getenv("ORVANE_PROGRAM_DIR")) {
    had_program_dir_ = true;
    previous_program_dir_ = old;
  }
  setenv("ORVANE_PROGRAM_DIR", root_.c_str(), 1);
}

TempSkin::~TempSkin() {
  if (had_program_dir_)
    setenv("ORVANE_PROGRAM_DIR", previous_program_dir_.c_str(), 1);
  else
    unsetenv("ORVANE_PROGRAM_DIR");
  std::error_code ec;
  if (!root_.empty()) std::filesystem::remove_all(root_, ec);
}

std::string TempSkin::WriteImage(const std::string& relative, const QImage& image) const {
  const std::string path = Path(relative);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  image.save(QString::fromStdString(path));
  return path;
}

void TempSkin::SetValue(const std::string& relative_ini, const std::string& section, const std::string& key,
                        const std::string& value) const {
  IniWriteString(Path(relative_ini), section, key, value);
}

QImage CoordinateImage(QSize size, int tag) {
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, tag & 0xFF));
  return image;
}

PixelOrigin OriginOf(QRgb pixel) { return {qRed(pixel), qGreen(pixel), qBlue(pixel)}; }

QImage SolidImage(QSize size, QColor colour) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

}  // namespace orvane::testing
