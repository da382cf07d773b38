// The REG output file: encodings, the size cap, I/O errors and the backup
// protocol that keeps one earlier copy and restores it when nothing is written.
#include "regwrite/reg_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "common/errors.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

std::string WriteFile(const TempDir& dir, int version,
                      std::initializer_list<std::u16string> lines) {
  RegOutputFile file;
  file.SetRegVersion(version);
  std::string path = dir.File("x.reg");
  file.OpenRegFile(path);
  file.RegWriteHeader();
  for (const auto& line : lines) file.WriteRegLine(line);
  file.CloseRegFile();
  return ReadFileBytes(path);
}

TEST(RegFileTest, HeaderSizes) {
  TempDir dir;
  EXPECT_EQ(WriteFile(dir, 4, {}), "REGEDIT4\r\n\r\n");
  std::string v5 = WriteFile(dir, 5, {});
  EXPECT_EQ(v5.size(), 82u);
  EXPECT_EQ(v5.substr(0, 6), std::string("\xFF\xFEW\0i\0", 6));
  EXPECT_EQ(v5.substr(78), std::string("\r\0\n\0", 4));
}

TEST(RegFileTest, CountsBytesAsWritten) {
  TempDir dir;
  RegOutputFile file;
  file.SetRegVersion(4);
  file.OpenRegFile(dir.File("a.reg"));
  file.RegWriteHeader();
  EXPECT_EQ(file.WrittenBytes(), 12u);
  file.WriteRegLine(u"");
  EXPECT_EQ(file.WrittenBytes(), 14u);
  file.WriteRegLine(u"ソ");  // two bytes in CP932
  EXPECT_EQ(file.WrittenBytes(), 18u);
  file.SetRegVersion(5);
  file.WriteRegLine(u"");
  EXPECT_EQ(file.WrittenBytes(), 22u);
  file.CloseRegFile();
  EXPECT_EQ(ReadFileBytes(dir.File("a.reg")).size(), 22u);
}

TEST(RegFileTest, LinesLongerThanTheBufferArriveWhole) {
  TempDir dir;
  std::u16string longLine(3000, u'x');
  std::string bytes = WriteFile(dir, 4, {longLine, u"ソフト"});
  EXPECT_EQ(bytes,
            "REGEDIT4\r\n\r\n" + std::string(3000, 'x') + "\r\n\x83\x5C\x83\x74\x83\x67\r\n");
}

TEST(RegFileTest, CapStopsRightAfterTheLineThatCrossesIt) {
  TempDir dir;
  constexpr uint32_t kCap = 4096;  // the product's 100 MiB behaves the same
  RegOutputFile file(kCap);
  file.SetRegVersion(4);
  std::string path = dir.File("big.reg");
  file.OpenRegFile(path);
  file.RegWriteHeader();
  std::u16string line(1022, u'a');  // 1024 bytes with CR LF
  // 12 header bytes, three such lines and one of 1,012 bytes fill the cap
  // exactly, which is allowed; the next line crosses it and stays in the file.
  for (int i = 0; i < 3; ++i) file.WriteRegLine(line);
  file.WriteRegLine(std::u16string(1010, u'b'));
  EXPECT_EQ(file.WrittenBytes(), kCap);
  try {
    file.WriteRegLine(u"");
    FAIL() << "no error at the cap";
  } catch (const ERegFileTooLarge& e) {
    EXPECT_STREQ(e.what(), "REGファイルが100Miバイトを超えたので、書き出しを中止します");
  }
  file.CloseRegFile();
  EXPECT_EQ(file.WrittenBytes(), kCap + 2);
  EXPECT_EQ(ReadFileBytes(path).size(), file.WrittenBytes());
  EXPECT_EQ(kRegFileSizeCap, 104857600u);
}

TEST(RegFileTest, MissingFolderIsAWrongFileNameThatNamesTheFolder) {
  TempDir dir;
  RegOutputFile file;
  file.SetCreateBackup(true);
  std::string path = dir.File("no/such/folder/x.reg");
  try {
    file.WriteRegFile(path, [] {});
    FAIL() << "written";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Code(), 3);
    EXPECT_EQ(std::string(e.what()),
              "書き出し先のフォルダーがありません: " + dir.File("no/such/folder/"));
  }
}

#ifdef __linux__  // elsewhere a folder holding an open file cannot be moved
TEST(RegFileTest, AFolderGoneDuringTheWritingIsSaidMissingAndKeepsNoTemporaryFile) {
  for (bool moved : {true, false}) {
    for (bool written : {true, false}) {
      SCOPED_TRACE(testing::Message() << "moved " << moved << " written " << written);
      TempDir dir;
      std::filesystem::create_directory(dir.File("out"));
      RegOutputFile file;
      file.SetRegVersion(4);
      file.SetCreateBackup(true);
      auto run = [&] {
        file.WriteRegFile(dir.File("out/x.reg"), [&] {
          file.WriteRegLine(u"[HKEY_CURRENT_USER\\New]");
          file.SetRegFileWritten(written);
          file.MarkComplete();
          if (moved) {
            std::filesystem::rename(dir.File("out"), dir.File("moved"));
          } else {
            std::filesystem::remove_all(dir.File("out"));
          }
        });
      };
      if (written) {
        try {
          run();
          ADD_FAILURE() << "placed";
        } catch (const EInOutError& e) {
          EXPECT_STREQ(e.what(),
                       ("書き出し先のフォルダーがありません: " + dir.File("out/")).c_str());
        }
      } else {
        EXPECT_NO_THROW(run());
      }
      for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().extension(), std::filesystem::path()) << entry.path();
      }
    }
  }
}
#endif

TEST(RegFileTest, FolderInPlaceOfTheFileIsAccessDenied) {
  TempDir dir;
  RegOutputFile file;
  try {
    file.OpenRegFile(dir.Path());
    FAIL() << "opened";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Code(), 5);
  }
}

#ifndef _WIN32  // links to devices and FIFOs are POSIX's own
TEST(RegFileTest, FullDiskFailsTheWrite) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  TempDir dir;
  std::string path = dir.File("full.reg");
  ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
  RegOutputFile file;
  file.OpenRegFile(path);
  file.RegWriteHeader();
  try {
    for (int i = 0; i < 100; ++i) file.WriteRegLine(std::u16string(100, u'x'));
    file.CloseRegFile();
    FAIL() << "wrote to a full disk";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Code(), 101);
    EXPECT_STREQ(e.what(), "ディスクがいっぱいです");
  }
}

#endif

TEST(RegFileTest, ErrnoMapping) {
  EXPECT_EQ(MakeInOutError(ENOENT).Code(), 3);
  EXPECT_EQ(MakeInOutError(EMFILE).Code(), 4);
  EXPECT_STREQ(MakeInOutError(ENFILE).what(), "オープンしたファイルが多すぎます");
  EXPECT_EQ(MakeInOutError(EACCES).Code(), 5);
  EXPECT_EQ(MakeInOutError(EPERM).Code(), 5);
  EXPECT_STREQ(MakeInOutError(EROFS).what(), "ファイルへのアクセスが拒否されました");
#ifdef EDQUOT
  EXPECT_EQ(MakeInOutError(EDQUOT).Code(), 101);
#endif
  EXPECT_STREQ(MakeInOutError(EIO).what(), ("I/O エラー (" + std::to_string(EIO) + ")").c_str());
}

// The backup protocol, with F, F.bak and F.bak.tmp seeded as the case needs.
class RegFileBackupTest : public testing::Test {
 protected:
  TempDir dir;
  std::string f = dir.File("all.reg");
  std::string bak = f + ".bak";
  std::string tmp = f + ".bak.tmp";
  std::string part = f + ".tarnwick-tmp";

  void Seed(const char* oldF, const char* oldBak, const char* leftOver) {
    if (oldF) WriteFileBytes(f, oldF);
    if (oldBak) WriteFileBytes(bak, oldBak);
    if (leftOver) WriteFileBytes(tmp, leftOver);
  }

  // One run into f; writes a key when written is true, then a half item
  // and the error when fail is set.
  void Run(bool backup, bool written, bool fail = false,
           std::vector<std::string> protectedFiles = {}) {
    RegOutputFile file;
    file.SetRegVersion(4);
    file.SetCreateBackup(backup);
    file.SetProtectedFiles(std::move(protectedFiles));
    file.WriteRegFile(f, [&] {
      if (written) {
        file.WriteRegLine(u"[HKEY_CURRENT_USER\\New]");
        file.SetRegFileWritten(true);
        file.MarkComplete();
      }
      if (fail) {
        file.WriteRegLine(u"[HKEY_CURRENT_USER\\Half]");
        file.SetRegFileWritten(true);
        throw EProgressCanceled();
      }
    });
  }

  std::string Content(const std::string& path) {
    return FileExists(path) ? ReadFileBytes(path) : "<none>";
  }

  void ExpectFiles(const char* fText, const char* bakText) {
    EXPECT_EQ(Content(f), fText);
    EXPECT_EQ(Content(bak), bakText);
    EXPECT_EQ(Content(tmp), "<none>");
    EXPECT_EQ(Content(part), "<none>");
  }

  static constexpr const char* kNew = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\New]\r\n";
};

TEST_F(RegFileBackupTest, EndStatesOfEveryRunThatFinishes) {
  struct Case {
    const char *oldF, *oldBak, *leftOver;
    bool backup, written;
    const char *f, *bak;
  } cases[] = {
      {"old", "older", nullptr, true, true, kNew, "old"},
      {"old", "older", nullptr, true, false, "old", "older"},
      {nullptr, nullptr, nullptr, true, false, "<none>", "<none>"},
      {nullptr, "older", nullptr, true, true, kNew, "<none>"},
      {"old", "older", nullptr, false, true, kNew, "older"},
      // Nothing written never removes the earlier file.
      {"old", nullptr, nullptr, false, false, "old", "<none>"},
      // A rotation file a killed run left is removed, whatever happens.
      {"old", "older", "leftover", true, true, kNew, "old"},
      {"old", "older", "leftover", true, false, "old", "older"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.oldF ? c.oldF : "-") << " " << c.backup << c.written);
    for (const std::string& name : {f, bak, tmp}) std::remove(name.c_str());
    Seed(c.oldF, c.oldBak, c.leftOver);
    Run(c.backup, c.written);
    ExpectFiles(c.f, c.bak);
  }
}

TEST_F(RegFileBackupTest, TwoRunsKeepExactlyOneBackup) {
  Seed("old", nullptr, nullptr);
  Run(true, true);
  Run(true, true);
  ExpectFiles(kNew, kNew);
}

TEST_F(RegFileBackupTest, AnErrorKeepsWhatWasCompleteAndNeverHalfAnItem) {
  Seed("old", "older", nullptr);
  EXPECT_THROW(Run(true, true, true), EProgressCanceled);
  ExpectFiles(kNew, "old");
  // Nothing complete: everything stays as it was.
  EXPECT_THROW(Run(true, false, true), EProgressCanceled);
  ExpectFiles(kNew, "old");
}

TEST_F(RegFileBackupTest, ALeftOverTemporaryFileIsNeverTakenForOutput) {
  Seed("old", nullptr, nullptr);
  WriteFileBytes(part, "half of a killed run");
  Run(false, false);
  ExpectFiles("old", "<none>");
}

#ifndef _WIN32
TEST_F(RegFileBackupTest, WhatIsNotARegularFileOrIsAnInputIsNeverTouched) {
  WriteFileBytes(dir.File("items.dat"), "data");
  ASSERT_EQ(symlink(dir.File("items.dat").c_str(), f.c_str()), 0);
  try {
    Run(true, true, false, {dir.File("items.dat")});
    FAIL() << "replaced an input";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()),
              "プログラムが読み込むファイルなので、書き出しに使えません: " + dir.File("items.dat"));
  }
  EXPECT_EQ(Content(dir.File("items.dat")), "data");
  std::remove(f.c_str());
  ASSERT_EQ(mkfifo(f.c_str(), 0600), 0);
  EXPECT_THROW(Run(true, true), EInOutError);
  struct stat st;
  ASSERT_EQ(lstat(f.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(Content(bak), "<none>");
}
#endif

TEST_F(RegFileBackupTest, ABackupThatCannotBeMadeStopsBeforeAnythingIsReplaced) {
  Seed("old", nullptr, nullptr);
  WriteFileBytes(bak, "older");
  ASSERT_TRUE(std::filesystem::create_directory(tmp));  // the backup cannot step aside
  EXPECT_THROW(Run(true, true), EInOutError);
  EXPECT_EQ(Content(f), "old");
  EXPECT_EQ(Content(bak), "older");
  EXPECT_EQ(Content(part), "<none>");
}

}  // namespace
}  // namespace tarnwick::test
