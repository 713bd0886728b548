// The main of a fuzz target in builds without libFuzzer: runs the target once on every input
// named on the command line (a folder stands for each regular file in it, in name order), so the
// seed corpus and every input that once failed stay regression tests in the ordinary and the
// sanitizer builds. A failure is the target's own: a trap, a sanitizer report or a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

bool AddInputs(const fs::path& arg, std::vector<fs::path>* files) {
  std::error_code ec;
  if (fs::is_regular_file(arg, ec)) {
    files->push_back(arg);
    return true;
  }
  if (!fs::is_directory(arg, ec)) return false;
  std::vector<fs::path> found;
  for (const fs::directory_entry& e : fs::directory_iterator(arg, ec))
    if (e.is_regular_file(ec)) found.push_back(e.path());
  std::sort(found.begin(), found.end());
  files->insert(files->end(), found.begin(), found.end());
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!AddInputs(argv[i], &files)) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
      return 1;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s INPUT_FILE_OR_FOLDER...\n", argv[0]);
    return 1;
  }
  for (const fs::path& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], f.c_str());
      return 1;
    }
    std::fprintf(stderr, "running %s (%zu bytes)\n", f.c_str(), bytes.size());
    // An empty input gets a pointer that may be read past neither end, as libFuzzer gives.
    LLVMFuzzerTestOneInput(bytes.empty() ? reinterpret_cast<const uint8_t*>("") : bytes.data(),
                           bytes.size());
  }
  std::fprintf(stderr, "%zu inputs ran\n", files.size());
  return 0;
}
