// The profile store: profile files (".orv"), the per-user cache file that mirrors what the
// keyboard holds, and default profiles. The file format itself is model/profile_file.h.
//
// Every operation here works on the editing instance it is given (model/profile_config.h) and
// takes the editing lock itself while it reads or replaces it (the lock is recursive, so callers that
// already hold it may call in). Saves never leave a half-written file: they write a temporary
// file beside the target and rename it over. Validation and loading only read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/protocol.h"
#include "model/config_context.h"
#include "model/profile_config.h"
#include "platform/file_dialog.h"
#include "platform/main_window_link.h"
#include "platform/prompt.h"
#include "platform/text_source.h"

namespace orvane {

inline constexpr const char* kProfileExtension = ".orv";
inline constexpr const char* kProfileFileFilter = "(*.orv)|*.orv|(*.*)|*.*||";
inline constexpr const char* kProfileDefaultExtension = "orv";

// The file dialog for one profile file: "*.orv" preselected, the extension added to a name without
// one, the profile filter, and on saves the question before an existing file is replaced.
inline FileDialogRequest ProfileFileRequest(bool save) {
  FileDialogRequest request;
  request.save = save;
  request.initial_name = "*.orv";
  request.default_extension = kProfileDefaultExtension;
  request.filter = kProfileFileFilter;
  request.overwrite_prompt = save;
  return request;
}

// Files larger than this are not loaded (no configuration comes anywhere near it).
inline constexpr uint64_t kMaxProfileLoadBytes = 256ull << 20;

// Number of on-board profiles offered to the user (layers 0 to 2).
int ProfileCount();

// The cache file: ProfileFolder()/$Profile0. There is only one, holding every layer, so every
// profile number gives the same path.
std::string CacheFile(int profile);

// Whether path is a profile file this program can load, judging by its header:
//   1 valid; 0 missing, not a regular file, 4 GiB or more, shorter than the image, or malformed;
//  -2 cannot be opened for reading.
// A malformed header shows "PROFILE_FORMAT_ERROR" (the path as its argument) with an OK button.
int ValidateProfileFile(const std::string& path, IPrompt& prompt, const ITextSource& texts);

// Replaces the editing instance with the file's content (read-only access). Trusts the header
// (validate first) but never reads outside what the file holds: macro records missing from a
// short file are left out, texts outside the pool are left empty. 1 on success; 0 when the file
// is missing, unreadable, shorter than the image or too large (the editing instance is then left
// as it was), or when memory ran out unpacking texts (the texts so far are kept).
int LoadProfileFile(ProfileInstance& editing, const std::string& path);

// Writes the editing instance to path (header rewritten, texts packed). False, with any old file
// unchanged, when the editing instance is empty or any step of the write fails.
bool SaveProfileFile(ProfileInstance& editing, const std::string& path);

// SaveProfileFile to the cache file, only when it already exists: 1 when written, 0 otherwise.
int SaveCacheFile(ProfileInstance& editing);

// A default configuration (no macros, no texts). in_memory: it becomes the editing instance;
// otherwise it is written to path. 1 on success, 0 on failure.
int CreateDefaultProfile(ProfileInstance& editing, const std::string& path, bool in_memory);

// Makes the context's editing instance what the keyboard holds, through the cache file (key blocks
// read against the context's default key block); when the keyboard cannot be read it becomes the
// default configuration and the cache file keeps its old content. Then the key matrix is redrawn
// and the Apply button disabled. Returns 1.
int ReloadFromKeyboard(const ConfigContext& context, CDeviceProtocol& device, const ITextSource& texts,
                       IMainWindowLink& link);

// Runs a keyboard write and returns its result: the main window runs it on a worker while it keeps
// painting (ui/main/busy_indicator.h); empty runs it in place.
using WriteRunner = std::function<int(const std::function<int()>& write)>;

// The Apply command's work: under the editing lock, SaveCacheFile, then the snapshot and the write
// of the keyboard's current profile (model/apply.h). 1 only when both the save and the write
// succeeded; the caller clears its pending mark on 1 and keeps it otherwise.
int ApplyEdits(const ConfigContext& context, CDeviceProtocol& device, IPrompt& prompt, const ITextSource& texts,
               const WriteRunner& run = {});

// Restoring a profile file (the main window's import): ValidateProfileFile; then, under the editing
// lock, the file replaces the editing instance (LoadProfileFile), the cache file is saved and all
// three on-board profiles are written.
enum class ImportResult {
  kInvalid,       // refused by validation or unreadable: the editing instance is unchanged
  kWriteFailed,   // loaded (and the cache saved as far as it could be), but the keyboard write failed
  kWritten,       // loaded and written to all three on-board profiles
};
ImportResult ImportProfileFile(const ConfigContext& context, const std::string& path, CDeviceProtocol& device,
                               IPrompt& prompt, const ITextSource& texts, const WriteRunner& run = {});

}  // namespace orvane
