// Profile files, the cache file and default profiles.
#include "store/profile_store.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include "model/apply.h"
#include "model/profile_config.h"
#include "model/profile_file.h"
#include "platform/file_reader.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "store/folders.h"

namespace orvane {

int ProfileCount() { return 3; }

std::string CacheFile(int /*profile*/) {
  // One file for the whole keyboard, whatever profile the caller has in hand.
  char name[32];
  std::snprintf(name, sizeof name, "$Profile%d", 0);
  return JoinPath(ProfileFolder(), name);
}

int ValidateProfileFile(const std::string& path, IPrompt& prompt, const ITextSource& texts) {
  InputFile file(path);
  if (!file.IsOpen())
    return file.Error() == ReadError::kMissing || file.Error() == ReadError::kNotRegular ? 0 : -2;
  const uint64_t size = file.Size();
  if (size > 0xFFFFFFFFull || size < kProfileImageSize) return 0;
  // Only the header is judged; the rest of the file is not needed for that.
  std::array<uint8_t, 32> header{};
  if (!file.ReadAt(0, header.data(), header.size())) return -2;
  if (CheckProfileHeader(header) == HeaderCheck::kOk) return 1;
  prompt.Notice(FormatChecked(texts.Text("PROFILE_FORMAT_ERROR"), {path}));
  return 0;
}

int LoadProfileFile(ProfileInstance& editing, const std::string& path) {
  InputFile file(path);
  if (!file.IsOpen()) return 0;
  const uint64_t size = file.Size();
  if (size < kProfileImageSize) return 0;
  std::array<uint8_t, 32> header_bytes{};
  if (!file.ReadAt(0, header_bytes.data(), header_bytes.size())) return 0;
  // Bytes past the declared parts are never used, and a short file gives what it has.
  const uint64_t declared = DeclaredProfileFileSize(HeaderFromBytes(header_bytes));
  const uint64_t wanted = std::max<uint64_t>(kProfileImageSize, std::min(size, declared));
  if (wanted > kMaxProfileLoadBytes) return 0;

  ProfileConfig config;
  bool complete = false;
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(wanted));
    if (!file.ReadAt(0, bytes.data(), bytes.size())) return 0;
    complete = ParseProfileFile(bytes, config);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (!config.image) return 0;
  auto lock = editing.Acquire();
  editing.Replace(std::move(config));
  return complete ? 1 : 0;
}

bool SaveProfileFile(ProfileInstance& editing, const std::string& path) {
  std::optional<std::vector<uint8_t>> bytes;
  {
    auto lock = editing.Acquire();
    bytes = BuildProfileFileBytes(editing.Config());
  }
  return bytes && WriteFileAtomic(path, *bytes);
}

int SaveCacheFile(ProfileInstance& editing) {
  const std::string path = CacheFile(0);
  if (!FileExists(path)) return 0;
  return SaveProfileFile(editing, path) ? 1 : 0;
}

int CreateDefaultProfile(ProfileInstance& editing, const std::string& path, bool in_memory) {
  std::unique_ptr<ProfileImage> image = NewDefaultImage();
  if (!image) return 0;
  if (in_memory) {
    ProfileConfig config;
    config.image = std::move(image);
    auto lock = editing.Acquire();
    editing.Replace(std::move(config));
    return 1;
  }
  try {
    return WriteFileAtomic(path, ImageToBytes(*image)) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int ReloadFromKeyboard(const ConfigContext& context, CDeviceProtocol& device, const ITextSource& texts,
                       IMainWindowLink& link) {
  const std::string cache = CacheFile(0);  // creates the folder when missing
  const int current = device.CurrentProfile();
  // The keyboard is read without the editing lock; only the replacement needs it.
  const bool built = current >= 0 && BuildImageFromKeyboard(context.keyboard, cache, device, texts) == 1;
  ProfileInstance& editing = context.editing;
  {
    auto lock = editing.Acquire();
    editing.Discard();
    // A cache file that was just written but cannot be read back is treated like an unreadable
    // keyboard, so the editing instance is never left without an image.
    if (!built || LoadProfileFile(editing, cache) != 1 || !editing.Config().image) {
      editing.Discard();
      CreateDefaultProfile(editing, std::string(), true);
    }
    link.RefreshKeyMatrix();
  }
  link.SetApplyPending(false);
  return 1;
}

}  // namespace orvane

namespace orvane {

namespace {

int RunWrite(const WriteRunner& run, const std::function<int()>& write) { return run ? run(write) : write(); }

}  // namespace

int ApplyEdits(const ConfigContext& context, CDeviceProtocol& device, IPrompt& prompt, const ITextSource& texts,
               const WriteRunner& run) {
  auto editing_lock = context.editing.Acquire();
  const int saved = SaveCacheFile(context.editing);
  if (!SnapshotForApply(context)) return 0;
  // The write needs only the device lock, which the snapshot has let go again.
  const int written =
      RunWrite(run, [&] { return WriteConfiguration(context, false, device, prompt, texts); });
  return saved == 1 && written == 1 ? 1 : 0;
}

ImportResult ImportProfileFile(const ConfigContext& context, const std::string& path, CDeviceProtocol& device,
                               IPrompt& prompt, const ITextSource& texts, const WriteRunner& run) {
  if (ValidateProfileFile(path, prompt, texts) <= 0) return ImportResult::kInvalid;
  auto editing_lock = context.editing.Acquire();
  // The load replaces the instance as a whole and leaves it as it was when it fails, so nothing
  // is discarded before the file has been read.
  if (LoadProfileFile(context.editing, path) != 1) return ImportResult::kInvalid;
  SaveCacheFile(context.editing);
  if (!SnapshotForApply(context)) return ImportResult::kWriteFailed;
  const int written = RunWrite(run, [&] { return WriteConfiguration(context, true, device, prompt, texts); });
  return written == 1 ? ImportResult::kWritten : ImportResult::kWriteFailed;
}

}  // namespace orvane
