// The JSON reader on hostile input: an object of a million members (the duplicate check), a
// 60 MB array, both without a shape and through the profile form's shape as import-json reads
// them; and language lookups served from the cached parse next to a fresh read per lookup.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <string>

#include "cli/json.h"
#include "cli/profile_json.h"
#include "platform/files.h"
#include "platform/ini_file.h"

namespace orvane {
namespace {

std::string ManyMembers(int n) {
  std::string text = "{";
  for (int i = 0; i < n; ++i) text += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":0";
  return text + "}";
}

// A profile form whose first layer is a flat array of 30 million numbers (60 MB).
std::string HugeLayer() {
  std::string text = R"({"format": "orvane-profile", "version": 1, "layers": [[)";
  text.reserve(61u << 20);
  for (int i = 0; i < 30000000; ++i) text += i ? ",0" : "0";
  return text + "], [], [], []], \"macros\": []}";
}

// Heap in use, small blocks and mapped large ones alike.
size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Parses text once per iteration; reports the heap the parsed value holds.
void Parse(benchmark::State& state, const std::string& text, const JsonShape* shape) {
  size_t held = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    JsonValue v;
    std::string error;
    benchmark::DoNotOptimize(ParseJson(text, &v, &error, shape));
    held = HeapInUse() - before;
  }
  state.counters["input_MB"] = double(text.size()) / (1 << 20);
  state.counters["held_MB"] = double(held) / (1 << 20);
}

void BM_ObjectOfAMillionMembers(benchmark::State& state) {
  static const std::string text = ManyMembers(1000000);
  Parse(state, text, nullptr);
}
BENCHMARK(BM_ObjectOfAMillionMembers)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ObjectOfAMillionMembersAsAProfile(benchmark::State& state) {
  static const std::string text = ManyMembers(1000000);
  Parse(state, text, &ProfileJsonShape());
}
BENCHMARK(BM_ObjectOfAMillionMembersAsAProfile)->Unit(benchmark::kMicrosecond);

void BM_Array60MB(benchmark::State& state) {
  static const std::string text = HugeLayer();
  Parse(state, text, nullptr);
}
BENCHMARK(BM_Array60MB)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Array60MBAsAProfile(benchmark::State& state) {
  static const std::string text = HugeLayer();
  Parse(state, text, &ProfileJsonShape());
}
BENCHMARK(BM_Array60MBAsAProfile)->Unit(benchmark::kMicrosecond);

// A language file of the largest size still read (1 MB), looked up key by key.
const std::string& BigLanguageFile() {
  static const std::string path = [] {
    std::string text = "[TEXT]\n";
    for (int i = 0; text.size() < kMaxIniFileBytes - 64; ++i)
      text += "KEY_" + std::to_string(i) + "=text of key " + std::to_string(i) + "\n";
    const std::string file = "/tmp/orvane-bench-Lang0409.ini";
    WriteFileAtomic(file, text);
    return file;
  }();
  return path;
}

void BM_LanguageLookupCached(benchmark::State& state) {
  CachedIniFiles cache;
  int i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(cache.Read(BigLanguageFile(), "TEXT", "KEY_" + std::to_string(i++ % 1000), "#Error"));
}
BENCHMARK(BM_LanguageLookupCached)->Unit(benchmark::kMicrosecond);

void BM_LanguageLookupReadingTheFileEachTime(benchmark::State& state) {
  int i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(IniReadString(BigLanguageFile(), "TEXT", "KEY_" + std::to_string(i++ % 1000), "#Error"));
}
BENCHMARK(BM_LanguageLookupReadingTheFileEachTime)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvane
