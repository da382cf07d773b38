// Path rules of both flavours. The Windows rules run against a fake file
// system; ソ and 表 end in 0x5C in CP932 and ポ in 0x7C, and must stay whole.
#include "common/path_utils.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/collation.h"

namespace tarnwick {
namespace {

// Existing paths, in their stored letter case; found in any case.
class FakeWinFiles : public WinPathSystem {
 public:
  std::optional<std::string> FindEntry(std::string_view folder,
                                       std::string_view name) const override {
    for (const std::string& path : paths_) {
      if (SameTextIgnoreCase(winpath::ExtractFilePath(path), folder) &&
          SameTextIgnoreCase(winpath::ExtractFileName(path), name)) {
        return winpath::ExtractFileName(path);
      }
    }
    return std::nullopt;
  }

 private:
  std::vector<std::string> paths_ = {"C:\\Prog",   "C:\\Prog\\Sub",      "C:\\Prog\\Stored.dat",
                                     "C:\\ソフト", "C:\\ソフト\\表.DAT", "\\\\srv\\share\\Dir"};
};

struct SplitRow {
  const char *path, *drive, *filePath, *fileDir, *fileName, *ext, *noDrive;
};

TEST(PathWinTest, Splitting) {
  const SplitRow rows[] = {
      {"C:\\dir\\file.txt", "C:", "C:\\dir\\", "C:\\dir", "file.txt", ".txt", "\\dir\\"},
      {"\\\\server\\share\\dir\\file", "\\\\server\\share", "\\\\server\\share\\dir\\",
       "\\\\server\\share\\dir", "file", "", "\\dir\\"},
      {"\\\\server\\share", "\\\\server\\share", "\\\\server\\", "\\\\server", "share", "", ""},
      {"C:file.txt", "C:", "C:", "C:", "file.txt", ".txt", ""},
      {"\\file", "", "\\", "\\", "file", "", "\\"},
      {"C:\\dir.d\\data.", "C:", "C:\\dir.d\\", "C:\\dir.d", "data.", ".", "\\dir.d\\"},
      {"C:\\ソ\\表", "C:", "C:\\ソ\\", "C:\\ソ", "表", "", "\\ソ\\"},
      {"ポ:x", "", "ポ:", "ポ:", "x", "", "ポ:"},  // ':' is the fourth byte, not a drive
  };
  for (const SplitRow& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(winpath::ExtractFileDrive(row.path), row.drive);
    EXPECT_EQ(winpath::ExtractFilePath(row.path), row.filePath);
    EXPECT_EQ(winpath::ExtractFileDir(row.path), row.fileDir);
    EXPECT_EQ(winpath::ExtractFileName(row.path), row.fileName);
    EXPECT_EQ(winpath::ExtractFileExt(row.path), row.ext);
    EXPECT_EQ(winpath::ExtractPathNoDrive(row.path), row.noDrive);
  }
}

TEST(PathWinTest, ResolveFileName) {
  struct Row {
    const char *name, *ext, *base, *expected;
  };
  const Row rows[] = {
      {"data", ".dat", "C:\\Prog\\", "C:\\Prog\\data.dat"},
      {"sub\\..\\data.dat", "", "C:\\Prog\\", "C:\\Prog\\data.dat"},
      {"\\x\\data.dat", "", "C:\\Prog\\", "C:\\x\\data.dat"},
      {"\\x\\..\\y.dat", "", "C:\\Prog\\", "C:\\x\\..\\y.dat"},  // a rooted name is kept
      {"c:\\x\\data.dat", "", "C:\\Prog\\", "C:\\x\\data.dat"},
      {"C:\\x\\data.dat", "", "c:\\Prog\\", "c:\\x\\data.dat"},
      {"C:data.dat", ".reg", "C:\\Prog\\", "C:\\Prog\\data.dat"},
      {"c:sub\\data", ".dat", "C:\\Prog\\", "C:\\Prog\\Sub\\data.dat"},
      {"data.", ".dat", "C:\\Prog\\", "C:\\Prog\\data."},
      {"STORED", ".dat", "C:\\prog\\", "C:\\Prog\\Stored.dat"},
      {"", ".dat", "C:\\prog\\", "C:\\prog\\"},  // the base folder as given
      {"表", ".dat", "c:\\ソフト\\", "c:\\ソフト\\表.DAT"},
      {"\\\\srv\\share\\x.dat", "", "C:\\Prog\\", "\\\\srv\\share\\x.dat"},
      {"D:x.dat", "", "C:\\Prog\\", "D:\\x.dat"},
      {"\\\\SRV\\Share\\x.dat", "", "\\\\srv\\share\\b\\", "\\\\srv\\share\\x.dat"},
      {"\\y", ".dat", "\\\\srv\\share\\b\\", "\\\\srv\\share\\y.dat"},
  };
  FakeWinFiles files;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " in " + row.base);
    EXPECT_EQ(winpath::ResolveFileName(row.name, row.ext, row.base, files), row.expected);
  }
}

TEST(PathWinTest, GetLongFileNameKeepsMissingComponents) {
  const std::pair<const char*, const char*> rows[] = {
      {"", ""},
      {"C:\\", "C:"},
      {"c:\\prog", "c:\\Prog"},
      {"C:\\PROG\\", "C:\\Prog\\"},
      {"C:\\prog\\sub\\new\\file.txt", "C:\\Prog\\Sub\\new\\file.txt"},
      {"C:\\missing\\prog", "C:\\missing\\prog"},
      {"C:\\ソフト\\表.dat", "C:\\ソフト\\表.DAT"},
      {"\\\\srv\\share\\dir\\", "\\\\srv\\share\\Dir\\"},
      {"\\\\srv\\share\\", "\\\\srv\\share\\"},
  };
  FakeWinFiles files;
  for (const auto& [path, expected] : rows) {
    SCOPED_TRACE(path);
    EXPECT_EQ(winpath::GetLongFileName(path, files), expected);
  }
}

TEST(PathWinTest, DefaultFullPathNameIsLexical) {
  const std::pair<const char*, const char*> rows[] = {
      {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
      {"C:/a//b\\", "C:\\a\\b\\"},
      {"C:\\..\\..\\x", "C:\\x"},
      {"C:\\a\\..", "C:\\"},
      {"D:x\\y", "D:\\x\\y"},
      {"\\\\srv\\share\\a\\..\\..\\b", "\\\\srv\\share\\b"},
      {"\\ソ\\..\\表", "\\表"},
  };
  WinPathSystem system;
  for (const auto& [path, expected] : rows) {
    SCOPED_TRACE(path);
    EXPECT_EQ(system.FullPathName(path), expected);
  }
}

TEST(PathPosixTest, SplittingAndResolving) {
  EXPECT_EQ(posixpath::ExtractFileDir("/x"), "/");
  EXPECT_EQ(posixpath::ExtractFileName("C:\\ソ\\表"), "C:\\ソ\\表");
  EXPECT_EQ(posixpath::ChangeFileExt("dir.d\\表", ".dat"), "dir.dat");
  EXPECT_EQ(winpath::ChangeFileExt("dir.d\\表", ".dat"), "dir.d\\表.dat");
  EXPECT_EQ(winpath::ChangeFileExt("dir.d/ポ", ".dat"), "dir.dat");

  struct Row {
    const char *name, *ext, *base, *expected;
  };
  const Row rows[] = {
      {"data", ".dat", "/home/u/", "/home/u/data.dat"},
      {".././x//y", ".dat", "/home/u/", "/home/x/y.dat"},
      {"../../../x", "", "/home/u/", "/x"},
      {"/a/../b", ".dat", "/home/u/", "/a/../b.dat"},
      {"data.", ".dat", "/home/u/", "/home/u/data."},
      {"", ".dat", "/home/u/", "/home/u/"},
      {"C:ソ\\表", ".dat", "/home/u/", "/home/u/C:ソ\\表.dat"},
      {"../../x", ".dat", "rel/", "../x.dat"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " in " + row.base);
    EXPECT_EQ(posixpath::ResolveFileName(row.name, row.ext, row.base), row.expected);
  }
}

#ifndef _WIN32
TEST(PathUtilsTest, NativeRulesArePosix) {
  EXPECT_EQ(ResolveFileName("tarnwick", ".ini", "/opt/t/"), "/opt/t/tarnwick.ini");
  EXPECT_EQ(GetLongFileName("/OPT/T/X.ini"), "/OPT/T/X.ini");
  EXPECT_EQ(ChangeFileExt("/opt/t.d/tarnwick", ".dat"), "/opt/t.d/tarnwick.dat");
}
#endif

}  // namespace
}  // namespace tarnwick
