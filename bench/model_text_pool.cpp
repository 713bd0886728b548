// Packing and unpacking a full text pool.
#include <benchmark/benchmark.h>

#include <memory>

#include "model/profile_config.h"

namespace orvane {
namespace {

// Every one of the 2,048 slots holds a 259-character text (about 1 MiB packed).
struct FullPool {
  std::unique_ptr<ProfileImage> image = std::make_unique<ProfileImage>();
  TextPool pool;
  FullPool() {
    for (int slot = 0; slot < kTextSlotCount; ++slot) {
      image->entries[size_t(slot)].type = slot % 2 ? kActionPlayText : kActionLaunchProgram;
      pool.Set(slot, std::u16string(259, char16_t(u'A' + slot % 26)));
    }
    WriteProfileHeader(*image, 0, pool.Total(), 0);
  }
};

void BM_PackFullTextPool(benchmark::State& state) {
  FullPool full;
  std::vector<uint8_t> buffer(full.pool.Total());
  for (auto _ : state) benchmark::DoNotOptimize(PackTexts(*full.image, full.pool, buffer));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buffer.size()));
}
BENCHMARK(BM_PackFullTextPool)->Unit(benchmark::kMicrosecond);

void BM_UnpackFullTextPool(benchmark::State& state) {
  FullPool full;
  std::vector<uint8_t> packed = PackTexts(*full.image, full.pool);
  TextPool out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(UnpackTexts(*full.image, packed, out));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(packed.size()));
}
BENCHMARK(BM_UnpackFullTextPool)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orvane
