// Encoding and decoding the macro area.
#include <benchmark/benchmark.h>

#include <random>

#include "model/key_table.h"
#include "model/macro.h"
#include "tests/support/doubles.h"

namespace orvane {
namespace {

std::vector<MacroRecord> MakeMacros(int count, int actions) {
  std::vector<uint16_t> keys;
  for (const KeyButton& b : KeyButtons()) keys.push_back(b.code);
  std::mt19937 rng(1);
  std::vector<MacroRecord> macros(static_cast<size_t>(count));
  for (int p = 0; p < count; ++p) {
    MacroRecord& m = macros[size_t(p)];
    SetMacroName(m, std::u16string(kMacroNameChars, char16_t(u'a' + p % 26)));
    m.cycles = 1;
    m.id = uint16_t(p + 1);
    m.actionCount = uint16_t(actions);
    for (int i = 0; i < actions; ++i)
      m.actions[size_t(i)] = {uint32_t(rng() % 40001), keys[rng() % keys.size()], uint16_t(i % 2)};
  }
  return macros;
}

// The full array: 100 macros of 2,000 actions with 249-character names (about 850 KB of area).
void BM_EncodeFullMacroArray(benchmark::State& state) {
  auto macros = MakeMacros(kMaxMacros, kMaxMacroActions);
  size_t size = MacroAreaSizes(macros).withNames;
  for (auto _ : state) benchmark::DoNotOptimize(EncodeMacroArea(macros, size, true));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}
BENCHMARK(BM_EncodeFullMacroArray)->Unit(benchmark::kMillisecond);

// The area's block offsets are 16-bit, so an area the decoder can follow is at most 64 KiB: 100
// macros with 249-character names fit with 30 actions each (about 62 KB).
void BM_DecodeMacroArea(benchmark::State& state) {
  auto macros = MakeMacros(kMaxMacros, int(state.range(0)));
  auto area = EncodeMacroArea(macros, MacroAreaSizes(macros).withNames, true);
  MapTextSource texts;
  for (auto _ : state) benchmark::DoNotOptimize(DecodeMacroArea(area, texts));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(area.size()));
  state.counters["area_bytes"] = double(area.size());
}
BENCHMARK(BM_DecodeMacroArea)->Arg(30)->Unit(benchmark::kMillisecond);

// The full array's volume (100 macros of 2,000 actions with names), each macro in an area of its
// own so that every offset is addressable.
void BM_DecodeFullMacroArrayByBlocks(benchmark::State& state) {
  auto macros = MakeMacros(kMaxMacros, kMaxMacroActions);
  std::vector<std::vector<uint8_t>> areas;
  size_t total = 0;
  for (const MacroRecord& m : macros) {
    std::span<const MacroRecord> one(&m, 1);
    areas.push_back(EncodeMacroArea(one, MacroAreaSizes(one).withNames, true));
    total += areas.back().size();
  }
  MapTextSource texts;
  for (auto _ : state)
    for (const auto& a : areas) benchmark::DoNotOptimize(DecodeMacroArea(a, texts));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(total));
}
BENCHMARK(BM_DecodeFullMacroArrayByBlocks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane
