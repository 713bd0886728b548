// Painting and outline costs of the skin framework, on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include "ui/skin/png_button.h"
#include "ui/skin/region_from_mask.h"
#include "ui/skin/skin_layout.h"

namespace {

// A main-window-sized outline: a rounded body with a notch, white outside.
QImage Outline(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  path.addRoundedRect(QRectF(4, 4, size.width() - 8, size.height() - 8), 40, 40);
  path.addEllipse(QPointF(size.width() / 2.0, 4), 60, 30);
  p.fillPath(path, QColor(20, 20, 20));
  return image;
}

void BM_PaintButton(benchmark::State& state) {
  QPixmap picture(1100, 800);
  picture.fill(QColor(40, 44, 55));
  orvane::CPngButton button;
  button.setGeometry(301, 201, 46, 46);
  button.SetSkinImages(301, 201, orvane::SkinPictures::All(&picture));
  if (state.range(0) != 0) {
    button.setText("Esc");
    button.SetTextStyle(true, 8, "Tahoma Unicode MS", 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x7F7F7F, 0xFFFFFF,
                        orvane::kDefaultTextFormat);
  }
  QImage target(46, 46, QImage::Format_RGB32);
  for (auto _ : state) {
    button.render(&target);
    benchmark::DoNotOptimize(target.bits());
  }
}
BENCHMARK(BM_PaintButton)->Arg(0)->Arg(1)->ArgName("caption");

void BM_RegionFromMask(benchmark::State& state) {
  const QImage mask = Outline(QSize(int(state.range(0)), int(state.range(0)) * 7 / 10));
  for (auto _ : state) {
    QRegion region = orvane::RegionFromMask(mask);
    benchmark::DoNotOptimize(region);
  }
}
BENCHMARK(BM_RegionFromMask)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_RenderSkinImage(benchmark::State& state) {
  const QImage picture = Outline(QSize(1000, 700));
  for (auto _ : state) {
    QPixmap prepared = orvane::RenderSkinImage(picture, QSize(1000, 700));
    benchmark::DoNotOptimize(prepared);
  }
}
BENCHMARK(BM_RenderSkinImage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
