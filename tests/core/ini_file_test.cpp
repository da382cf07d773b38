// The INI files: the data file's read-modify-write dialect, comma text, the
// settings file's key-by-key profile file, and safe replacement of files.
#include "backitem/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <iterator>
#include <random>

#include "backitem/comma_text.h"
#include "backitem/profile_file.h"
#include "common/text_codec.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

using Strings = std::vector<std::string>;

TEST(IniFileTest, ReadsTheDialect) {
  static const char kText[] =
      "ignored=before any section\r\n"
      "  [ Tarnwick ]  \n"
      "Version = 205 \r"
      "; a comment\r\n"
      "\r\n"
      "\tlonely\n"
      "[tarnwick]\n"
      "Version=999\n"
      "[Items]\n"
      "Key=first\n"
      "KEY=second\n"
      "a=b=c\n"
      "\x83\x5C\x83\x74\x83\x67=\x95\x5C\n"
      "cut=here\0after=nul\n";
  IniFile ini = IniFile::Parse(std::string_view(kText, sizeof kText - 1));
  EXPECT_EQ(ini.ReadString("TARNWICK", "version", "x"), "205");  // the first section wins
  EXPECT_EQ(ini.ReadSection("tarnwick"), (Strings{"Version", "lonely"}));
  EXPECT_EQ(ini.ReadString("Tarnwick", "lonely", "x"), "");
  EXPECT_EQ(ini.ReadString("Items", "key", ""), "first");
  EXPECT_EQ(ini.ReadString("Items", "a", ""), "b=c");
  EXPECT_EQ(ini.ReadString("Items", "ソフト", ""), "表");
  EXPECT_EQ(ini.ReadString("Items", "cut", ""), "here");
  EXPECT_EQ(ini.ReadString("Items", "after", "none"), "none");
  EXPECT_EQ(ini.ReadString("Missing", "x", "default"), "default");
}

TEST(IniFileTest, Numbers) {
  IniFile ini = IniFile::Parse(
      "[N]\ndec=42\nneg=-7\ndollar=$1F\nhex=0x10\nHEX=0X20\nbig=$FFFFFFFF\n"
      "over=2147483648\nbad=12a\nempty=\nbool=2\n");
  EXPECT_EQ(ini.ReadInteger("N", "dec", 0), 42);
  EXPECT_EQ(ini.ReadInteger("N", "neg", 0), -7);
  EXPECT_EQ(ini.ReadInteger("N", "dollar", 0), 31);
  EXPECT_EQ(ini.ReadInteger("N", "hex", 0), 16);
  EXPECT_EQ(ini.ReadInteger("N", "big", 0), -1);
  EXPECT_EQ(ini.ReadInteger("N", "over", 5), 5);
  EXPECT_EQ(ini.ReadInteger("N", "bad", 5), 5);
  EXPECT_EQ(ini.ReadInteger("N", "empty", 5), 5);
  EXPECT_TRUE(ini.ReadBool("N", "bool", false));
  EXPECT_TRUE(ini.ReadBool("N", "missing", true));
  EXPECT_FALSE(ini.ReadBool("N", "bad", false));
}

TEST(IniFileTest, WritesInPlaceAndSerializesInCp932) {
  IniFile ini = IniFile::Parse("; dropped\n[A]\nx=1\nflag\n[B]\ny=2\n");
  ini.WriteString("a", "X", "one");  // in place, keeping the key's spelling
  ini.WriteInteger("A", "z", -3);
  ini.WriteBool("C", "on", true);
  ini.WriteString("B", "名前", "ソ");
  ini.EraseSection("b");
  ini.WriteString("B", "new", "");
  EXPECT_EQ(ini.Serialize(),
            "[A]\r\nx=one\r\nflag\r\nz=-3\r\n\r\n[C]\r\non=1\r\n\r\n[B]\r\nnew=\r\n\r\n");
  IniFile jp;
  jp.WriteString("S", "名前", "ソ");
  EXPECT_EQ(jp.Serialize(), "[S]\r\n\x96\xBC\x91\x4F=\x83\x5C\r\n\r\n");
}

TEST(IniFileTest, MissingFileReadsAsEmpty) {
  TempDir dir;
  EXPECT_TRUE(IniFile::Load(dir.File("none.dat")).ReadSection("Tarnwick").empty());
}

TEST(CommaTextTest, Join) {
  EXPECT_EQ(JoinCommaText({"HKCU\\A", "", "0"}), "HKCU\\A,,0");
  EXPECT_EQ(JoinCommaText({"a b", "c,d", "e\"f", "ソフト"}), "\"a b\",\"c,d\",\"e\"\"f\",ソフト");
  EXPECT_EQ(JoinCommaText({"", "0"}), ",0");
  EXPECT_EQ(JoinCommaText({""}), "\"\"");
  EXPECT_EQ(JoinCommaText({}), "");
  EXPECT_EQ(JoinCommaText({"tab\there"}), "\"tab\there\"");
}

TEST(CommaTextTest, Split) {
  struct Row {
    const char* text;
    Strings elements;
  };
  const Row rows[] = {
      {"HKCU\\A,,0", {"HKCU\\A", "", "0"}},
      {"  a , b ,c", {"a", "b", "c"}},
      {"a b", {"a", "b"}},  // an unquoted space splits
      {"\"a b\",\"c,d\",\"e\"\"f\"", {"a b", "c,d", "e\"f"}},
      {"\"unterminated, still", {"unterminated, still"}},
      {"\"ab\"cd,x", {"ab", "cd", "x"}},
      {"a,", {"a", ""}},
      {"a, ", {"a"}},
      {",0", {"", "0"}},
      {"\"\"", {""}},
      {"", {}},
      {"   ", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(SplitCommaText(row.text), row.elements);
  }
}

TEST(CommaTextTest, RoundTripsAnyElements) {
  std::mt19937 random(7);
  const std::string alphabet[] = {"a", " ", ",", "\"", "ソ", "\t", "=", "%", ";", "\\"};
  for (int round = 0; round < 2000; ++round) {
    Strings elements(1 + random() % 4);
    for (std::string& element : elements) {
      for (int n = random() % 5; n > 0; --n) element += alphabet[random() % 10];
    }
    SCOPED_TRACE(JoinCommaText(elements));
    // A last empty element is written as a trailing comma and read back.
    EXPECT_EQ(SplitCommaText(JoinCommaText(elements)), elements);
  }
}

TEST(ProfileFileTest, UpdatesSingleKeysAndKeepsEverythingElse) {
  TempDir dir;
  std::string path = dir.File("app.ini");
  WriteFileBytes(path,
                 "; my settings\r\n[Window]\r\nLeft=10\r\n; keep me\r\nTop=20\r\n\r\n"
                 "[Settings]\r\nName=\"quoted value\"\r\nOther='x'\r\n");
  ProfileFile ini(path);
  EXPECT_EQ(ini.ReadInteger("window", "LEFT", 0), 10);
  EXPECT_EQ(ini.ReadString("Settings", "Name", ""), "quoted value");
  EXPECT_EQ(ini.ReadString("Settings", "Other", ""), "x");
  ini.WriteInteger("WINDOW", "top", 25);
  ini.WriteInteger("Window", "Width", 300);
  ini.DeleteKey("Settings", "Other");
  ini.WriteBool("New", "On", true);
  ASSERT_EQ(ini.Flush(), 0);
  EXPECT_EQ(ReadFileBytes(path),
            "; my settings\r\n[Window]\r\nLeft=10\r\n; keep me\r\ntop=25\r\nWidth=300\r\n\r\n"
            "[Settings]\r\nName=\"quoted value\"\r\n\r\n[New]\r\nOn=1\r\n");
}

TEST(ProfileFileTest, MissingFileAndLongValues) {
  TempDir dir;
  ProfileFile ini(dir.File("none.ini"));
  EXPECT_EQ(ini.ReadString("Tarnwick", "Version", "205"), "205");
  EXPECT_EQ(ini.Flush(), 0);
  EXPECT_FALSE(FileExists(dir.File("none.ini")));  // nothing changed, nothing written
  ini.WriteString("S", "long", std::string(3000, 'x'));
  ini.WriteString("S", "jp", "ソ" + std::string(2100, 'y'));
  EXPECT_EQ(ini.ReadString("S", "long", "").size(), 2047u);
  EXPECT_EQ(ini.ReadString("S", "jp", ""), "ソ" + std::string(2046, 'y'));
}

TEST(ReplaceFileContentsTest, RefusesReadOnlyFilesAndKeepsTheOldFileOnFailure) {
  TempDir dir;
  std::string path = dir.File("data.dat");
  WriteFileBytes(path, "old");
  chmod(path.c_str(), 0444);
  EXPECT_EQ(platform::ReplaceFileContents(path, "new"), EACCES);
  EXPECT_EQ(ReadFileBytes(path), "old");
  chmod(path.c_str(), 0640);

#ifndef _WIN32  // a write limit and permission bits are POSIX's
  {
    FileSizeLimit full(2);  // the temporary file cannot be written whole
    EXPECT_EQ(platform::ReplaceFileContents(path, "new"), EFBIG);
  }
  EXPECT_EQ(ReadFileBytes(path), "old");
#endif
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

  EXPECT_EQ(platform::ReplaceFileContents(path, "new"), 0);
  EXPECT_EQ(ReadFileBytes(path), "new");
#ifndef _WIN32
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
  EXPECT_EQ(platform::ReplaceFileContents(dir.File("no/folder/x.dat"), "x"), ENOENT);
}

}  // namespace
}  // namespace tarnwick::test
