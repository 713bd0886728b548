// The profile store: header validation case by case, save/validate/load round trips, files
// shorter than they claim, crash-safe saves, the cache file and the reload from the keyboard.
#include "store/profile_store.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "model/apply.h"
#include "model/profile_config.h"
#include "model/profile_file.h"
#include "tests/support/doubles.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/model/sim_keyboard_link.h"
#include "tests/platform/as_ordinary_user.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

MacroRecord Macro(uint16_t id, const std::u16string& name) {
  MacroRecord m{};
  m.id = id;
  m.cycles = 2;
  SetMacroName(m, std::u16string_view(name));
  m.actionCount = 3;
  for (int i = 0; i < 3; ++i) m.actions[size_t(i)] = {uint32_t(10 * i), uint16_t(0x1E + i), uint16_t(i % 2)};
  return m;
}

// A configuration with entries on all four layers, two macros and texts.
ProfileConfig SampleConfig() {
  ProfileConfig c;
  c.image = NewDefaultImage();
  for (int layer = 0; layer < kLayerCount; ++layer) {
    *c.image->EntryAt(layer, 0x1E) = {kActionSingleKey, 0, 0x030, 0, 0};
    *c.image->EntryAt(layer, 0x20) = {kActionPlayMacro, 3, 7, 0, 0};
    *c.image->EntryAt(layer, 0x21) = {kActionLaunchProgram, 0, 0, 0, 0};
    c.texts.Set(layer * kLayerEntries + 0x21, u"/opt/tool --flag");
    *c.image->EntryAt(layer, 0x22) = {kActionPlayText, 0, 0, 0, 0};
    c.texts.Set(layer * kLayerEntries + 0x22, u"Привет, layer " + std::u16string(1, char16_t(u'0' + layer)));
    *c.image->EntryAt(layer, 300) = {kActionMedia, 0, 5, 0, 0};
  }
  c.macros = {Macro(7, u"seven"), Macro(1, u"one")};
  return c;
}

// Bytes of a header-only file (32,832 bytes) after fix(header) and a fresh checksum.
std::vector<uint8_t> HeaderOnlyFile(const std::function<void(ProfileHeader&)>& fix = {}) {
  ProfileImage image{};
  WriteProfileHeader(image, 0, 0, 0);
  WriteDeviceIdentity(image);
  if (fix) {
    fix(image.header);
    image.header.checksum = HeaderChecksum(image.header);
  }
  return ImageToBytes(image);
}

class ProfileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/orvane-store-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_xdg_ = old;
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    texts_.Set("TEXT", "PROFILE_FORMAT_ERROR", "Bad profile file: %s");
    texts_.Set("TEXT", "MACRO_NEW_PREFIX", "Macro ");
  }
  void TearDown() override {
    if (old_xdg_) {
      setenv("XDG_DATA_HOME", old_xdg_->c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Test inputs need no fsync; a plain write keeps the many-file tests quick.
  void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
  }
  int Validate(const std::string& path) { return ValidateProfileFile(path, prompt_, texts_); }
  ProfileConfig EditingCopy() {
    auto lock = state_.editing.Acquire();
    return state_.editing.Config().Copy();
  }

  testing_support::ConfigState state_;
  std::string dir_;
  std::optional<std::string> old_xdg_;
  ScriptedPrompt prompt_;
  MapTextSource texts_;
};

TEST_F(ProfileStoreTest, HeaderChecksInTableOrder) {
  const std::string path = Path("p.orv");
  Write(path, HeaderOnlyFile());
  EXPECT_EQ(Validate(path), 1);
  Write(path, HeaderOnlyFile([](ProfileHeader& h) { h.flag = 1; }));
  EXPECT_EQ(Validate(path), 1);
  EXPECT_TRUE(prompt_.Shown().empty());

  struct Case {
    const char* what;
    std::function<void(ProfileHeader&)> fix;
  };
  const Case bad[] = {
      {"flag 2", [](ProfileHeader& h) { h.flag = 2; }},
      {"macro count 101", [](ProfileHeader& h) {
         h.macroCount = 101;
         h.fileSize = uint32_t(kProfileImageSize + 101 * kMacroRecordSize);
       }},
      {"total counts a macro that is not declared",
       [](ProfileHeader& h) { h.fileSize = uint32_t(kProfileImageSize + kMacroRecordSize); }},
      {"total below the image", [](ProfileHeader& h) {
         h.fileSize = 100;
         h.textSize = uint32_t(100 - kProfileImageSize);  // wraps to match in 32 bits
       }},
      {"text size wraps the 32-bit total", [](ProfileHeader& h) {
         h.macroCount = 1;
         h.textSize = uint32_t(0x100000000ull - kMacroRecordSize);
         h.fileSize = uint32_t(kProfileImageSize);
       }},
      {"text slots", [](ProfileHeader& h) { h.textSlotCount = 2047; }},
      {"magic", [](ProfileHeader& h) { h.magic = 0x4447; }},
      {"header size", [](ProfileHeader& h) { h.headerSize = 64; }},
      {"version", [](ProfileHeader& h) { h.version = 2; }},
      {"constant", [](ProfileHeader& h) { h.constant = 0; }},
  };
  for (const Case& c : bad) {
    Write(path, HeaderOnlyFile(c.fix));
    EXPECT_EQ(Validate(path), 0) << c.what;
  }
  ASSERT_EQ(prompt_.Shown().size(), std::size(bad));
  EXPECT_EQ(prompt_.Shown()[0].text, "Bad profile file: " + path);
  EXPECT_EQ(prompt_.Shown()[0].buttons, PromptButtons::Ok);

  // Any one of bytes 0 to 30 changed without a new checksum.
  const std::vector<uint8_t> good = HeaderOnlyFile();
  for (size_t i = 0; i < 31; ++i) {
    std::vector<uint8_t> bytes = good;
    bytes[i] ^= 0x10;
    Write(path, bytes);
    EXPECT_EQ(Validate(path), 0) << "byte " << i;
  }
  EXPECT_EQ(prompt_.Shown().size(), std::size(bad) + 31);
}

TEST_F(ProfileStoreTest, FilesThatAreNotProfilesAtAllGiveNoMessage) {
  EXPECT_EQ(Validate(Path("missing.orv")), 0);
  std::vector<uint8_t> short_file = HeaderOnlyFile();
  short_file.pop_back();
  Write(Path("short.orv"), short_file);
  EXPECT_EQ(Validate(Path("short.orv")), 0);
  EXPECT_EQ(Validate(dir_), 0);  // a folder
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_EQ(Validate(Path("fifo")), 0);  // must not wait for a writer
  EXPECT_EQ(LoadProfileFile(state_.editing, Path("fifo")), 0);
  EXPECT_TRUE(prompt_.Shown().empty());
  // A huge declared size does not matter, the header alone is judged; the real size does.
  Write(Path("long.orv"), [] {
    auto b = HeaderOnlyFile();
    b.resize(b.size() + 1000, 0xAB);
    return b;
  }());
  EXPECT_EQ(Validate(Path("long.orv")), 1);
}

TEST_F(ProfileStoreTest, ReadOnlyFilesValidateAndLoad) {
  state_.editing.Replace(SampleConfig());
  const std::string path = Path("ro.orv");
  ASSERT_TRUE(SaveProfileFile(state_.editing, path));
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  state_.editing.Discard();
  EXPECT_EQ(Validate(path), 1);
  EXPECT_EQ(LoadProfileFile(state_.editing, path), 1);
  EXPECT_EQ(EditingCopy().macros.size(), 2u);
}

TEST_F(ProfileStoreTest, AReadOnlyFileIsNotReplacedBySaving) {
  state_.editing.Replace(SampleConfig());
  const std::string path = Path("ro.orv");
  ASSERT_TRUE(SaveProfileFile(state_.editing, path));
  const auto before = ReadWholeFile(path);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ASSERT_TRUE(testing::GiveToOrdinaryUser(dir_));
  ASSERT_TRUE(testing::GiveToOrdinaryUser(path));
  const int result = testing::RunAsOrdinaryUser([&] {
    ProfileConfig other;
    other.image = NewDefaultImage();
    state_.editing.Replace(std::move(other));
    return SaveProfileFile(state_.editing, path) ? 1 : 0;
  });
  if (result == testing::kCouldNotDropRoot) GTEST_SKIP() << "cannot become an ordinary user here";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadWholeFile(path), before);
}

TEST_F(ProfileStoreTest, UnreadableFileIsNotOpened) {
  const std::string path = Path("locked.orv");
  Write(path, HeaderOnlyFile());
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  ASSERT_TRUE(testing::GiveToOrdinaryUser(dir_));
  ASSERT_TRUE(testing::GiveToOrdinaryUser(path));
  const int result = testing::RunAsOrdinaryUser([&] {
    if (Validate(path) != -2) return 1;
    return LoadProfileFile(state_.editing, path) == 0 ? 0 : 2;
  });
  if (result == testing::kCouldNotDropRoot) GTEST_SKIP() << "cannot become an ordinary user here";
  EXPECT_EQ(result, 0);
}

TEST_F(ProfileStoreTest, SaveValidateLoadRoundTrip) {
  ProfileConfig original = SampleConfig();
  // A text entry whose text is missing must not pick up another entry's text on the way.
  *original.image->EntryAt(2, 0x23) = {kActionPlayText, 0, 0, 0, 0};
  state_.editing.Replace(original.Copy());
  const std::string path = Path("round.orv");
  ASSERT_TRUE(SaveProfileFile(state_.editing, path));
  // Saving rewrote the editing image's header and text offsets, as the file holds them.
  const ProfileConfig saved = EditingCopy();
  EXPECT_EQ(saved.image->header.macroCount, 2);
  EXPECT_EQ(saved.image->header.textSize, original.texts.Total());

  auto bytes = ReadWholeFile(path);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), kProfileImageSize + 2 * kMacroRecordSize + original.texts.Total());
  EXPECT_EQ(Validate(path), 1);

  state_.editing.Discard();
  ASSERT_EQ(LoadProfileFile(state_.editing, path), 1);
  const ProfileConfig loaded = EditingCopy();
  ASSERT_TRUE(loaded.image);
  EXPECT_EQ(*loaded.image, *saved.image);
  EXPECT_EQ(loaded.macros, original.macros);
  EXPECT_EQ(loaded.texts, original.texts);
  EXPECT_EQ(loaded.texts.Text(2 * kLayerEntries + 0x23), nullptr);

  // Saving what was loaded gives the same bytes again.
  const std::string again = Path("again.orv");
  ASSERT_TRUE(SaveProfileFile(state_.editing, again));
  EXPECT_EQ(ReadWholeFile(again), bytes);
}

TEST_F(ProfileStoreTest, TwoTextsMakeA28BytePoolAfterTheMacros) {
  ProfileConfig c;
  c.image = NewDefaultImage();
  c.macros = {Macro(1, u"m")};
  *c.image->EntryAt(0, 0x10) = {kActionPlayText};
  *c.image->EntryAt(2, 0x11) = {kActionPlayText};
  c.texts.Set(0x10, u"abcde");
  c.texts.Set(2 * kLayerEntries + 0x11, u"fghijkl");
  state_.editing.Replace(std::move(c));
  const std::string path = Path("texts.orv");
  ASSERT_TRUE(SaveProfileFile(state_.editing, path));
  auto bytes = ReadWholeFile(path);
  ASSERT_TRUE(bytes);
  const size_t pool = kProfileImageSize + kMacroRecordSize;
  ASSERT_EQ(bytes->size(), pool + 28);
  const ProfileHeader h = HeaderFromBytes(std::span<const uint8_t, 32>(bytes->data(), 32));
  EXPECT_EQ(h.textSize, 28u);
  EXPECT_EQ(h.fileSize, 32860u + kMacroRecordSize);
  EXPECT_EQ((*bytes)[pool], 'a');
  EXPECT_EQ((*bytes)[pool + 10], 0);  // terminator of the first text
  EXPECT_EQ((*bytes)[pool + 12], 'f');
  EXPECT_EQ(EditingCopy().image->EntryAt(2, 0x11)->value, 12u);
}

TEST_F(ProfileStoreTest, LoadingTrustsCountsButStaysInsideTheFile) {
  state_.editing.Replace(SampleConfig());
  const std::string path = Path("full.orv");
  ASSERT_TRUE(SaveProfileFile(state_.editing, path));
  const std::vector<uint8_t> full = *ReadWholeFile(path);
  const size_t pool = kProfileImageSize + 2 * kMacroRecordSize;

  // Cut inside the second macro record: the first record loads, texts are gone.
  std::vector<uint8_t> cut(full.begin(), full.begin() + long(kProfileImageSize + kMacroRecordSize + 100));
  Write(path, cut);
  state_.editing.Discard();
  ASSERT_EQ(LoadProfileFile(state_.editing, path), 1);
  ProfileConfig loaded = EditingCopy();
  ASSERT_EQ(loaded.macros.size(), 1u);
  EXPECT_EQ(MacroName(loaded.macros[0]), u"seven");
  EXPECT_EQ(loaded.texts.Total(), 0u);

  // Cut inside the text pool: texts before the cut load, a text running past it is cut there.
  cut.assign(full.begin(), full.begin() + long(pool + 20));
  Write(path, cut);
  ASSERT_EQ(LoadProfileFile(state_.editing, path), 1);
  loaded = EditingCopy();
  EXPECT_EQ(loaded.macros.size(), 2u);
  ASSERT_NE(loaded.texts.Text(0x21), nullptr);
  EXPECT_EQ(*loaded.texts.Text(0x21), u"/opt/tool ");  // the 10 characters inside the file
  EXPECT_EQ(loaded.texts.Text(3 * kLayerEntries + 0x22), nullptr);

  // Offsets pointing past the pool, odd offsets, and a declared count beyond 100.
  std::vector<uint8_t> odd = full;
  ProfileImage image{};
  ImageFromBytes(odd, image);
  image.EntryAt(0, 0x21)->value = 0xFFFFFFF0;
  image.EntryAt(1, 0x21)->value = 3;
  image.header.macroCount = 60000;
  ImageToBytes(image, std::span<uint8_t, kProfileImageSize>(odd.data(), kProfileImageSize));
  Write(path, odd);
  EXPECT_EQ(Validate(path), 0);
  ASSERT_EQ(LoadProfileFile(state_.editing, path), 1);
  loaded = EditingCopy();
  EXPECT_EQ(loaded.macros.size(), 2u);  // only whole records present are taken
  EXPECT_EQ(loaded.texts.Total(), 0u);  // the pool lies past the end of the file

  // Shorter than the image: nothing loads and the editing instance stays as it was.
  state_.editing.Replace(SampleConfig());
  const ProfileConfig before = EditingCopy();
  Write(path, std::vector<uint8_t>(full.begin(), full.begin() + 1000));
  EXPECT_EQ(LoadProfileFile(state_.editing, path), 0);
  EXPECT_EQ(LoadProfileFile(state_.editing, Path("none.orv")), 0);
  EXPECT_EQ(*EditingCopy().image, *before.image);
}

TEST_F(ProfileStoreTest, AFailedSaveLeavesTheOldFileIntact) {
  const std::string path = Path("keep.orv");
  state_.editing.Replace(SampleConfig());
  ASSERT_TRUE(SaveProfileFile(state_.editing, path));
  const auto old_bytes = ReadWholeFile(path);

  // A bigger configuration whose write runs into a file size limit halfway through.
  ProfileConfig big = SampleConfig();
  for (uint16_t id = 10; id < 60; ++id) big.macros.push_back(Macro(id, u"big"));
  state_.editing.Replace(std::move(big));
  struct rlimit old_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 200 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool saved = SaveProfileFile(state_.editing, path);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadWholeFile(path), old_bytes);
  EXPECT_EQ(Validate(path), 1);
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1);

  // Into a folder that does not exist: failure, nothing created.
  EXPECT_FALSE(SaveProfileFile(state_.editing, Path("no/such/folder.orv")));
  // With no editing image there is nothing to save.
  state_.editing.Discard();
  EXPECT_FALSE(SaveProfileFile(state_.editing, path));
  EXPECT_EQ(ReadWholeFile(path), old_bytes);
}

TEST_F(ProfileStoreTest, CacheFileAndDefaults) {
  EXPECT_EQ(ProfileCount(), 3);
  const std::string cache = CacheFile(0);
  EXPECT_EQ(cache, dir_ + "/data/ZR4410_VELMORA_Q5/$Profile0");
  EXPECT_EQ(CacheFile(1), cache);
  EXPECT_EQ(CacheFile(2), cache);

  state_.editing.Replace(SampleConfig());
  EXPECT_EQ(SaveCacheFile(state_.editing), 0);
  EXPECT_FALSE(FileExists(cache));

  // A default file: the bare image, valid, G-key codes on layer 0 only.
  ASSERT_EQ(CreateDefaultProfile(state_.editing, cache, false), 1);
  auto bytes = ReadWholeFile(cache);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), kProfileImageSize);
  EXPECT_EQ(Validate(cache), 1);
  ProfileImage image{};
  ASSERT_TRUE(ImageFromBytes(*bytes, image));
  EXPECT_EQ(image.EntryAt(0, kGKeySetA)->code, 0x301);
  EXPECT_EQ(image.EntryAt(0, kGKeySetB + 8)->code, 0x1309);
  EXPECT_EQ(*image.EntryAt(1, kGKeySetA), KeyAction{});
  EXPECT_EQ(image.identity, kDeviceIdentity);

  // Now the cache exists, so it is refreshed.
  EXPECT_EQ(SaveCacheFile(state_.editing), 1);
  EXPECT_EQ(ReadWholeFile(cache)->size(), kProfileImageSize + 2 * kMacroRecordSize + EditingCopy().texts.Total());

  ASSERT_EQ(CreateDefaultProfile(state_.editing, "", true), 1);
  const ProfileConfig def = EditingCopy();
  EXPECT_EQ(*def.image, image);
  EXPECT_TRUE(def.macros.empty());
  EXPECT_EQ(def.texts.Total(), 0u);
  EXPECT_EQ(CreateDefaultProfile(state_.editing, Path("no/such/folder.orv"), false), 0);
}

TEST_F(ProfileStoreTest, ReloadFromKeyboard) {
  testing_support::SimKeyboardLink link(state_.keyboard);
  ASSERT_TRUE(link.Connect());
  RecordingMainWindowLink window;

  // Put a configuration into the keyboard, then reload it.
  ProfileConfig c = SampleConfig();
  state_.editing.Replace(std::move(c));
  {
    auto lock = state_.editing.Acquire();
    ASSERT_EQ(Apply(state_.Context(), true, link.Proto(), prompt_, texts_), 1);
  }
  window.SetApplyPending(true);
  state_.editing.Discard();
  EXPECT_EQ(ReloadFromKeyboard(state_.Context(), link.Proto(), texts_, window), 1);

  const std::string cache = CacheFile(0);
  EXPECT_EQ(Validate(cache), 1);  // a file built from the keyboard validates
  const ProfileConfig loaded = EditingCopy();
  ASSERT_TRUE(loaded.image);
  EXPECT_EQ(loaded.image->header.textSize, 0u);
  EXPECT_EQ(loaded.macros.size(), 2u);
  EXPECT_EQ(loaded.image->EntryAt(1, 0x1E)->value, 0x030u);
  EXPECT_EQ(loaded.image->EntryAt(1, 0x20)->type, kActionPlayMacro);
  EXPECT_EQ(loaded.image->EntryAt(1, 0x20)->value, 1u);  // macro 7 is first: id 1 from the keyboard
  EXPECT_EQ(loaded.image->EntryAt(0, 0x22)->type, kActionDisabled);  // texts do not come back
  EXPECT_FALSE(window.IsApplyPending());
  auto calls = window.Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2].kind, RecordingMainWindowLink::Kind::RefreshKeyMatrix);
  EXPECT_EQ(calls.back().kind, RecordingMainWindowLink::Kind::SetApplyPending);

  // The keyboard goes silent: default configuration, cache file keeps its content.
  const auto cache_bytes = ReadWholeFile(cache);
  link.Proto().ClearProfileCache();
  link.Proto().SetOpen(false);
  window.Clear();
  EXPECT_EQ(ReloadFromKeyboard(state_.Context(), link.Proto(), texts_, window), 1);
  EXPECT_EQ(ReadWholeFile(cache), cache_bytes);
  EXPECT_EQ(*EditingCopy().image, *NewDefaultImage());
  EXPECT_TRUE(EditingCopy().macros.empty());
  ASSERT_EQ(window.Calls().size(), 2u);
  EXPECT_EQ(window.Calls()[0].kind, RecordingMainWindowLink::Kind::RefreshKeyMatrix);
}

// Random damage to a real file: validation and loading never crash, never read outside the
// file, and whatever validates loads with the limits every reader relies on.
TEST_F(ProfileStoreTest, RandomBytesNeverBreakValidateOrLoad) {
  state_.editing.Replace(SampleConfig());
  const std::string path = Path("fuzz.orv");
  ASSERT_TRUE(SaveProfileFile(state_.editing, path));
  const std::vector<uint8_t> good = *ReadWholeFile(path);
  std::mt19937 rng(20261209);
  int valid = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = good;
    switch (round % 4) {
      case 0:  // flip bytes anywhere in the header and the first entries
        for (int i = 0; i < 1 + int(rng() % 4); ++i) bytes[rng() % 200] = uint8_t(rng());
        break;
      case 1:  // cut anywhere
        bytes.resize(rng() % (bytes.size() + 1));
        break;
      case 2: {  // random counts with a matching checksum
        ProfileImage image{};
        ImageFromBytes(bytes, image);
        image.header.macroCount = uint16_t(rng());
        image.header.textSize = uint32_t(rng());
        image.header.fileSize = rng() % 2 ? uint32_t(DeclaredProfileFileSize(image.header)) : uint32_t(rng());
        image.header.checksum = HeaderChecksum(image.header);
        for (int i = 0; i < 50; ++i) image.entries[rng() % kTextSlotCount] = {uint16_t(rng() % 10), 0, uint32_t(rng())};
        ImageToBytes(image, std::span<uint8_t, kProfileImageSize>(bytes.data(), kProfileImageSize));
        break;
      }
      default:  // noise after the image
        for (size_t i = kProfileImageSize; i < bytes.size(); ++i) bytes[i] = uint8_t(rng());
        break;
    }
    Write(path, bytes);
    const int v = Validate(path);
    ASSERT_TRUE(v == 0 || v == 1);
    const int loaded = LoadProfileFile(state_.editing, path);
    ASSERT_EQ(loaded, bytes.size() >= kProfileImageSize ? 1 : 0) << round;
    if (loaded) {
      const ProfileConfig c = EditingCopy();
      ASSERT_TRUE(c.image);
      ASSERT_LE(c.macros.size(), size_t(kMaxMacros));
    }
    valid += v;
  }
  EXPECT_GT(valid, 0);  // the mix keeps some files valid, so both paths are exercised
}

}  // namespace
}  // namespace orvane
