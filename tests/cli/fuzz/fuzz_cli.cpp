// libFuzzer target: orvane-cli as a user runs it, against the built-in simulated keyboard.
// Input: the arguments, one per line, then optionally a 0 byte and the bytes of a file "f". Each
// run starts in an empty folder holding f, a default profile file p.orv and its JSON form p.json.
// The tool must end with one of its exit codes, and say why whenever it does not succeed.
//
// So that no run can reach anything outside its folder or wait for anyone: --simulate comes
// first (the tool then opens no HID device, and refuses --hid-root); "/" in an argument becomes
// "_", and so does an argument "." or "..", alone or after "=" (every file named is one in the
// folder); `watch` is not run; the registry lives in the run's own configuration folder; and the
// standard input is empty.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/commands.h"
#include "model/config_context.h"

namespace {

namespace fs = std::filesystem;

fs::path g_root;
fs::path g_work;
std::vector<char> g_profile;
std::vector<char> g_profile_json;

void RemoveRoot() {
  std::error_code ec;
  if (!g_root.empty()) fs::remove_all(g_root, ec);
}

void WriteFile(const fs::path& path, const char* data, size_t size) {
  std::ofstream(path, std::ios::binary).write(data, std::streamsize(size));
}

std::vector<char> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs the tool in the work folder.
int Run(const std::vector<std::string>& args, std::string* err) {
  const int back = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (back < 0 || ::chdir(g_work.c_str()) != 0) __builtin_trap();
  std::ostringstream out, errors;
  // Each run is a process of its own: fresh configuration instances and keyboard facts.
  orvane::ProfileInstance editing;
  orvane::ProfileInstance applied;
  orvane::KeyboardFacts keyboard;
  const int code = orvane::RunCli({editing, applied, keyboard}, args, out, errors);
  if (::fchdir(back) != 0) __builtin_trap();
  ::close(back);
  *err = errors.str();
  return code;
}

void ResetWork() {
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(g_work, ec)) fs::remove_all(e.path(), ec);
  WriteFile(g_work / "p.orv", g_profile.data(), g_profile.size());
  WriteFile(g_work / "p.json", g_profile_json.data(), g_profile_json.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string tmpl = (fs::temp_directory_path() / "orvane-fuzz-cli-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) __builtin_trap();
  g_root = tmpl;
  std::atexit(RemoveRoot);
  g_work = g_root / "work";
  fs::create_directories(g_work);
  fs::create_directories(g_root / "config");
  fs::create_directories(g_root / "run");
  ::setenv("HOME", g_root.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (g_root / "config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (g_root / "run").c_str(), 1);
  const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null < 0 || ::dup2(null, STDIN_FILENO) < 0) __builtin_trap();
  ::close(null);

  std::string err;
  if (Run({"--simulate", "new", "p.orv"}, &err) != orvane::kExitSuccess ||
      Run({"--simulate", "export-json", "p.orv", "p.json"}, &err) != orvane::kExitSuccess) {
    std::fprintf(stderr, "fuzz_cli: the default profile files cannot be made: %s", err.c_str());
    __builtin_trap();
  }
  g_profile = ReadFile(g_work / "p.orv");
  g_profile_json = ReadFile(g_work / "p.json");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t zero = input.find('\0');
  const std::string arg_text = input.substr(0, zero);

  std::vector<std::string> args = {"--simulate"};
  size_t start = 0;
  while (start < arg_text.size()) {
    size_t end = arg_text.find('\n', start);
    if (end == std::string::npos) end = arg_text.size();
    std::string a = arg_text.substr(start, end - start);
    start = end + 1;
    for (char& c : a)
      if (c == '/') c = '_';
    for (const char* dots : {"..", "."}) {
      const size_t n = std::char_traits<char>::length(dots);
      if (a == dots || (a.size() > n && a.compare(a.size() - n - 1, n + 1, std::string("=") + dots) == 0))
        a.replace(a.size() - n, n, "_");
    }
    if (a == "watch") return 0;
    args.push_back(std::move(a));
  }

  ResetWork();
  if (zero != std::string::npos) WriteFile(g_work / "f", input.data() + zero + 1, size - zero - 1);
  std::string err;
  const int code = Run(args, &err);
  if (code < orvane::kExitSuccess || code > orvane::kExitInvalidFile) __builtin_trap();
  if (code != orvane::kExitSuccess && err.empty()) __builtin_trap();
  return 0;
}
