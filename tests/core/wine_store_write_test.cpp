// Writes to a Wine prefix: user.reg patched on disk and read back by a fresh
// store, the rest of the file kept byte for byte, the update checker's
// registration, and no writes while a wineserver holds the prefix.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "backitem/update_check.h"
#include "common/errors.h"
#include "common/key_path.h"
#include "registry/registry.h"
#include "registry/wine/wine_prefix_store.h"
#include "registry/wine/wine_server_check.h"
#include "temp_dir.h"

namespace tarnwick {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

const std::string kProgramKey = std::string("Software\\Wendlor\\") + kMakerKey + "\\Tarnwick2";

// Sets TMPDIR, where Debian's wine keeps its server directories, for the scope.
class ScopedTmpDir {
 public:
  explicit ScopedTmpDir(const std::string& value) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    setenv("TMPDIR", value.c_str(), 1);
  }
  ~ScopedTmpDir() {
    if (old_) {
      setenv("TMPDIR", old_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

 private:
  std::optional<std::string> old_;
};

// A child process holding the write lock on byte 0 of dir/lock, as a running
// wineserver does. fcntl locks belong to a process: the test's own would not
// show.
class LockHolder {
 public:
  explicit LockHolder(const std::string& dir) {
    int ready[2];
    if (pipe(ready) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      int fd = open((dir + "/lock").c_str(), O_RDWR | O_CREAT, 0600);
      struct flock lock = {};
      lock.l_type = F_WRLCK;
      lock.l_len = 1;
      char ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
      if (write(ready[1], &ok, 1) == 1) pause();
      _exit(0);
    }
    char ok = 'n';
    if (read(ready[0], &ok, 1) != 1 || ok != 'y') ADD_FAILURE() << "the child took no lock";
    close(ready[0]);
    close(ready[1]);
  }
  ~LockHolder() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
};

// A prefix copied from the example files, or hand-written.
class WinePrefixWriteTest : public testing::Test {
 protected:
  void CopyFixture() {
    for (const char* file : {"system.reg", "user.reg", "userdef.reg"}) {
      WriteFileBytes(dir_.File(file),
                     ReadFileBytes(test::TestDataPath(std::string("wine8-fresh-prefix/") + file)));
    }
  }
  void WriteSmallPrefix() {
    WriteFileBytes(dir_.File("system.reg"),
                   "WINE REGISTRY Version 2\n#arch=win64\n\n[Software\\\\Classes] 1\n");
    WriteUserFile("\n[Control Panel\\\\Colors] 1\n\"ActiveTitle\"=\"50 150 250\"\n");
  }
  void WriteUserFile(std::string_view body) {
    WriteFileBytes(dir_.File("user.reg"),
                   "WINE REGISTRY Version 2\n#arch=win64\n" + std::string(body));
  }
  std::string UserFile() const { return ReadFileBytes(dir_.File("user.reg")); }

  // A value as a fresh store reads it from disk.
  std::string FreshString(const std::string& path, const char* name) {
    WinePrefixStore store(dir_.Path());
    TRegistry reg(store);
    if (!reg.OpenKeyReadOnly(path)) return "<missing key>";
    return reg.ValueExists(name) ? reg.ReadString(name) : "<missing value>";
  }

  TempDir dir_;
};

TEST_F(WinePrefixWriteTest, RegistrationAppendsToUserFile) {
  CopyFixture();
  const std::string original = UserFile();
  WinePrefixStore store(dir_.Path());
  TRegistry reg(store);
  RegisterUpdateCheck(reg, "Tarnwick2", "", "/opt/a.exe", 4);
  EXPECT_EQ(UserFile(), original);  // no update checker: nothing written

  ASSERT_TRUE(reg.OpenKey("Software\\Wendlor", true));
  reg.CloseKey();
  RegisterUpdateCheck(reg, "Tarnwick2", "", "Z:\\opt\\tarnwick\\Tarnwick.exe", 4);
  const std::string first = UserFile();
  ASSERT_EQ(first.compare(0, original.size(), original), 0) << "the old text is changed";
  EXPECT_NE(first.find("\n\"DistinctName\"=\"Tarnwick2\"\n\"FilePath\"="
                       "\"Z:\\\\opt\\\\tarnwick\\\\Tarnwick.exe\"\n\"Build\"=dword:00000004\n"),
            std::string::npos)
      << first.substr(original.size());

  // The same store reads its writes; a fresh one reads them from disk.
  EXPECT_TRUE(reg.KeyExists(kProgramKey));
  EXPECT_EQ(FreshString(std::string("Software\\Wendlor\\") + kMakerKey, "InfoURL"), kMakerInfoUrl);
  EXPECT_EQ(FreshString(kProgramKey, "FilePath"), "Z:\\opt\\tarnwick\\Tarnwick.exe");
  EXPECT_EQ(FreshString("Control Panel\\Colors", "ActiveTitle"), "50 150 250");  // others stay

  // A later run changes FilePath and Build in place.
  RegisterUpdateCheck(reg, "Tarnwick2", "", "Z:\\b.exe", 5);
  std::string expected = first;
  const std::string oldPath = "\"Z:\\\\opt\\\\tarnwick\\\\Tarnwick.exe\"";
  expected.replace(expected.rfind(oldPath), oldPath.size(), "\"Z:\\\\b.exe\"");
  expected.replace(expected.rfind("dword:00000004"), 14, "dword:00000005");
  EXPECT_EQ(UserFile(), expected);
  reg.OpenKeyReadOnly(kProgramKey);
  EXPECT_EQ(reg.ReadInteger("Build"), 5u);
}

TEST_F(WinePrefixWriteTest, EditsInPlaceAndEscapesNames) {
  WriteUserFile(
      "\n[Software\\\\A] 1\n\"Mixed\"=hex:01,\\\n  02\n\"z\"=\"1\"\n\n[Software\\\\B] 1\n");
  WinePrefixStore store(dir_.Path());
  TRegistry reg(store);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\a", false));
  reg.WriteString("MIXED", "s");  // keeps the spelling it has
  reg.WriteString("new", "n");
  const std::string edited =
      "WINE REGISTRY Version 2\n#arch=win64\n\n[Software\\\\A] 1\n\"Mixed\"=\"s\"\n"
      "\"z\"=\"1\"\n\"new\"=\"n\"\n\n[Software\\\\B] 1\n";
  EXPECT_EQ(UserFile(), edited);

  ASSERT_TRUE(reg.OpenKey("Software\\ソフト\\[x]", true));
  reg.WriteString("名前 \"é9\"", "値\t");
  const std::string added = UserFile().substr(edited.size());
  EXPECT_EQ(added.rfind("\n[Software\\\\\\x30bd\\x30d5\\x30c8\\\\\\[x\\]] ", 0), 0u) << added;
  EXPECT_NE(added.find("\n\"\\x540d\\x524d \\\"\\x00e99\\\"\"=\"\\x5024\\t\"\n"), std::string::npos)
      << added;
  EXPECT_EQ(FreshString("software\\ソフト\\[X]", "名前 \"é9\""), "値\t");
}

TEST_F(WinePrefixWriteTest, OnlyTheUserBranchTakesWrites) {
  WriteSmallPrefix();
  WinePrefixStore store(dir_.Path());
  TRegistry reg(store);
  reg.SetRootKey(kHKeyLocalMachine);
  EXPECT_FALSE(reg.OpenKey("Software", false));
  EXPECT_FALSE(reg.OpenKey("Software\\New", true));
  EXPECT_THROW(reg.WriteString("v", "x"), ERegistryException);
  reg.SetRootKey(kHKeyUsers);
  EXPECT_FALSE(reg.OpenKey(".Default\\Software\\New", true));
  ASSERT_TRUE(reg.OpenKey("S-1-5-21-0-0-0-1000\\Software\\New", true));
  reg.WriteString("v", "x");
  EXPECT_EQ(FreshString("Software\\New", "v"), "x");

  // Writes do not follow links.
  WriteUserFile(
      "\n[Software\\\\L] 1\n#link\n\"SymbolicLinkValue\"=hex(6):5c,00\n\n[Software\\\\T] 1\n");
  reg.SetRootKey(kHKeyCurrentUser);
  EXPECT_FALSE(reg.OpenKey("Software\\L", false));
  EXPECT_FALSE(reg.OpenKey("Software\\L\\Sub", true));
  ASSERT_TRUE(reg.OpenKey("Software\\T", false));
}

TEST_F(WinePrefixWriteTest, MissingUserFileIsCreated) {
  WriteFileBytes(dir_.File("system.reg"), "WINE REGISTRY Version 2\n#arch=win32\n");
  WinePrefixStore store(dir_.Path());
  TRegistry reg(store);
  ASSERT_TRUE(reg.OpenKey("Software", true));
  reg.WriteInteger("n", 1);
  std::string text = UserFile();
  ASSERT_EQ(
      text.rfind("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000"
                 "\n\n#arch=win32\n\n[Software] ",
                 0),
      0u)
      << text;
  EXPECT_NE(text.find("\n\"n\"=dword:00000001\n"), std::string::npos);
}

TEST_F(WinePrefixWriteTest, RefusesWhatWouldChangeOtherValues) {
  // A list that continues past the end of the file: a line added after it
  // would become part of it.
  // The store refuses such a file when it loads it; here it changes after.
  WriteUserFile("\n[Software\\\\A] 1\n");
  WinePrefixStore store(dir_.Path());
  const std::string body = "\n[Software\\\\A] 1\n\"h\"=hex:01,\\";
  WriteUserFile(body);
  const std::string before = UserFile();
  TRegistry reg(store);
  ASSERT_TRUE(reg.OpenKey("Software\\A", false));
  EXPECT_THROW(reg.WriteString("v", "x"), ERegistryException);
  EXPECT_FALSE(reg.OpenKey("Software\\B", true));
  EXPECT_EQ(UserFile(), before);

  WriteFileBytes(dir_.File("user.reg"), "not a registry file\n");
  EXPECT_FALSE(reg.OpenKey("Software", true));
  EXPECT_EQ(UserFile(), "not a registry file\n");
}

TEST_F(WinePrefixWriteTest, NoWritesWhileAServerRuns) {
  WriteSmallPrefix();
  TempDir tmp;
  ScopedTmpDir env(tmp.Path());
  WriteFileBytes(dir_.File("wineserver"), "wine-test01");
  std::vector<std::string> dirs = WineServerDirs(dir_.Path());
  ASSERT_EQ(dirs.size(), 2u);
  ASSERT_EQ(dirs[1].rfind(tmp.Path() + "/wine-test01/server-", 0), 0u) << dirs[1];

  WinePrefixStore store(dir_.Path());
  TRegistry reg(store);
  ASSERT_TRUE(reg.OpenKey("Software\\Wendlor", true));
  const std::string before = UserFile();
  std::filesystem::create_directories(dirs[1]);
  {
    LockHolder server(dirs[1]);
    EXPECT_TRUE(WineServerRunning(dir_.Path()));
    EXPECT_THROW(reg.WriteString("v", "x"), ERegistryException);
    EXPECT_FALSE(reg.OpenKey("Software\\Wendlor\\Sub", true));
    EXPECT_EQ(UserFile(), before);
  }
  EXPECT_FALSE(WineServerRunning(dir_.Path()));  // the lock goes with the process
  ASSERT_TRUE(reg.OpenKey("Software\\Wendlor", false));
  reg.WriteString("v", "x");
}

TEST(WineServerCheckTest, DirectoriesAndLocks) {
  TempDir prefix;
  struct stat st;
  ASSERT_EQ(stat(prefix.Path().c_str(), &st), 0);
  char leaf[64];
  std::snprintf(leaf, sizeof leaf, "/server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  const std::string upstream = "/tmp/.wine-" + std::to_string(getuid()) + leaf;
  EXPECT_EQ(WineServerDirs(prefix.Path()), std::vector<std::string>{upstream});
  WriteFileBytes(prefix.File("wineserver"), "wine-AbC123");
  {
    ScopedTmpDir env("");
    EXPECT_EQ(WineServerDirs(prefix.Path()),
              (std::vector<std::string>{upstream, std::string("/tmp/wine-AbC123") + leaf}));
  }
  // What cannot be checked counts as a running server.
  EXPECT_TRUE(WineServerRunning(prefix.File("missing")));
  WriteFileBytes(prefix.File("wineserver"), "../x");
  EXPECT_TRUE(WineServerRunning(prefix.Path()));

  // A lock file left behind by a server that ended is no server.
  const std::string server = prefix.File("server-1-2");
  std::filesystem::create_directories(server);
  WriteFileBytes(server + "/lock", "");
  EXPECT_FALSE(WineServerLockHeld(server));
  LockHolder holder(server);
  EXPECT_TRUE(WineServerLockHeld(server));
}

}  // namespace
}  // namespace tarnwick
