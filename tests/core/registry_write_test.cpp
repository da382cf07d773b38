// Writes through the registry accessor over the in-memory store: opening with
// and without creation, and the stored form of strings and integers.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/key_path.h"
#include "memory_store.h"
#include "registry/registry.h"

namespace tarnwick {
namespace {

TEST(RegistryWriteTest, OpenKeyCreatesOnlyWhenAsked) {
  MemoryStore store;
  TRegistry reg(store);
  EXPECT_FALSE(reg.OpenKey("Software\\A\\B", false));
  EXPECT_FALSE(reg.KeyExists("Software"));
  ASSERT_TRUE(reg.OpenKey("Software\\A\\B", true));
  EXPECT_TRUE(reg.OpenKey("software\\a\\b", false));
  reg.SetRootKey(kHKeyLocalMachine);
  EXPECT_FALSE(reg.KeyExists("Software\\A"));  // made under the root of the time
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
  reg.WriteInteger("D", 7);  // the same value: replaced in its place
  RegValue value;
  ASSERT_TRUE(reg.QueryValue("s", TextForm::Wide, 100, value));
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_EQ(value.data, std::string("\xe5\x65\x2c\x67\x61\0\0\0", 8));
  ASSERT_TRUE(reg.QueryValue("empty", TextForm::Wide, 100, value));
  EXPECT_EQ(value.data, std::string("\0\0", 2));
  ASSERT_TRUE(reg.QueryValue("d", TextForm::Wide, 100, value));
  EXPECT_EQ(value.type, kRegDword);
  EXPECT_EQ(value.data, std::string("\x07\0\0\0", 4));
  std::vector<std::string> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"s", "empty", "d"}));

  ASSERT_TRUE(reg.OpenKeyReadOnly("K"));  // a key open for reading takes no writes
  EXPECT_THROW(reg.WriteInteger("d", 2), ERegistryException);
  EXPECT_EQ(reg.ReadInteger("d"), 7u);
}

}  // namespace
}  // namespace tarnwick
