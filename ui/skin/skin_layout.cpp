#include "ui/skin/skin_layout.h"

#include <QPainter>
#include <QWidget>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

namespace orvane {

std::string SkinFolder() { return JoinPath(ProgramFolder(), "Skins"); }

std::string SkinPath(const std::string& relative_name) {
  std::string rel = relative_name;
  for (char& c : rel)
    if (c == '\\') c = '/';
  return JoinPath(ProgramFolder(), rel);
}

namespace {

// One "%d" conversion: optional blanks, optional sign, at least one digit. Out-of-range values
// are clamped rather than overflowing.
bool ScanInt(const std::string& s, size_t& i, int& out) {
  size_t p = i;
  while (p < s.size() && (s[p] == ' ' || s[p] == '\t' || s[p] == '\n' || s[p] == '\r' || s[p] == '\v' ||
                          s[p] == '\f'))
    ++p;
  bool negative = false;
  if (p < s.size() && (s[p] == '+' || s[p] == '-')) negative = s[p++] == '-';
  if (p >= s.size() || s[p] < '0' || s[p] > '9') return false;
  long long v = 0;
  while (p < s.size() && s[p] >= '0' && s[p] <= '9') {
    if (v <= INT_MAX) v = v * 10 + (s[p] - '0');
    ++p;
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  out = int(v);
  i = p;
  return true;
}

}  // namespace

SkinRect ParseSkinRect(const std::string& value) {
  SkinRect r;
  int* fields[4] = {&r.x, &r.y, &r.w, &r.h};
  size_t i = 0;
  for (int f = 0; f < 4; ++f) {
    if (f > 0) {
      if (i >= value.size() || value[i] != ',') break;
      ++i;
    }
    if (!ScanInt(value, i, *fields[f])) break;
  }
  return r;
}

SkinRect ReadSkinRect(const std::string& ini_path, const std::string& section, const std::string& key) {
  return ParseSkinRect(IniReadString(ini_path, section, key, kSkinRectDefault, kIniBufferSize));
}

const QPixmap* SkinPictures::Get(SkinRole role) const {
  switch (role) {
    case SkinRole::Normal: return normal;
    case SkinRole::Over: return over;
    case SkinRole::Down: return down;
    case SkinRole::Disabled: return disabled;
    case SkinRole::Selected: return selected;
  }
  return nullptr;
}

QImage LoadImageFile(const std::string& path) {
  // Decoded from the bytes, so the picture's format is recognised by content, not by extension.
  const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes || bytes->empty()) return {};
  QImage image;
  if (!image.loadFromData(bytes->data(), int(bytes->size()))) return {};
  return image;
}

QImage LoadSkinImage(const std::string& relative_name) { return LoadImageFile(SkinPath(relative_name)); }

void ExitForMissingSkinPicture(const std::string& path) {
  std::fprintf(stderr, "orvane: cannot load skin picture %s\n", path.c_str());
  std::fflush(stderr);
  std::_Exit(kExitMissingSkinPicture);
}

QPixmap RenderSkinImage(const QImage& image, const QSize& dialog_client) {
  const QSize size(std::max(0, dialog_client.width()) + 100, std::max(0, dialog_client.height()) + 100);
  QPixmap target(size);
  target.fill(Qt::black);
  QPainter painter(&target);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  // Unscaled, pixel for pixel; whatever the picture does not cover stays black.
  const QRect area(QPoint(0, 0), size);
  painter.drawImage(area, image, area);
  return target;
}

void SkinStateImages::Prepare(const SkinStateSet& names, const QSize& dialog_client) {
  if (prepared_) return;
  const std::string* role_names[kSkinRoleCount] = {&names.normal, &names.over, &names.down, &names.disabled,
                                                   &names.selected};
  for (const std::string* name : role_names) {
    if (by_name_.count(*name) != 0) continue;
    by_name_.emplace(*name, PrepareSkinPicture(*name, dialog_client));
  }
  for (int i = 0; i < kSkinRoleCount; ++i) roles_[size_t(i)] = &by_name_.at(*role_names[i]);
  prepared_ = true;
}

const QPixmap* SkinStateImages::Picture(SkinRole role) const {
  const int i = int(role);
  return i >= 0 && i < kSkinRoleCount ? roles_[size_t(i)] : nullptr;
}

SkinPictures SkinStateImages::Pictures() const {
  return {roles_[0], roles_[1], roles_[2], roles_[3], roles_[4]};
}

QPixmap PrepareSkinPicture(const std::string& relative_name, const QSize& dialog_client) {
  const QImage image = LoadSkinImage(relative_name);
  if (image.isNull()) ExitForMissingSkinPicture(SkinPath(relative_name));
  return RenderSkinImage(image, dialog_client);
}

}  // namespace orvane
