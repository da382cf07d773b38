// The registry of a Windows installation folder: which hive backs which
// root, the links Windows makes at boot and logon, the choice of HKCU, HKCR's
// merge, names in any case, and damaged files.
#include "registry/hive/hive_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/key_path.h"
#include "common/text_codec.h"
#include "hive_builder.h"
#include "store_probes.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

using Names = std::vector<std::string>;

constexpr const char* kTaro = "S-1-5-21-100-200-300-1001";
constexpr const char* kHanako = "S-1-5-21-100-200-300-1002";

HiveValueData Str(std::string name, std::u16string_view text) {
  return {std::move(name), kRegSz, Sz(text)};
}

std::string ErrorOf(const std::string& folder, const std::string& user = "") {
  try {
    HiveStore store(folder, user);
  } catch (const ERegistrySourceError& e) {
    return e.what();
  }
  return "<no error>";
}

class HiveStoreTest : public testing::Test {
 protected:
  TempDir dir;
  TestInstallation windows{dir.Path()};
};

// An installation with everything each root needs.
class HiveRoots : public HiveStoreTest {
 protected:
  void SetUp() override {
    windows.Software().Values("Classes\\.txt", {Str("", u"txtfile")});
    windows.Hive("Windows/System32/config/SAM").Key("SAM\\Domains");
    HiveBuilder& system = windows.System();
    system.Values("Select", {{"Current", kRegDword, Dword(2)}});
    system.Values("ControlSet001\\Control", {Str("Set", u"one")});
    system.Values("ControlSet002\\Control", {Str("Set", u"two")});
    system.Values("ControlSet002\\Control\\IDConfigDB", {{"CurrentConfig", kRegDword, Dword(2)}});
    system.Values("ControlSet002\\Hardware Profiles\\0001\\Software\\Fonts", {Str("Size", u"1")});
    system.Values("ControlSet002\\Hardware Profiles\\0002\\Software\\Fonts", {Str("Size", u"2")});
    windows.Hive("Windows/System32/config/DEFAULT")
        .Values("Control Panel", {Str("Who", u"system")});
    windows.User(kTaro, "taro").Values("Software\\Foo", {Str("Who", u"taro")});
    windows.UserClasses("taro").Key(".taro");
  }
};

TEST_F(HiveRoots, EachRootReadsItsHive) {
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, ""), (Names{"SAM", "SOFTWARE", "SYSTEM"}));
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, "SAM"), Names{"SAM"});
  EXPECT_EQ(Text(store, kHKeyLocalMachine, "SOFTWARE\\Classes\\.txt", ""), "txtfile");
  EXPECT_EQ(SubKeys(store, kHKeyUsers, ""),
            (Names{".DEFAULT", kTaro, std::string(kTaro) + "_Classes"}));
  EXPECT_EQ(Text(store, kHKeyUsers, ".DEFAULT\\Control Panel", "Who"), "system");
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software\\Foo", "Who"), "taro");
  EXPECT_EQ(Text(store, kHKeyUsers, std::string(kTaro) + "\\Software\\Foo", "Who"), "taro");
  EXPECT_EQ(SubKeys(store, kHKeyUsers, std::string(kTaro) + "_Classes"), Names{".taro"});
  // Software\Classes of a user is the user's UsrClass.dat.
  EXPECT_TRUE(store.KeyExists(kHKeyCurrentUser, "Software\\Classes\\.taro"));
}

TEST_F(HiveRoots, CurrentControlSetAndCurrentConfigFollowTheNumbersStored) {
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_EQ(Text(store, kHKeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control", "Set"), "two");
  // Listed after the stored keys, as Windows lists the keys it makes at boot.
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, "SYSTEM"),
            (Names{"ControlSet001", "ControlSet002", "Select", "CurrentControlSet"}));
  EXPECT_EQ(Text(store, kHKeyCurrentConfig, "Software\\Fonts", "Size"), "2");
  EXPECT_EQ(Text(store, kHKeyLocalMachine,
                 "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts", "Size"),
            "2");
}

TEST_F(HiveRoots, CurrentConfigIsProfile0001WithoutANumber) {
  windows.System().Values("ControlSet002\\Control\\IDConfigDB", {});
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_EQ(Text(store, kHKeyCurrentConfig, "Software\\Fonts", "Size"), "1");
}

// Windows' merge, simplified: either side makes a key exist, the user's key
// alone gives the values, subkeys are the sorted union.
TEST_F(HiveRoots, ClassesRootIsTheUsersClassesOverTheMachines) {
  windows.Software().Values("Classes\\Shared", {Str("from", u"machine"), Str("m", u"1")});
  windows.Software().Key("Classes\\Shared\\M").Key("Classes\\Shared\\Both").Key("Classes\\Zz");
  windows.UserClasses("taro").Values("Shared", {Str("from", u"user")});
  windows.UserClasses("taro").Key("Shared\\both").Key("Shared\\U").Key("Shared\\U\\Deep");
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_EQ(SubKeys(store, kHKeyClassesRoot, ""), (Names{".taro", ".txt", "Shared", "Zz"}));
  EXPECT_EQ(Values(store, kHKeyClassesRoot, "Shared"), Names{"from"});
  EXPECT_EQ(Text(store, kHKeyClassesRoot, "shared", "from"), "user");
  EXPECT_EQ(SubKeys(store, kHKeyClassesRoot, "Shared"), (Names{"both", "M", "U"}));
  EXPECT_EQ(Text(store, kHKeyClassesRoot, ".txt", ""), "txtfile");
  EXPECT_TRUE(store.KeyExists(kHKeyClassesRoot, "Shared\\M"));
  EXPECT_TRUE(store.KeyExists(kHKeyClassesRoot, "Shared\\U\\Deep"));
  EXPECT_FALSE(store.KeyExists(kHKeyClassesRoot, "Shared\\Nope"));
  // HKLM's own view is not merged.
  EXPECT_EQ(Text(store, kHKeyLocalMachine, "SOFTWARE\\Classes\\Shared", "from"), "machine");
}

TEST_F(HiveStoreTest, WithoutUserClassesTheMachinesClassesAreAll) {
  windows.Software().Values("Classes\\.txt", {Str("", u"txtfile")});
  windows.User(kTaro, "taro");
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_EQ(SubKeys(store, kHKeyClassesRoot, ""), Names{".txt"});
  EXPECT_EQ(SubKeys(store, kHKeyUsers, ""), Names{kTaro});
}

struct UserCase {
  const char* label;
  const char* user;
  std::string expected;  // HKCU's Who value, or the error
};

TEST_F(HiveStoreTest, CurrentUserIsTheProfileAskedForOrTheOnlyOne) {
  windows.User(kTaro, "taro").Values("Software", {Str("Who", u"taro")});
  windows.User(kHanako, "Hanako").Values("Software", {Str("Who", u"hanako")});
  windows.User("S-1-5-21-100-200-300-1003", "ghost");  // NTUSER.DAT gone below
  windows.User("S-1-5-18", "Windows/System32/config/systemprofile",
               "%systemroot%\\system32\\config\\systemprofile");
  windows.Write();
  std::filesystem::remove(dir.File("Users/ghost/NTUSER.DAT"));
  const std::string folder = dir.Path();
  const UserCase cases[] = {
      {"folder name in any case", "HANAKO", "hanako"},
      {"SID", kTaro, "taro"},
      {"system profile", "systemprofile", "<missing>"},
      {"none", "",
       "ユーザー プロファイルが複数あります。-u でどのプロファイルを読むか指定してください: "
       "taro, Hanako (" +
           folder + ")"},
      {"unknown", "jiro",
       "ユーザー プロファイル 'jiro' が見つかりません: " + folder +
           " (プロファイル: taro, Hanako)"},
      {"without NTUSER.DAT", "ghost",
       "ユーザー プロファイル 'ghost' が見つかりません: " + folder +
           " (プロファイル: taro, Hanako)"},
  };
  for (const UserCase& c : cases) {
    SCOPED_TRACE(c.label);
    try {
      HiveStore store(folder, c.user);
      EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software", "Who"), c.expected);
    } catch (const ERegistrySourceError& e) {
      EXPECT_EQ(e.what(), c.expected);
    }
  }
}

std::vector<StoreProblem> CurrentUserProblems(HiveStore& store) {
  EXPECT_EQ(store.OpenKey(kHKeyCurrentUser, "Software", kKeyRead), nullptr);
  return store.TakeProblems();
}

TEST_F(HiveStoreTest, WithoutAPersonsProfileHkcuKeysAreReportedMissing) {
  windows.User("S-1-5-18", "Windows/System32/config/systemprofile",
               "%SystemRoot%\\System32\\config\\systemprofile");
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_EQ(CurrentUserProblems(store),
            (std::vector<StoreProblem>{{"HKEY_CURRENT_USER\\Software", std::nullopt,
                                        "ユーザー プロファイルがありません"}}));
  EXPECT_TRUE(store.TakeProblems().empty());
}

struct ProfileCase {
  const char* label;
  const char* systemRoot;  // SOFTWARE's SystemRoot; none when null
  const char* imagePath;
  bool linkedOutside;  // the profile folder is a symbolic link to a folder elsewhere
  std::string why;     // empty: the profile is read
};

TEST_F(HiveStoreTest, AProfileOutsideTheInstallationLeavesOutOnlyItsKeys) {
  const ProfileCase cases[] = {
      {"another drive", nullptr, "D:\\Users\\taro", false,
       "インストール フォルダーの中にありません"},
      {"Windows' own drive", "E:\\Windows", "e:\\Users\\taro", false, ""},
      {"not Windows' drive", "E:\\Windows", "C:\\Users\\taro", false,
       "インストール フォルダーの中にありません"},
      {"a link leading out", nullptr, "C:\\Users\\taro", true,
       "インストール フォルダーの外を指すシンボリック リンクです"},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir root, outside;
    TestInstallation installation{root.Path()};
    if (c.systemRoot) {
      installation.Software().Values("Microsoft\\Windows NT\\CurrentVersion",
                                     {Str("SystemRoot", Utf8ToUtf16(c.systemRoot))});
    }
    installation.User(kTaro, c.linkedOutside ? outside.File("taro") : "taro", c.imagePath)
        .Values("Software", {Str("Who", u"taro")});
    installation.Write();
    if (c.linkedOutside) {
      std::filesystem::create_directories(root.File("Users"));
      std::filesystem::create_directory_symlink(outside.File("taro"), root.File("Users/taro"));
    }
    HiveStore store(root.Path(), "");
    if (c.why.empty()) {
      EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software", "Who"), "taro");
      continue;
    }
    const std::string reason =
        "ユーザー プロファイル " + std::string(c.imagePath) + " を読めません (" + c.why + ")";
    EXPECT_EQ(CurrentUserProblems(store),
              (std::vector<StoreProblem>{{"HKEY_CURRENT_USER\\Software", std::nullopt, reason}}));
    EXPECT_EQ(store.OpenKey(kHKeyUsers, std::string(kTaro) + "\\Software", kKeyRead), nullptr);
    EXPECT_EQ(store.TakeProblems(),
              (std::vector<StoreProblem>{
                  {"HKEY_USERS\\" + std::string(kTaro) + "\\Software", std::nullopt, reason}}));
  }
}

// Only a hive whose header says a write was cut off is noted, with the logs
// that hold the rest; a clean hive's logs hold nothing Windows would apply.
TEST_F(HiveStoreTest, AHiveWhoseLastWriteWasCutOffIsNoted) {
  windows.User(kTaro, "taro");
  windows.Write();
  const std::string config = dir.File("Windows/System32/config/");
  const std::string software = config + "SOFTWARE";
  const std::string clean = ReadFileBytes(software);
  const struct {
    bool cutOff;
    std::vector<std::string> logs;  // written beside SOFTWARE; an empty .LOG1 is always there
    std::string noted;              // after the path; none when the hive is clean
  } cases[] = {
      {false, {}, ""},
      {false, {"SOFTWARE.LOG1"}, ""},
      {true, {}, "-"},
      {true,
       {"SOFTWARE.LOG1", "software.log2"},
       " (残りはログ ファイルにあります: " + config + "SOFTWARE.LOG1, " + config +
           "software.log2)"},
      {true, {"SOFTWARE.LOG"}, " (残りはログ ファイルにあります: " + config + "SOFTWARE.LOG)"},
  };
  for (const auto& c : cases) {
    WriteFileBytes(software, clean);
    if (c.cutOff) CutOffLastWrite(software);
    WriteFileBytes(config + "SOFTWARE.LOG1", "");
    for (const std::string& log : c.logs) WriteFileBytes(config + log, "x");
    std::vector<std::string> expected;
    if (c.cutOff) {
      expected.push_back("ハイブ ファイルへの最後の書き込みが途中で終わっています: " + software +
                         (c.noted == "-" ? "" : c.noted) +
                         " (このまま読むので、最後の変更が入っていないかもしれません)");
    }
    EXPECT_EQ(HiveStore(dir.Path(), "").SourceNotes(), expected);
    for (const std::string& log : c.logs) std::filesystem::remove(config + log);
    std::filesystem::remove(config + "SOFTWARE.LOG1");
  }
}

TEST_F(HiveStoreTest, FilesAndFoldersAreFoundInAnyCase) {
  windows.Hive("WINDOWS/system32/Config/software")
      .Values("Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + std::string(kTaro),
              {{"ProfileImagePath", kRegExpandSz, Sz(u"C:\\Users\\Taro")}});
  windows.Hive("WINDOWS/system32/Config/system").Key("Select");
  windows.Hive("users/TARO/ntuser.dat").Values("Software\\Foo", {Str("Who", u"taro")});
  windows.Hive("users/TARO/appdata/local/microsoft/windows/usrclass.DAT").Key(".taro");
  windows.Write();
  for (const std::string& source : {dir.Path(), dir.File("WINDOWS")}) {
    SCOPED_TRACE(source);
    HiveStore store(source, "taro");
    EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software\\Foo", "Who"), "taro");
    EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, ""), (Names{"SOFTWARE", "SYSTEM"}));
    EXPECT_TRUE(store.KeyExists(kHKeyClassesRoot, ".TARO"));
  }
}

TEST_F(HiveStoreTest, KeyAndValueNamesMatchInAnyCaseAsWindowsFolds) {
  windows.User(kTaro, "taro").Values("Software\\Äpfel\\ΣΟΦΙΑ", {Str("Größe", u"x")});
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "SOFTWARE\\äPFEL\\σοφια", "GRÖSSE"), "<missing>");
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "SOFTWARE\\äPFEL\\σοφια", "GRÖßE"), "x");
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "\\software\\ÄPFEL\\ΣΟΦΙΑ\\", "größe"), "x");
  for (const char* path : {"Software\\Nope", "Software\\\\Äpfel", "Software\\Äpfel\\x"}) {
    EXPECT_EQ(store.OpenKey(kHKeyCurrentUser, path, kKeyRead), nullptr) << path;
  }
  EXPECT_EQ(store.OpenKey(0x80000004, "", kKeyRead), nullptr);  // HKEY_PERFORMANCE_DATA
}

TEST_F(HiveStoreTest, SubkeysAndValuesComeInTheFilesOrder) {
  windows.User(kTaro, "taro")
      .Values("Software\\Order", {Str("b", u""), Str("A", u""), Str("", u""), Str("c", u"")})
      .Key("Software\\Order\\b")
      .Key("Software\\Order\\_x")
      .Key("Software\\Order\\A");
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_EQ(Values(store, kHKeyCurrentUser, "Software\\Order"), (Names{"b", "A", "", "c"}));
  EXPECT_EQ(SubKeys(store, kHKeyCurrentUser, "Software\\Order"), (Names{"A", "b", "_x"}));
}

struct Damage {
  const char* label;
  const char* file;
  std::size_t keepBytes;  // the file is cut to this size; 0: its bytes are scrambled
};

TEST_F(HiveStoreTest, ADamagedMachineHiveIsAnErrorNamingTheFile) {
  windows.User(kTaro, "taro");
  windows.Hive("Windows/System32/config/DEFAULT").Key("Control Panel");
  for (int i = 0; i < 200; ++i) {
    windows.Software().Values("Filler\\Key" + std::to_string(i),
                              {Str("v", std::u16string(40, u'x'))});
  }
  windows.Write();
  const Damage cases[] = {
      {"cut inside a bin", "Windows/System32/config/SOFTWARE", 0x1800},
      {"cut at a bin's end", "Windows/System32/config/SOFTWARE", 0x3000},
      {"header only", "Windows/System32/config/DEFAULT", 0x1000},
      {"scrambled", "Windows/System32/config/DEFAULT", 0},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir copy;
    std::filesystem::copy(dir.Path(), copy.Path(), std::filesystem::copy_options::recursive);
    const std::string file = copy.File(c.file);
    std::string bytes = ReadFileBytes(file);
    if (c.keepBytes) {
      bytes.resize(c.keepBytes);
    } else {
      for (std::size_t i = 0x20; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(i);
    }
    WriteFileBytes(file, bytes);
    EXPECT_EQ(ErrorOf(copy.Path()), "Windows のレジストリ ハイブを読み込めません: " + file +
                                        " (ハイブが壊れているか、ハイブ ファイルではありません)");
  }
}

TEST_F(HiveStoreTest, AFolderWithoutWindowsIsNoInstallation) {
  EXPECT_EQ(ErrorOf(dir.Path()), "Windows のインストール フォルダーではありません: " + dir.Path());
}

TEST_F(HiveStoreTest, IsReadOnlyAndNamesEveryHiveItReads) {
  windows.User(kTaro, "taro");
  windows.UserClasses("taro");
  windows.System().Key("Select");
  windows.Write();
  HiveStore store(dir.Path(), "");
  EXPECT_TRUE(store.ReadOnly());
  EXPECT_EQ(store.OpenKeyForWrite(kHKeyCurrentUser, "Software", false), nullptr);
  EXPECT_EQ(store.OpenKeyForWrite(kHKeyCurrentUser, "Software\\New", true), nullptr);
  auto key = store.OpenKey(kHKeyCurrentUser, "Software", kKeyRead);
  ASSERT_NE(key, nullptr);
  EXPECT_FALSE(key->SetValue("v", kRegSz, Sz(u"x")));
  Names files = store.SourceFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files,
            (Names{dir.File("Users/taro/AppData/Local/Microsoft/Windows/UsrClass.dat"),
                   dir.File("Users/taro/NTUSER.DAT"), dir.File("Windows/System32/config/SOFTWARE"),
                   dir.File("Windows/System32/config/SYSTEM")}));
}

TEST_F(HiveStoreTest, RefreshReadsAHiveRewrittenOnDisk) {
  windows.User(kTaro, "taro").Values("Software", {Str("Who", u"before")});
  windows.Write();
  HiveStore store(dir.Path(), "");
  auto before = store.OpenKey(kHKeyCurrentUser, "Software", kKeyRead);
  HiveBuilder changed;
  changed.Values("Software", {Str("Who", u"after")});
  changed.Commit(dir.File("Users/taro/NTUSER.new"));
  std::filesystem::rename(dir.File("Users/taro/NTUSER.new"), dir.File("Users/taro/NTUSER.DAT"));
  store.Refresh();
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software", "Who"), "after");
  Names names;
  EXPECT_TRUE(before->ValueNames(names));  // a key opened before still reads its own file
  EXPECT_EQ(names, Names{"Who"});
}

}  // namespace
}  // namespace tarnwick::test
