#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/files.h"
#include "temp_dir.h"

namespace orvane {
namespace {

using testing::TempDir;

TEST(IniFile, ReadsWithWindowsSemantics) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("\xEF\xBB\xBF; comment\r\n"
                                                "[Text]\r\n"
                                                "  Hello =  World  \r\n"
                                                "Empty=\r\n"
                                                "Quoted=\"  spaced  \"\r\n"
                                                "Dup=first\r\n"
                                                "Dup=second\r\n"
                                                "[other]\r\nHello=Other\r\n")));
  EXPECT_EQ(IniReadString(path, "TEXT", "hello", "#Error"), "World");      // case-insensitive
  EXPECT_EQ(IniReadString(path, "text", "EMPTY", "#Error"), "");           // empty, not default
  EXPECT_EQ(IniReadString(path, "text", "missing", "#Error"), "#Error");   // absent -> default
  EXPECT_EQ(IniReadString(path, "nosection", "Hello", "dflt"), "dflt");
  EXPECT_EQ(IniReadString(path, "text", "Quoted", ""), "  spaced  ");
  EXPECT_EQ(IniReadString(path, "text", "Dup", ""), "first");
  EXPECT_EQ(IniReadString(path, "OTHER", "hello", ""), "Other");
  EXPECT_EQ(IniReadString(dir.File("none.ini"), "a", "b", "dflt"), "dflt");
}

TEST(IniFile, CutsResultsToTheBuffer) {
  TempDir dir;
  std::string path = dir.File("long.ini");
  std::string long_value(400, 'x');
  ASSERT_TRUE(IniWriteString(path, "S", "K", long_value));
  EXPECT_EQ(IniReadString(path, "S", "K", "").size(), 259u);
  EXPECT_EQ(IniReadString(path, "S", "K", "", 10), std::string(9, 'x'));
  EXPECT_EQ(IniReadString(path, "S", "K", "", 0), "");
  // Cyrillic text is cut between characters, never inside one.
  ASSERT_TRUE(IniWriteString(path, "S", "R", "Привет"));
  EXPECT_EQ(IniReadString(path, "S", "R", "", 4), "При");
}

TEST(IniFile, WritesKeepTheRestOfTheFile) {
  TempDir dir;
  std::string path = dir.File("w.ini");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("; keep me\n[A]\nx=1\n\n[B]\ny=2\n")));
  ASSERT_TRUE(IniWriteString(path, "a", "X", "10"));   // replaces, whatever the case
  ASSERT_TRUE(IniWriteString(path, "A", "z", "3"));    // new key goes into section A
  ASSERT_TRUE(IniWriteString(path, "C", "w", "4"));    // new section at the end
  auto text = ReadTextFile(path);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "; keep me\n[A]\nX=10\nz=3\n\n[B]\ny=2\n[C]\nw=4\n");
  // A value with a line break cannot inject a new key.
  ASSERT_TRUE(IniWriteString(path, "B", "y", "2\nevil=1"));
  EXPECT_EQ(IniReadString(path, "B", "evil", "none"), "none");
  // A carriage return more before a line break is a blank, so a write elsewhere changes no value.
  ASSERT_TRUE(WriteFileAtomic(path, std::string("[A]\r\nx=1\r\r\n")));
  EXPECT_EQ(IniReadString(path, "A", "x", ""), "1");
  ASSERT_TRUE(IniWriteString(path, "B", "y", "2"));
  EXPECT_EQ(IniReadString(path, "A", "x", ""), "1");
  // A byte-order mark stays, so a second one (part of the first line) still hides that line.
  ASSERT_TRUE(WriteFileAtomic(path, std::string("\xEF\xBB\xBF\xEF\xBB\xBF[A]\nx=1\n")));
  ASSERT_TRUE(IniWriteString(path, "B", "y", "2"));
  EXPECT_EQ(IniReadString(path, "A", "x", "none"), "none");
  EXPECT_EQ(ReadTextFile(path).value_or("").substr(0, 6), "\xEF\xBB\xBF\xEF\xBB\xBF");
  // Writing creates a missing file.
  ASSERT_TRUE(IniWriteString(dir.File("new.ini"), "KEYCOLOR", "DengCheck", "1"));
  EXPECT_EQ(IniReadString(dir.File("new.ini"), "KEYCOLOR", "DengCheck", "0"), "1");
}

TEST(IniFile, ReadIntAndDeletion) {
  TempDir dir;
  std::string path = dir.File("i.ini");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("[S]\na=42abc\nb=-7\nc=abc\n")));
  EXPECT_EQ(IniReadInt(path, "S", "a", 0), 42);
  EXPECT_EQ(IniReadInt(path, "S", "b", 0), -7);
  EXPECT_EQ(IniReadInt(path, "S", "c", 5), 5);
  EXPECT_EQ(IniReadInt(path, "S", "none", 9), 9);
  ASSERT_TRUE(IniDeleteKey(path, "s", "A"));
  EXPECT_EQ(IniReadInt(path, "S", "a", 1), 1);
  IniDocument doc = IniDocument::Load(path);
  EXPECT_EQ(doc.Keys("S"), (std::vector<std::string>{"b", "c"}));
}

TEST(IniFile, SurvivesBinaryGarbage) {
  std::string garbage;
  uint32_t x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245u + 12345u;
    garbage += char(x >> 16);
  }
  IniDocument doc(garbage);
  doc.Set("S", "k", "v");
  EXPECT_EQ(doc.Get("S", "k", ""), "v");
}

// The cache answers exactly as a fresh read would, on a file with every kind of repetition.
TEST(CachedIniFiles, AnswerAsAFreshReadDoes) {
  TempDir dir;
  const std::string path = dir.File("t.ini");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("k=before any section\n[A]\nx=1\nX=2\n y = ' q ' \n"
                                                "[b]\nx=3\n[a]\nx=4\nz=5\n[]\nn=6\n")));
  CachedIniFiles cache;
  for (const char* section : {"A", "a", "B", "", "none"})
    for (const char* key : {"x", "X", "y", "z", "n", "k"})
      EXPECT_EQ(cache.Read(path, section, key, "#Error"), IniReadString(path, section, key, "#Error"))
          << section << "/" << key;
  EXPECT_EQ(cache.Read(path, "a", "y", ""), " q ");
  EXPECT_EQ(cache.Read(path, "a", "z", "#Error"), "#Error");  // only the first [A] counts
  EXPECT_EQ(cache.Read(path, "a", "y", "", 3), " q");
  EXPECT_EQ(cache.Parses(), 1u);
}

TEST(CachedIniFiles, ParseOnceAndSeeEveryChange) {
  TempDir dir;
  const std::string path = dir.File("Lang0409.ini");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("[TEXT]\nA=one\n")));
  CachedIniFiles cache;
  for (int i = 0; i < 100; ++i) ASSERT_EQ(cache.Read(path, "TEXT", "A", ""), "one");
  EXPECT_EQ(cache.Parses(), 1u);
  // Replaced by rename (a new inode).
  ASSERT_TRUE(WriteFileAtomic(path, std::string("[TEXT]\nA=two\n")));
  EXPECT_EQ(cache.Read(path, "TEXT", "A", ""), "two");
  // Changed in place to the same size: only the modification time tells.
  FILE* f = std::fopen(path.c_str(), "r+");
  ASSERT_NE(f, nullptr);
  std::fputs("[TEXT]\nA=six\n", f);
  std::fclose(f);
  const timespec times[2] = {{0, UTIME_OMIT}, {12345, 678}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(cache.Read(path, "TEXT", "A", ""), "six");
  EXPECT_EQ(cache.Parses(), 3u);
  // Gone, then back.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  EXPECT_EQ(cache.Read(path, "TEXT", "A", "#Error"), "#Error");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("[TEXT]\nA=back\n")));
  EXPECT_EQ(cache.Read(path, "TEXT", "A", "#Error"), "back");
}

TEST(CachedIniFiles, DamagedOrOddFilesReadAsMissing) {
  TempDir dir;
  const std::string big = dir.File("big.ini");
  std::string text = "[TEXT]\nA=found\n";
  text.resize(kMaxIniFileBytes + 1, ';');
  ASSERT_TRUE(WriteFileAtomic(big, text));
  CachedIniFiles cache;
  EXPECT_EQ(cache.Read(big, "TEXT", "A", "#Error"), "#Error");
  EXPECT_EQ(IniReadString(big, "TEXT", "A", "#Error"), "#Error");
  text.resize(kMaxIniFileBytes);
  ASSERT_TRUE(WriteFileAtomic(big, text));
  EXPECT_EQ(cache.Read(big, "TEXT", "A", "#Error"), "found");
  // A FIFO or a folder must not make a lookup wait.
  ASSERT_EQ(mkfifo(dir.File("fifo.ini").c_str(), 0600), 0);
  EXPECT_EQ(cache.Read(dir.File("fifo.ini"), "TEXT", "A", "#Error"), "#Error");
  EXPECT_EQ(IniReadString(dir.File("fifo.ini"), "TEXT", "A", "#Error"), "#Error");
  EXPECT_EQ(cache.Read(dir.path(), "TEXT", "A", "#Error"), "#Error");
}

}  // namespace
}  // namespace orvane
