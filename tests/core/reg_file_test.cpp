// The REG output file: encodings, the size cap, I/O errors and the backup
// protocol that keeps one earlier copy and restores it when nothing is written.
#include "regwrite/reg_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

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

TEST(RegFileTest, MissingFolderIsAWrongFileName) {
  TempDir dir;
  RegOutputFile file;
  file.SetCreateBackup(true);
  std::string path = dir.File("no/such/folder/x.reg");
  file.BackupRegFile(path);  // finds nothing to rename
  try {
    file.OpenRegFile(path);
    FAIL() << "opened";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Code(), 3);
    EXPECT_STREQ(e.what(), "ファイル名の指定が間違っています");
  }
}

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

TEST(RegFileTest, ErrnoMapping) {
  EXPECT_EQ(MakeInOutError(ENOENT).Code(), 3);
  EXPECT_EQ(MakeInOutError(EMFILE).Code(), 4);
  EXPECT_STREQ(MakeInOutError(ENFILE).what(), "オープンしたファイルが多すぎます");
  EXPECT_EQ(MakeInOutError(EACCES).Code(), 5);
  EXPECT_EQ(MakeInOutError(EPERM).Code(), 5);
  EXPECT_STREQ(MakeInOutError(EROFS).what(), "ファイルへのアクセスが拒否されました");
  EXPECT_EQ(MakeInOutError(EDQUOT).Code(), 101);
  EXPECT_STREQ(MakeInOutError(EIO).what(), ("I/O エラー (" + std::to_string(EIO) + ")").c_str());
}

// The backup protocol, with F, F.bak and F.bak.tmp seeded as the case needs.
class RegFileBackupTest : public testing::Test {
 protected:
  TempDir dir;
  std::string f = dir.File("all.reg");
  std::string bak = f + ".bak";
  std::string tmp = f + ".bak.tmp";

  void Seed(const char* oldF, const char* oldBak, const char* leftOver) {
    if (oldF) WriteFileBytes(f, oldF);
    if (oldBak) WriteFileBytes(bak, oldBak);
    if (leftOver) WriteFileBytes(tmp, leftOver);
  }

  // One run into f; writes a key when written is true.
  void Run(bool backup, bool written) {
    RegOutputFile file;
    file.SetRegVersion(4);
    file.SetCreateBackup(backup);
    file.BackupRegFile(f);
    file.OpenRegFile(f);
    file.SetRegFileWritten(false);
    file.RegWriteHeader();
    if (written) {
      file.WriteRegLine(u"[HKEY_CURRENT_USER\\New]");
      file.SetRegFileWritten(true);
    }
    file.CloseRegFile();
    file.FinishRegFile(f);
  }

  std::string Content(const std::string& path) {
    return FileExists(path) ? ReadFileBytes(path) : "<none>";
  }

  static constexpr const char* kNew = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\New]\r\n";
};

TEST_F(RegFileBackupTest, WrittenWithBackupKeepsTheEarlierFile) {
  Seed("old", "older", nullptr);
  Run(true, true);
  EXPECT_EQ(Content(f), kNew);
  EXPECT_EQ(Content(bak), "old");
  EXPECT_EQ(Content(tmp), "<none>");
}

TEST_F(RegFileBackupTest, TwoRunsKeepExactlyOneBackup) {
  Seed("old", nullptr, nullptr);
  Run(true, true);
  Run(true, true);
  EXPECT_EQ(Content(f), kNew);
  EXPECT_EQ(Content(bak), kNew);
  EXPECT_EQ(Content(tmp), "<none>");
}

TEST_F(RegFileBackupTest, NothingWrittenWithBackupChangesNothing) {
  Seed("old", "older", nullptr);
  Run(true, false);
  EXPECT_EQ(Content(f), "old");
  EXPECT_EQ(Content(bak), "older");
  EXPECT_EQ(Content(tmp), "<none>");
}

TEST_F(RegFileBackupTest, NothingWrittenWithBackupAndNoEarlierFiles) {
  Run(true, false);
  EXPECT_EQ(Content(f), "<none>");
  EXPECT_EQ(Content(bak), "<none>");
}

TEST_F(RegFileBackupTest, WrittenWithoutBackupOverwrites) {
  Seed("old", "older", nullptr);
  Run(false, true);
  EXPECT_EQ(Content(f), kNew);
  EXPECT_EQ(Content(bak), "older");
}

TEST_F(RegFileBackupTest, NothingWrittenWithoutBackupDeletesTheFile) {
  Seed("old", nullptr, nullptr);
  Run(false, false);
  EXPECT_EQ(Content(f), "<none>");
}

TEST_F(RegFileBackupTest, LeftOverRotationFileCostsTheEarlierBackup) {
  // The rotation file blocks the first rename, so the earlier backup is deleted.
  Seed("old", "older", "leftover");
  Run(true, true);
  EXPECT_EQ(Content(f), kNew);
  EXPECT_EQ(Content(bak), "old");
  EXPECT_EQ(Content(tmp), "<none>");
}

TEST_F(RegFileBackupTest, LeftOverRotationFileComesBackAsBackupWhenNothingIsWritten) {
  Seed("old", "older", "leftover");
  Run(true, false);
  EXPECT_EQ(Content(f), "old");
  EXPECT_EQ(Content(bak), "leftover");
  EXPECT_EQ(Content(tmp), "<none>");
}

TEST_F(RegFileBackupTest, FailedOpenLeavesTheFilesMovedAside) {
  Seed("old", "older", nullptr);
  RegOutputFile file;
  file.SetCreateBackup(true);
  file.BackupRegFile(f);
  EXPECT_EQ(Content(f), "<none>");
  EXPECT_EQ(Content(bak), "old");
  EXPECT_EQ(Content(tmp), "older");
}

}  // namespace
}  // namespace tarnwick::test
