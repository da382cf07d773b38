// The registry accessor over the in-memory store: Windows' enumeration order,
// the wide and narrow data forms, and the errors of the typed reads.
#include "registry/registry.h"

#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/key_path.h"
#include "memory_store.h"

namespace tarnwick {
namespace {

using Names = std::vector<std::string>;

TEST(RegistryTest, EnumeratesSubkeysByUpperCaseFoldAndValuesInCreationOrder) {
  MemoryStore store;
  for (const char* name : {"b", "A", "_x", "[y", "a1", "Z", "ä", "日本語", "ソフト", "ab"}) {
    store.AddKey(std::string("HKCU\\K\\") + name);
  }
  for (const char* name : {"zeta", "", "Alpha"}) store.SetDword("HKCU\\K", name, 1);
  TRegistry reg(store);
  ASSERT_TRUE(reg.OpenKeyReadOnly("K"));
  Names names;
  reg.GetKeyNames(names);
  EXPECT_EQ(names, (Names{"A", "a1", "ab", "b", "Z", "[y", "_x", "ä", "ソフト", "日本語"}));
  reg.GetValueNames(names);
  EXPECT_EQ(names, (Names{"zeta", "", "Alpha"}));
  EXPECT_TRUE(reg.HasSubKeys());
}

TEST(RegistryTest, PathsAreCaseInsensitiveAndRelativeToTheRoot) {
  MemoryStore store;
  store.AddKey("HKLM\\Software\\Foo");
  TRegistry reg(store);
  EXPECT_FALSE(reg.KeyExists("Software"));  // the accessor starts at HKCU
  reg.SetRootKey(kHKeyLocalMachine);
  EXPECT_TRUE(reg.KeyExists("software\\FOO"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\Foo\\"));
  EXPECT_TRUE(reg.KeyExists(""));
  EXPECT_FALSE(reg.KeyExists("Software\\\\Foo"));
  reg.SetRootKey(0);
  EXPECT_FALSE(reg.KeyExists(""));
  EXPECT_FALSE(reg.OpenKeyReadOnly(""));
}

TEST(RegistryTest, ChangingTheRootClosesTheCurrentKey) {
  MemoryStore store;
  store.AddKey("HKCU\\A");
  TRegistry reg(store);
  ASSERT_TRUE(reg.OpenKeyReadOnly("A"));
  EXPECT_TRUE(reg.KeyExists("A"));
  EXPECT_TRUE(reg.HasCurrentKey());  // an existence test leaves it open
  reg.SetRootKey(kHKeyUsers);
  EXPECT_FALSE(reg.HasCurrentKey());
  Names names{"stale"};
  reg.GetKeyNames(names);
  EXPECT_TRUE(names.empty());
}

TEST(RegistryTest, WideAndNarrowForms) {
  MemoryStore store;
  store.SetString("HKCU\\K", "jp", "日本");
  store.SetString("HKCU\\K", "multi", std::string("a\0ソ\0", 6), kRegMultiSz);
  store.SetValue("HKCU\\K", "bin", kRegBinary, "\x01\x02");
  TRegistry reg(store);
  reg.OpenKeyReadOnly("K");
  uint32_t type = 0, size = 0;
  ASSERT_TRUE(reg.QueryValueInfo("jp", TextForm::Wide, type, size));
  EXPECT_EQ(size, 6u);
  ASSERT_TRUE(reg.QueryValueInfo("jp", TextForm::Narrow, type, size));
  EXPECT_EQ(size, 5u);
  RegValue value;
  ASSERT_TRUE(reg.QueryValue("multi", TextForm::Narrow, 100, value));
  EXPECT_EQ(value.data, std::string("a\0\x83\x5C\0\0", 6));
  EXPECT_EQ(value.type, kRegMultiSz);
  EXPECT_FALSE(reg.QueryValue("multi", TextForm::Wide, 4, value));  // buffer too small
  ASSERT_TRUE(reg.QueryValue("bin", TextForm::Narrow, 2, value));
  EXPECT_EQ(value.data, "\x01\x02");
}

TEST(RegistryTest, TypedReads) {
  MemoryStore store;
  store.SetString("HKCU\\K", "s", std::string("one\0two", 7));
  store.SetString("HKCU\\K", "e", "%A%", kRegExpandSz);
  store.SetDword("HKCU\\K", "d", 0x12345678);
  store.SetValue("HKCU\\K", "d8", kRegDword, std::string(8, '\x01'));
  store.SetValue("HKCU\\K", "d2", kRegDword, "\x01\x02");
  store.SetValue("HKCU\\K", "b", kRegBinary, "xyz");
  TRegistry reg(store);
  reg.OpenKeyReadOnly("K");
  EXPECT_EQ(reg.ReadString("s"), "one");
  EXPECT_EQ(reg.ReadString("e"), "%A%");
  EXPECT_EQ(reg.ReadInteger("d"), 0x12345678u);
  EXPECT_EQ(reg.ReadInteger("d2"), 0x0201u);
  EXPECT_EQ(reg.GetDataType("s"), TRegDataType::rdString);
  EXPECT_EQ(reg.GetDataType("e"), TRegDataType::rdExpandString);
  EXPECT_EQ(reg.GetDataType("d"), TRegDataType::rdInteger);
  EXPECT_EQ(reg.GetDataType("b"), TRegDataType::rdBinary);
  EXPECT_EQ(reg.GetDataType("missing"), TRegDataType::rdUnknown);
  char buffer[2];
  EXPECT_EQ(reg.ReadBinaryData("b", buffer, sizeof buffer), 2u);
  EXPECT_EQ(std::string(buffer, 2), "xy");

  auto expectError = [&](auto read, const char* message) {
    try {
      read();
      ADD_FAILURE() << "no error for " << message;
    } catch (const ERegistryException& e) {
      EXPECT_STREQ(e.what(), message);
    }
  };
  expectError([&] { reg.ReadInteger("d8"); }, "'d8' の取得に失敗しました");
  expectError([&] { reg.ReadInteger("missing"); }, "'missing' の取得に失敗しました");
  expectError([&] { reg.ReadInteger("s"); }, "'s' の取得に失敗しました");  // too long for 4 bytes
  expectError([&] { reg.ReadInteger("b"); }, "'b' のデータ型が不正です");
  expectError([&] { reg.ReadString("d"); }, "'d' のデータ型が不正です");
  expectError([&] { reg.ReadString("missing"); }, "'missing' の取得に失敗しました");
}

TEST(RegistryTest, ModelledFailures) {
  MemoryStore store;
  store.AddKey("HKCU\\Locked\\Sub");
  store.SetUnreadable("HKCU\\Locked");
  store.SetDword("HKCU\\K", "v", 1);
  store.SetValueFault("HKCU\\K", "v", MemoryStore::ValueFault::DataReadFails);
  TRegistry reg(store);
  EXPECT_TRUE(reg.KeyExists("Locked"));
  EXPECT_FALSE(reg.OpenKeyReadOnly("Locked"));
  EXPECT_FALSE(reg.HasCurrentKey());
  reg.OpenKeyReadOnly("K");
  EXPECT_TRUE(reg.ValueExists("v"));
  EXPECT_THROW(reg.ReadInteger("v"), ERegistryException);
}

TEST(RegistryTest, KeyPathExists) {
  MemoryStore store;
  store.SetDword("HKCU\\Software\\ソフト", "表", 1);
  store.SetString("HKCU\\Software\\ソフト", "", "default");
  store.AddKey("HKLM\\Empty");
  EXPECT_TRUE(KeyPathExists(store, "HKCU"));
  EXPECT_TRUE(KeyPathExists(store, "HKCU\\Software\\ソフト"));
  EXPECT_TRUE(KeyPathExists(store, "HKCU\\software\\ソフト|表"));
  EXPECT_TRUE(KeyPathExists(store, "HKCU\\Software\\ソフト|"));
  EXPECT_FALSE(KeyPathExists(store, "HKLM\\Empty|"));  // no default value set
  EXPECT_FALSE(KeyPathExists(store, "HKCU\\Software\\ソフト|ポ"));
  EXPECT_FALSE(KeyPathExists(store, "HKCU\\Software\\ソ"));
  EXPECT_FALSE(KeyPathExists(store, "HKXX\\Software"));
  EXPECT_FALSE(KeyPathExists(store, "hkcu\\Software"));
}

}  // namespace
}  // namespace tarnwick
