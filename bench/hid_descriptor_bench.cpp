// Cost of parsing a descriptor (done at every open and enumeration) and of extracting the
// pressed usages from an input report (done for every consumer event).
#include <benchmark/benchmark.h>

#include "platform/hid_descriptor.h"
#include "tests/platform/hid_fake_backend.h"

namespace {

using namespace orvane;

void BM_ParseConsumerAndVendor(benchmark::State& state) {
  const auto d = test::descriptors::Concat({test::descriptors::kConsumer, test::descriptors::kVendor});
  for (auto _ : state) {
    HidDescriptor out;
    benchmark::DoNotOptimize(ParseHidDescriptor(d.data(), d.size(), &out, nullptr));
  }
}
BENCHMARK(BM_ParseConsumerAndVendor);

void BM_ParseBootKeyboard(benchmark::State& state) {
  const auto& d = test::descriptors::kBootKeyboard;
  for (auto _ : state) {
    HidDescriptor out;
    benchmark::DoNotOptimize(ParseHidDescriptor(d.data(), d.size(), &out, nullptr));
  }
}
BENCHMARK(BM_ParseBootKeyboard);

void BM_GetUsagesBootKeyboard(benchmark::State& state) {
  HidDescriptor d;
  ParseHidDescriptor(test::descriptors::kBootKeyboard.data(), test::descriptors::kBootKeyboard.size(), &d, nullptr);
  const uint8_t report[9] = {0, 0x82, 0, 0x04, 0x05, 0x06, 0, 0, 0};
  std::vector<uint16_t> usages;
  for (auto _ : state) {
    HidGetUsages(d.collections[0], HidReportType::Input, 0x07, report, sizeof report, 14, &usages);
    benchmark::DoNotOptimize(usages.data());
  }
}
BENCHMARK(BM_GetUsagesBootKeyboard);

}  // namespace
