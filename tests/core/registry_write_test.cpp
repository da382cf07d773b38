// Writes through the registry accessor over the in-memory store: opening with
// and without creation, the stored form of strings and integers, and the
// errors of failed writes.
#include <gtest/gtest.h>

#include <functional>

#include "common/errors.h"
#include "common/key_path.h"
#include "registry/memory_store.h"
#include "registry/registry.h"

namespace tarnwick {
namespace {

using Names = std::vector<std::string>;

std::string WriteError(const std::function<void()>& write) {
  try {
    write();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  return "<no error>";
}

TEST(RegistryWriteTest, OpenKeyCreatesOnlyWhenAsked) {
  MemoryStore store;
  store.AddKey("HKCU\\Software");
  TRegistry reg(store);
  EXPECT_FALSE(reg.OpenKey("Software\\A\\B", false));
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_FALSE(reg.KeyExists("Software\\A"));

  ASSERT_TRUE(reg.OpenKey("Software\\A\\B", true));
  EXPECT_TRUE(reg.KeyExists("Software\\A\\B"));
  ASSERT_TRUE(reg.OpenKey("software\\a\\b", false));  // an existing key, any case
  reg.WriteInteger("n", 1);
  reg.SetRootKey(kHKeyLocalMachine);
  EXPECT_FALSE(reg.KeyExists("Software\\A"));  // created under the root of the time
  reg.SetRootKey(0);
  EXPECT_FALSE(reg.OpenKey("X", true));
}

TEST(RegistryWriteTest, StoredForms) {
  MemoryStore store;
  TRegistry reg(store);
  ASSERT_TRUE(reg.OpenKey("K", true));
  reg.WriteString("s", "日本a");
  reg.WriteString("empty", "");
  reg.WriteInteger("d", 0x12345678);
  reg.WriteInteger("S", 7);  // same value as "s": replaced in its place, type and all

  ASSERT_TRUE(reg.OpenKeyReadOnly("K"));
  Names names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, (Names{"s", "empty", "d"}));
  RegValue value;
  ASSERT_TRUE(reg.QueryValue("d", TextForm::Wide, 100, value));
  EXPECT_EQ(value.type, kRegDword);
  EXPECT_EQ(value.data, "\x78\x56\x34\x12");
  ASSERT_TRUE(reg.QueryValue("s", TextForm::Wide, 100, value));
  EXPECT_EQ(value.type, kRegDword);
  EXPECT_EQ(value.data, std::string("\x07\0\0\0", 4));
  ASSERT_TRUE(reg.QueryValue("empty", TextForm::Wide, 100, value));
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_EQ(value.data, std::string("\0\0", 2));

  ASSERT_TRUE(reg.OpenKey("K", false));
  reg.WriteString("t", "日本a");
  ASSERT_TRUE(reg.QueryValue("t", TextForm::Wide, 100, value));
  EXPECT_EQ(value.data, std::string("\xe5\x65\x2c\x67\x61\0\0\0", 8));
  EXPECT_EQ(reg.ReadString("t"), "日本a");
}

TEST(RegistryWriteTest, FailedWritesThrowNamingTheValue) {
  MemoryStore store;
  store.SetDword("HKCU\\Locked", "v", 1);
  store.SetReadOnly("HKCU\\Locked");
  TRegistry reg(store);
  EXPECT_EQ(WriteError([&] { reg.WriteString("FilePath", "x"); }),
            "'FilePath' の書き込みに失敗しました");  // no current key

  EXPECT_FALSE(reg.OpenKey("Locked", false));
  EXPECT_FALSE(reg.OpenKey("Locked\\Sub", true));
  EXPECT_FALSE(reg.KeyExists("Locked\\Sub"));
  EXPECT_EQ(WriteError([&] { reg.WriteInteger("Build", 1); }), "'Build' の書き込みに失敗しました");

  ASSERT_TRUE(reg.OpenKeyReadOnly("Locked"));  // reads still work, writes do not
  EXPECT_EQ(reg.ReadInteger("v"), 1u);
  EXPECT_EQ(WriteError([&] { reg.WriteInteger("v", 2); }), "'v' の書き込みに失敗しました");
  EXPECT_EQ(reg.ReadInteger("v"), 1u);

  store.AddKey("HKCU\\Locked\\Open");  // a subkey that exists is writable
  EXPECT_TRUE(reg.OpenKey("Locked\\Open", false));
}

}  // namespace
}  // namespace tarnwick
