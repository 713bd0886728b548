// The report-style list under a recording: appending one row, selecting it and letting the list
// paint, with 20 to 1,999 rows already there (20 fill the visible part). The time per row must not grow
// with the rows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "ui/controls/report_list.h"

namespace {

void BM_AppendRecordedRow(benchmark::State& state) {
  orvane::CReportList list;
  list.resize(200, 300);
  list.AddColumn("Key", 60);
  list.AddColumn("Action", 60);
  list.AddColumn("Delay", 60);
  list.SetGreyColumn(0, true);
  list.SetGreyColumn(1, true);
  for (int i = 0; i < state.range(0); ++i) list.AppendRow({"Shift", "\u2193", std::to_string(i)});
  list.show();
  QApplication::processEvents();
  for (auto _ : state) {
    const int row = list.AppendRow({"A", "  \u2191", "50"});
    list.SelectRow(row);
    QApplication::processEvents();  // the list paints what is visible
    state.PauseTiming();
    list.RemoveRow(row);
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AppendRecordedRow)->Arg(20)->Arg(500)->Arg(1000)->Arg(1999)->ArgName("rows")->Unit(benchmark::kMicrosecond);

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
