// Key-path operations, including names whose CP932 form has a trail byte
// equal to a separator (ソ and 表 end in 0x5C, ポ in 0x7C).
#include "common/key_path.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

struct SplitRow {
  const char* path;
  std::size_t separatorPos;  // in bytes of UTF-8
  const char* valueName;
  const char* withoutValue;
  const char* withoutRoot;
  const char* lastName;
};

TEST(KeyPathTest, SplittingTable) {
  const SplitRow rows[] = {
      {"HKCU\\Software\\Foo", 0, "", "HKCU\\Software\\Foo", "Software\\Foo", "Foo"},
      {"HKCU\\Software\\Foo|Bar", 18, "Bar", "HKCU\\Software\\Foo", "Software\\Foo|Bar", "Bar"},
      {"HKCU\\Software\\Foo|", 18, "", "HKCU\\Software\\Foo", "Software\\Foo|", ""},
      {"HKCU", 0, "", "HKCU", "", "HKCU"},
      {"HKCU|Name", 5, "Name", "HKCU", "|Name", "Name"},
      {"HKCU\\A|B|C", 9, "C", "HKCU\\A|B", "A|B|C", "C"},
      {"HKCU\\ソフト\\表", 0, "", "HKCU\\ソフト\\表", "ソフト\\表", "表"},
      {"HKCU\\ポ|ソ", 9, "ソ", "HKCU\\ポ", "ポ|ソ", "ソ"},
      {"", 0, "", "", "", ""},
  };
  for (const SplitRow& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(ValueSeparatorPos(row.path), row.separatorPos);
    EXPECT_EQ(KeyPathValueName(row.path), row.valueName);
    std::string path = row.path;
    RemoveValueName(path);
    EXPECT_EQ(path, row.withoutValue);
    path = row.path;
    RemoveRootName(path);
    EXPECT_EQ(path, row.withoutRoot);
    EXPECT_EQ(KeyPathLastName(row.path), row.lastName);
  }
}

std::string RootOf(const char* path) {
  TRegRootKey row;
  FindRootKey(path, row);
  return row.ShortName + "/" + std::to_string(row.RootKey);
}

TEST(KeyPathTest, FindRootKeyIsExactAndCaseSensitive) {
  EXPECT_EQ(RootOf("HKCU\\Software"), "HKCU/2147483649");
  EXPECT_EQ(RootOf("HKU\\S-1-5-18|x"), "HKU/2147483651");
  EXPECT_EQ(RootOf("HKCR"), "HKCR/2147483648");
  EXPECT_EQ(RootOf("HKCC|"), "HKCC/2147483653");
  EXPECT_EQ(RootOf("hkcu\\Software"), "/0");
  EXPECT_EQ(RootOf("HKEY_USERS\\x"), "/0");
  EXPECT_EQ(RootOf("HKCUX"), "/0");
  EXPECT_EQ(RootOf("HKU|A\\B"), "HKU/2147483651");  // the value part may hold a backslash
}

TEST(KeyPathTest, NormalizeKeyPath) {
  EXPECT_EQ(NormalizeKeyPath("hkey_current_user\\Software"), "HKCU\\Software");
  EXPECT_EQ(NormalizeKeyPath("hkcu|x"), "HKCU|x");
  EXPECT_EQ(NormalizeKeyPath("HKEY_CURRENT_USERX"), "HKCUX");
  EXPECT_EQ(NormalizeKeyPath("HKEY_USERS"), "HKU");
  EXPECT_EQ(NormalizeKeyPath("Software\\Foo"), "");
  EXPECT_EQ(NormalizeKeyPath("HKEY_LOCAL_MACHINE\\ソフト"), "HKLM\\ソフト");
  EXPECT_EQ(NormalizeKeyPath("hkcc\\x"), "HKCC\\x");
  EXPECT_EQ(NormalizeKeyPath("HKC"), "");
  EXPECT_EQ(NormalizeKeyPath(""), "");
}

TEST(KeyPathTest, IntToLowerHex) {
  EXPECT_EQ(IntToLowerHex(0x1234, 2), "34");
  EXPECT_EQ(IntToLowerHex(10, 8), "0000000a");
  EXPECT_EQ(IntToLowerHex(0xFFFFFFFF, 8), "ffffffff");
  EXPECT_EQ(IntToLowerHex(0, 2), "00");
  EXPECT_EQ(IntToLowerHex(0xABCDEF01, 0), "");
}

TEST(KeyPathTest, ParseKeyPathTakesAPathApartOnce) {
  struct Case {
    const char* path;
    uint32_t root;
    const char* subPath;
    const char* valueName;  // null: the whole key
    const char* keyName;
  } cases[] = {
      {"HKCU\\Software\\ソフト", kHKeyCurrentUser, "Software\\ソフト", nullptr,
       "HKEY_CURRENT_USER\\Software\\ソフト"},
      {"HKLM\\A|表", kHKeyLocalMachine, "A", "表", "HKEY_LOCAL_MACHINE\\A"},
      {"HKCU\\A|", kHKeyCurrentUser, "A", "", "HKEY_CURRENT_USER\\A"},
      {"HKU", kHKeyUsers, "", nullptr, "HKEY_USERS"},
      {"HKCU|Name", kHKeyCurrentUser, "", "Name", "HKEY_CURRENT_USER"},
      {"HKXX\\A", 0, "A", nullptr, "\\A"},
  };
  for (const Case& c : cases) {
    KeyPathParts parts = ParseKeyPath(c.path);
    EXPECT_EQ(parts.root.RootKey, c.root) << c.path;
    EXPECT_EQ(parts.subPath, c.subPath) << c.path;
    EXPECT_EQ(parts.valueName.value_or("(none)"), c.valueName ? c.valueName : "(none)") << c.path;
    EXPECT_EQ(parts.keyName, c.keyName) << c.path;
  }
}

}  // namespace
}  // namespace tarnwick
