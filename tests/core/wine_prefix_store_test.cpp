#include "registry/wine/wine_prefix_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/errors.h"
#include "common/key_path.h"
#include "common/text_codec.h"
#include "store_probes.h"
#include "temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;
using test::SubKeys;
using test::TempDir;
using test::Text;
using test::Values;
using test::WriteFileBytes;

constexpr const char* kHeader = "WINE REGISTRY Version 2\n#arch=win64\n";

// A prefix folder written by the test.
class Prefix {
 public:
  void Write(const char* file, std::string_view body) const {
    WriteFileBytes(dir_.File(file), kHeader + std::string(body));
  }
  const std::string& Path() const { return dir_.Path(); }
  std::string File(const char* name) const { return dir_.File(name); }

 private:
  TempDir dir_;
};

// Link data as wineserver writes it: hex(6), UTF-16LE without a NUL.
std::string LinkTo(std::u16string_view target) {
  std::string line = "#link\n\"SymbolicLinkValue\"=hex(6):";
  std::string bytes = Utf16ToLeBytes(target);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    line += (i ? "," : "") + IntToLowerHex(static_cast<unsigned char>(bytes[i]), 2);
  }
  return line + "\n";
}

std::string ErrorOf(const std::string& dir) {
  try {
    WinePrefixStore store(dir);
  } catch (const ERegistrySourceError& e) {
    return e.what();
  }
  return "<no error>";
}

class WinePrefixStoreRoots : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_.Write("system.reg", R"(
[Software\\Classes\\.txt]
@="txtfile"
[Software\\Classes\\Shared]
"from"="machine"
[Software\\Wine]
[System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]
"FONTS.FON"="vgasys.fon"
)");
    prefix_.Write("user.reg", R"(
[Software\\Classes\\Shared]
"from"="user"
[Software\\Classes\\ZzUserOnly]
[Software\\Foo]
"who"="current user"
)");
    prefix_.Write("userdef.reg", R"(
[Control Panel\\Desktop]
"Wallpaper"=""
)");
  }

  Prefix prefix_;
};

TEST_F(WinePrefixStoreRoots, PresentsTheRootsAsWineDoes) {
  WinePrefixStore store(prefix_.Path());
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, ""),
            (std::vector<std::string>{"Software", "System"}));
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software\\Foo", "who"), "current user");
  EXPECT_EQ(SubKeys(store, kHKeyUsers, ""),
            (std::vector<std::string>{".Default", "S-1-5-21-0-0-0-1000"}));
  EXPECT_EQ(Text(store, kHKeyUsers, "S-1-5-21-0-0-0-1000\\Software\\Foo", "who"), "current user");
  EXPECT_EQ(SubKeys(store, kHKeyUsers, ".Default"), std::vector<std::string>{"Control Panel"});
  // HKCR is the machine's classes only: no user keys, the machine's values.
  EXPECT_EQ(SubKeys(store, kHKeyClassesRoot, ""), (std::vector<std::string>{".txt", "Shared"}));
  EXPECT_EQ(Text(store, kHKeyClassesRoot, "Shared", "from"), "machine");
  EXPECT_EQ(Text(store, kHKeyCurrentConfig, "Software\\Fonts", "fonts.fon"), "vgasys.fon");
}

TEST_F(WinePrefixStoreRoots, OpensPathsCaseInsensitively) {
  WinePrefixStore store(prefix_.Path());
  for (const char* path :
       {"SOFTWARE\\classes\\.TXT", "\\Software\\Classes\\.txt", "Software\\Classes\\.txt\\"}) {
    EXPECT_EQ(Text(store, kHKeyLocalMachine, path, ""), "txtfile") << path;
  }
  EXPECT_TRUE(store.KeyExists(kHKeyLocalMachine, "Software\\Wine"));
  EXPECT_TRUE(store.KeyExists(kHKeyLocalMachine, ""));
  for (const char* path : {"Software\\Nope", "Software\\\\Wine", "Software\\Wine\\x"}) {
    EXPECT_EQ(store.OpenKey(kHKeyLocalMachine, path, kKeyRead), nullptr) << path;
  }
  EXPECT_EQ(store.OpenKey(0, "", kKeyRead), nullptr);
  EXPECT_EQ(store.OpenKey(0x80000004, "", kKeyRead), nullptr);  // HKEY_PERFORMANCE_DATA
}

TEST(WinePrefixStoreLinks, FollowsLinksOnTheWayAndAtTheEnd) {
  Prefix prefix;
  prefix.Write("system.reg", R"(
[Software\\Classes\\AppId\\{1}]
"v"="target"
[Software\\Classes\\Wow6432Node\\AppId]
)" + LinkTo(u"\\REGISTRY\\MACHINE\\Software\\Classes\\AppId") +
                                 R"(
[Software\\ToUser]
)" + LinkTo(u"\\Registry\\User\\S-1-5-21-0-0-0-1000\\Software") +
                                 R"(
[Software\\Wow6432Node\\Classes]
)" + LinkTo(u"\\Registry\\Machine\\Software\\Classes\\Wow6432Node") +
                                 R"(
[System\\ControlSet001\\Hardware Profiles\\Current\\Software\\Fonts]
"FONTS.FON"="vgasys.fon"
[System\\CurrentControlSet]
)" + LinkTo(u"\\Registry\\Machine\\System\\ControlSet001"));
  prefix.Write("user.reg", "[Software\\\\Mine]\n");
  WinePrefixStore store(prefix.Path());

  // The link is listed under its own name; opening it opens the target.
  EXPECT_EQ(SubKeys(store, kHKeyClassesRoot, "Wow6432Node"), std::vector<std::string>{"AppId"});
  EXPECT_EQ(SubKeys(store, kHKeyClassesRoot, "Wow6432Node\\AppId"),
            std::vector<std::string>{"{1}"});
  EXPECT_EQ(Text(store, kHKeyClassesRoot, "Wow6432Node\\AppId\\{1}", "v"), "target");
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, "Software\\ToUser"),
            std::vector<std::string>{"Mine"});
  // A link through a link: Wow6432Node\Classes -> Classes\Wow6432Node, whose AppId links on.
  EXPECT_EQ(Text(store, kHKeyLocalMachine, "Software\\Wow6432Node\\Classes\\AppId\\{1}", "v"),
            "target");
  // Newer Wine makes CurrentControlSet a link; HKCC follows it.
  EXPECT_EQ(Text(store, kHKeyCurrentConfig, "Software\\Fonts", "FONTS.FON"), "vgasys.fon");
  // Opening below a key already open follows links the same way.
  auto software = store.OpenKey(kHKeyLocalMachine, "Software", kKeyRead);
  ASSERT_TRUE(software);
  auto appId = software->OpenSubKey("Wow6432Node\\Classes\\AppId", kKeyRead);
  ASSERT_TRUE(appId);
  std::vector<std::string> names;
  appId->SubKeyNames(names);
  EXPECT_EQ(names, std::vector<std::string>{"{1}"});
  EXPECT_FALSE(software->OpenSubKey("NoSuchKey", kKeyRead));
}

TEST(WinePrefixStoreLinks, ChainsUpToSixteenLinks) {
  // L1 -> L2 -> ... -> L17 -> Target
  std::string body = "[Target]\n\"v\"=\"end\"\n";
  for (int i = 1; i <= 17; ++i) {
    std::u16string next = i == 17 ? u"Target" : u"L" + Utf8ToUtf16(std::to_string(i + 1));
    body += "[L" + std::to_string(i) + "]\n" + LinkTo(u"\\Registry\\Machine\\" + next);
  }
  Prefix prefix;
  prefix.Write("system.reg", body);
  WinePrefixStore store(prefix.Path());
  EXPECT_EQ(Text(store, kHKeyLocalMachine, "L2", "v"), "end");
  EXPECT_EQ(store.OpenKey(kHKeyLocalMachine, "L1", kKeyRead), nullptr);
}

TEST(WinePrefixStoreLinks, BrokenLinksFailCleanly) {
  Prefix prefix;
  prefix.Write("system.reg", "[Real]\n[Loop1]\n" + LinkTo(u"\\Registry\\Machine\\Loop2") +
                                 "[Loop2]\n" + LinkTo(u"\\Registry\\Machine\\loop1") + "[Self]\n" +
                                 LinkTo(u"\\Registry\\Machine\\Self\\Sub") + "[Missing]\n" +
                                 LinkTo(u"\\Registry\\Machine\\Nowhere") + "[Relative]\n" +
                                 LinkTo(u"Registry\\Machine\\Real") + "[OtherNamespace]\n" +
                                 LinkTo(u"\\Device\\Real") + "[WithNul]\n" +
                                 LinkTo(u"\\Registry\\Machine\\Real\0"s) + "[NoValue]\n#link\n");
  WinePrefixStore store(prefix.Path());
  for (const char* path : {"Loop1", "Loop2\\x", "Self", "Missing", "Relative", "OtherNamespace",
                           "WithNul", "NoValue"}) {
    EXPECT_EQ(store.OpenKey(kHKeyLocalMachine, path, kKeyRead), nullptr) << path;
  }
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, "").size(), 9u);  // still listed
}

TEST(WinePrefixStoreLinks, BoundsTheLinksOneOpenFollows) {
  // L15 links to Machine itself; every other L<d> to a path passing ten
  // times through L<d+1>. Opening L0 would take 10^15 steps.
  std::string body = "[L15]\n" + LinkTo(u"\\Registry\\Machine");
  for (int d = 0; d < 15; ++d) {
    std::u16string target = u"\\Registry\\Machine";
    for (int i = 0; i < 10; ++i) target += u"\\L" + Utf8ToUtf16(std::to_string(d + 1));
    body += "[L" + std::to_string(d) + "]\n" + LinkTo(target);
  }
  Prefix prefix;
  prefix.Write("system.reg", body);
  WinePrefixStore store(prefix.Path());
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, "L14").size(), 16u);  // eleven links lead home
  EXPECT_EQ(store.OpenKey(kHKeyLocalMachine, "L0", kKeyRead), nullptr);
}

TEST(WinePrefixStoreValues, WideAndNarrowForms) {
  Prefix prefix;
  prefix.Write("user.reg", R"(
[Software\\Values]
"zeta"=dword:00000001
"Japanese"="\x65e5\x672c\x8a9e"
"hangul"="a\xd55c"
"multi"=str(7):"\x30bd\0b\0"
"bin"=hex:00,01,02
@="default"
"_under"=""
)");
  WinePrefixStore store(prefix.Path());
  EXPECT_EQ(Values(store, kHKeyCurrentUser, "Software\\Values"),
            (std::vector<std::string>{"", "_under", "bin", "hangul", "Japanese", "multi", "zeta"}));
  auto key = store.OpenKey(kHKeyCurrentUser, "Software\\Values", kKeyQueryValue);
  ASSERT_NE(key, nullptr);

  struct Case {
    const char* name;
    uint32_t type;
    std::string wide, narrow;
  };
  for (const Case& c : {
           Case{"japanese", kRegSz, "\xe5\x65\x2c\x67\x9e\x8a\0\0"s, "\x93\xfa\x96\x7b\x8c\xea\0"s},
           Case{"hangul", kRegSz, "a\0\x5c\xd5\0\0"s, "a?\0"s},  // no CP932 form: '?'
           Case{"multi", kRegMultiSz, "\xbd\x30\0\0b\0\0\0\0\0"s, "\x83\x5c\0b\0\0"s},
           Case{"zeta", kRegDword, "\1\0\0\0"s, "\1\0\0\0"s},
           Case{"bin", kRegBinary, "\0\1\2"s, "\0\1\2"s},
           Case{"", kRegSz, "d\0e\0f\0a\0u\0l\0t\0\0\0"s, "default\0"s},
       }) {
    for (TextForm form : {TextForm::Wide, TextForm::Narrow}) {
      const std::string& data = form == TextForm::Wide ? c.wide : c.narrow;
      uint32_t type = 99, size = 0;
      ASSERT_TRUE(key->QueryValueInfo(c.name, form, type, size)) << c.name;
      EXPECT_EQ(type, c.type) << c.name;
      EXPECT_EQ(size, data.size()) << c.name;
      RegValue value;
      ASSERT_TRUE(key->QueryValue(c.name, form, size, value)) << c.name;
      EXPECT_EQ(value.data, data) << c.name;
      if (size > 0) {
        EXPECT_FALSE(key->QueryValue(c.name, form, size - 1, value)) << c.name;
      }
    }
  }
  uint32_t type, size;
  RegValue value;
  EXPECT_FALSE(key->QueryValueInfo("absent", TextForm::Wide, type, size));
  EXPECT_FALSE(key->QueryValue("absent", TextForm::Narrow, 100, value));
  EXPECT_FALSE(key->HasSubKeys());
  EXPECT_TRUE(store.OpenKey(kHKeyCurrentUser, "", kKeyRead)->HasSubKeys());
}

TEST(WinePrefixStoreErrors, ClearErrorsForUnusableSources) {
  TempDir dir;
  std::string missing = dir.File("no-such-prefix");
  EXPECT_EQ(ErrorOf(missing), "Wine のプレフィックス フォルダーが見つかりません: " + missing);
  WriteFileBytes(dir.File("plain-file"), "x");
  EXPECT_NE(ErrorOf(dir.File("plain-file")).find(dir.File("plain-file")), std::string::npos);
  // A folder without any of the three files is no registry, not an empty one.
  EXPECT_EQ(ErrorOf(dir.Path()), "Wine のレジストリ ファイルが見つかりません: " + dir.Path());

  Prefix notRegistry;
  notRegistry.Write("user.reg", "");
  WriteFileBytes(notRegistry.File("system.reg"), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n");
  EXPECT_EQ(ErrorOf(notRegistry.Path()),
            "Wine のレジストリ ファイルではありません: " + notRegistry.File("system.reg"));

  Prefix unreadable;
  unreadable.Write("user.reg", "");
  ASSERT_EQ(mkdir(unreadable.File("system.reg").c_str(), 0755), 0);
  EXPECT_EQ(ErrorOf(unreadable.Path()),
            "Wine のレジストリ ファイルを読み込めません: " + unreadable.File("system.reg") +
                " (通常のファイルではありません)");
  ASSERT_EQ(rmdir(unreadable.File("system.reg").c_str()), 0);
  ASSERT_EQ(mkfifo(unreadable.File("system.reg").c_str(), 0600), 0);  // never waited on
  EXPECT_NE(ErrorOf(unreadable.Path()).find("(通常のファイルではありません)"), std::string::npos);
  ASSERT_EQ(unlink(unreadable.File("system.reg").c_str()), 0);
  ASSERT_EQ(symlink("gone.reg", unreadable.File("system.reg").c_str()), 0);
  EXPECT_NE(ErrorOf(unreadable.Path()).find("(リンク先がありません)"), std::string::npos);

  // wineserver keeps the first architecture (system.reg's) and refuses another.
  Prefix mixed;
  mixed.Write("system.reg", "");
  WriteFileBytes(mixed.File("user.reg"), "WINE REGISTRY Version 2\n#arch=win32\n");
  EXPECT_EQ(ErrorOf(mixed.Path()),
            "Wine のレジストリ ファイルではありません: " + mixed.File("user.reg"));
}

TEST(WinePrefixStoreErrors, MissingFilesAreEmptyBranches) {
  Prefix prefix;
  prefix.Write("user.reg", "[Software\\\\Foo]\n");
  WinePrefixStore store(prefix.Path());
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, ""), std::vector<std::string>{});
  EXPECT_EQ(SubKeys(store, kHKeyUsers, ".Default"), std::vector<std::string>{});
  EXPECT_EQ(store.OpenKey(kHKeyClassesRoot, "", kKeyRead), nullptr);
  EXPECT_EQ(SubKeys(store, kHKeyCurrentUser, ""), std::vector<std::string>{"Software"});
}

TEST(WinePrefixStoreRefresh, ReloadsChangedFilesAndKeepsDataOnFailure) {
  Prefix prefix;
  prefix.Write("user.reg", "[Software\\\\Foo]\n\"v\"=\"1\"\n");
  WinePrefixStore store(prefix.Path());
  auto before = store.OpenKey(kHKeyCurrentUser, "Software\\Foo", kKeyRead);
  store.Refresh();  // nothing changed
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software\\Foo", "v"), "1");

  // Enough keys that a reload lets the front end handle its events on the way.
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "[Software\\\\Many\\\\" + std::to_string(i) + "]\n";
  prefix.Write("user.reg", "[Software\\\\Foo]\n\"v\"=\"two\"\n" + many);
  prefix.Write("userdef.reg", "[Appeared]\n");
  int pumped = 0;
  store.Refresh([&] { ++pumped; });
  EXPECT_GT(pumped, 0);
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software\\Foo", "v"), "two");
  EXPECT_EQ(SubKeys(store, kHKeyUsers, ".Default"), std::vector<std::string>{"Appeared"});
  // A key opened before the reload still reads the data it was opened on.
  RegValue value;
  ASSERT_TRUE(before->QueryValue("v", TextForm::Wide, 100, value));
  EXPECT_EQ(value.data, "1\0\0\0"s);

  WriteFileBytes(prefix.File("user.reg"), "garbage, half written");
  EXPECT_THROW(store.Refresh(), ERegistrySourceError);
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software\\Foo", "v"), "two");
  EXPECT_THROW(store.Refresh(), ERegistrySourceError);  // still broken: tried again

  ASSERT_EQ(std::remove(prefix.File("userdef.reg").c_str()), 0);
  prefix.Write("user.reg", "[Software\\\\Foo]\n\"v\"=\"three\"\n");
  store.Refresh();
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software\\Foo", "v"), "three");
  EXPECT_EQ(SubKeys(store, kHKeyUsers, ".Default"), std::vector<std::string>{});
}

TEST(WinePrefixStoreFixture, ReadsAFreshWine8Prefix) {
  WinePrefixStore store(test::TestDataPath("wine8-fresh-prefix"));
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, ""),
            (std::vector<std::string>{"Software", "System"}));
  EXPECT_GT(SubKeys(store, kHKeyClassesRoot, "").size(), 300u);
  EXPECT_EQ(SubKeys(store, kHKeyUsers, ""),
            (std::vector<std::string>{".Default", "S-1-5-21-0-0-0-1000"}));
  EXPECT_EQ(SubKeys(store, kHKeyCurrentConfig, "Software"), std::vector<std::string>{"Fonts"});
  EXPECT_EQ(Text(store, kHKeyCurrentConfig, "Software\\Fonts", "FONTS.FON"), "vgasys.fon");
  // Wow6432Node\Classes links to Classes\Wow6432Node, whose CLSID is a real key.
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, "Software\\Wow6432Node\\Classes"),
            SubKeys(store, kHKeyClassesRoot, "Wow6432Node"));
  EXPECT_EQ(SubKeys(store, kHKeyLocalMachine, "Software\\Classes\\Wow6432Node\\AppId"),
            SubKeys(store, kHKeyClassesRoot, "AppId"));
  EXPECT_NE(store.OpenKey(kHKeyCurrentUser, "Control Panel\\Desktop", kKeyRead), nullptr);
}

TEST(WinePrefixStoreFixture, HandWrittenUserFile) {
  Prefix prefix;
  std::string text = test::ReadFileBytes(test::TestDataPath("wine/line-forms.reg"));
  WriteFileBytes(prefix.File("user.reg"), text);
  // wineserver would skip its malformed lines; a backup must not.
  EXPECT_EQ(ErrorOf(prefix.Path()),
            "Wine のレジストリ ファイルに読めない行があります: " + prefix.File("user.reg") +
                " (32 行目: 値が正しくありません)");
  text.erase(text.find("\"bad\""),
             text.find("\n", text.find("\"bad\"")) + 1 - text.find("\"bad\""));
  text.erase(text.find("[Software\\\\Broken"));
  WriteFileBytes(prefix.File("user.reg"), text);
  WinePrefixStore store(prefix.Path());
  EXPECT_EQ(Values(store, kHKeyCurrentUser, ""), std::vector<std::string>{""});
  EXPECT_EQ(Text(store, kHKeyUsers, "S-1-5-21-0-0-0-1000\\Software\\Forms", "名前"), "日本語の値");
  EXPECT_EQ(Text(store, kHKeyCurrentUser, "Software\\Link", "here"), "yes");
  EXPECT_EQ(SubKeys(store, kHKeyCurrentUser, "Software"),
            (std::vector<std::string>{"Forms", "Link", "Target"}));
}

}  // namespace
}  // namespace tarnwick
