// The Win32 side of the platform layer on a real file system and session:
// the path services with drives and UNC names, Japanese file names, and the
// one-copy mutex, also as the running program meets it.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/path_utils.h"
#include "platform/files.h"
#include "platform/single_instance.h"
#include "platform/win32/wide_text.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

TEST(Win32PathTest, DriveRelativeRootRelativeAndUncNames) {
  const std::string base = "C:\\Prog\\";
  EXPECT_EQ(ResolveFileName("C:data.dat", "", base), "C:\\Prog\\data.dat");
  EXPECT_EQ(ResolveFileName("c:data", ".dat", base), "C:\\Prog\\data.dat");
  EXPECT_EQ(ResolveFileName("\\x\\data.dat", "", base), "C:\\x\\data.dat");
  EXPECT_EQ(ResolveFileName("sub\\..\\data", ".dat", base), "C:\\Prog\\data.dat");
  EXPECT_EQ(ResolveFileName("\\\\srv\\share\\x.dat", "", base), "\\\\srv\\share\\x.dat");
  EXPECT_EQ(ResolveFileName("", ".dat", base), base);
  // Another drive: its own current folder, its root while none was chosen.
  EXPECT_EQ(ResolveFileName("Y:x.dat", "", base), "Y:\\x.dat");
}

TEST(Win32PathTest, LongNamesTakeTheStoredCaseOfWhatExists) {
  TempDir dir;
  std::string folder = dir.File("Daten Ordner");
  ASSERT_TRUE(CreateDirectoryW(platform::Widen(folder).c_str(), nullptr));
  WriteFileBytes(folder + "\\設定.INI", "x");
  std::string asked = dir.Path() + "\\daten ordner\\設定.ini";
  EXPECT_EQ(GetLongFileName(asked), folder + "\\設定.INI");
  EXPECT_EQ(GetLongFileName(dir.Path() + "\\DATEN ORDNER\\none\\x.dat"), folder + "\\none\\x.dat");
  EXPECT_EQ(GetLongFileName("C:\\"), "C:");
}

TEST(Win32FilesTest, JapaneseNamesAndTheReplaceRules) {
  TempDir dir;
  std::string a = dir.File("バックアップ.reg"), b = dir.File("予備.reg");
  WriteFileBytes(a, "new");
  WriteFileBytes(b, "old");
  EXPECT_EQ(platform::RenameNoReplace(a, b), EEXIST);
  ASSERT_EQ(platform::MakeHardLink(b, dir.File("リンク.reg")), 0);
  EXPECT_TRUE(platform::SameFile(b, dir.File("リンク.reg")));
  ASSERT_EQ(platform::RenameReplacing(a, b), 0);
  EXPECT_EQ(ReadFileBytes(b), "new");
  EXPECT_EQ(ReadFileBytes(dir.File("リンク.reg")), "old");  // the second name keeps the old file
  EXPECT_EQ(platform::StatusOf(dir.Path()).kind, platform::FileKind::Folder);
  EXPECT_EQ(platform::StatusOf("NUL").kind, platform::FileKind::Other);
  EXPECT_EQ(platform::RemoveFile(dir.Path()), EISDIR);
  EXPECT_EQ(platform::FolderEntries(dir.Path()).size(), 2u);
  // std::filesystem, as the program uses it, reaches the same names.
  std::string nested = dir.File("設定\\ツール");
  ASSERT_TRUE(std::filesystem::create_directories(platform::FsPath(nested)));
  EXPECT_EQ(platform::StatusOf(nested).kind, platform::FileKind::Folder);
}

TEST(Win32LockTest, TheNamedMutexRefusesASecondHolderUntilTheFirstEnds) {
  auto first = std::make_unique<platform::SingleInstanceLock>();
  ASSERT_TRUE(first->Acquire("TarnwickTestLock"));
  platform::SingleInstanceLock second;
  EXPECT_FALSE(second.Acquire("TarnwickTestLock"));
  first.reset();
  EXPECT_TRUE(second.Acquire("TarnwickTestLock"));
}

TEST(Win32LockTest, TheProgramRefusesToRunBesideAnotherCopy) {
  platform::SingleInstanceLock running;
  ASSERT_TRUE(running.Acquire(platform::DefaultLockPath("Tarnwick")));
  std::wstring command = L"\"" TARNWICK_PROGRAM L"\" -w";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  WaitForSingleObject(process.hProcess, 60000);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(status, 6u);  // already running
}

}  // namespace
}  // namespace tarnwick::test
