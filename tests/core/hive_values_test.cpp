// Value data of a hive as stored: any type, any size, odd lengths, strings
// without their NUL, data over 16 KiB in one cell or in a big-data record,
// and the narrow (CP932) form.
#include <gtest/gtest.h>

#include <string>

#include "common/key_path.h"
#include "common/text_codec.h"
#include "hive_builder.h"
#include "registry/hive/hive_store.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

constexpr const char* kSid = "S-1-5-21-1-2-3-1000";

std::string Bytes(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  return data;
}

const HiveValueData kValues[] = {
    {"", kRegSz, Sz(u"default")},
    {"odd", kRegSz, std::string("A\0B", 3)},
    {"noNul", kRegSz, Utf16ToLeBytes(u"ab")},
    {"emptySz", kRegSz, ""},
    {"dword5", kRegDword, "\1\2\3\4\5"},
    {"tiny", kRegBinary, "\xff"},
    {"strange", 0x12345678, "xyz"},
    {"none", kRegNone, ""},
    {"oneCell", kRegBinary, Bytes(20000)},
    {"big", kRegBinary, Bytes(40000)},
    {"multi", kRegMultiSz, Sz(std::u16string(u"a\0b\0", 4))},
};

class HiveValuesTest : public testing::Test {
 protected:
  void SetUp() override {
    TestInstallation windows(dir.Path());
    windows.User(kSid, "user")
        .Values("Software\\Data",
                std::vector<HiveValueData>(std::begin(kValues), std::end(kValues)));
    windows.User(kSid, "user").Values("Software\\Text", {{"jp", kRegSz, Sz(u"ソフト")}});
    windows.Write();
    StoreAsBigData(dir.File("Users/user/NTUSER.DAT"), "Software\\Data", "big");
    store = std::make_unique<HiveStore>(dir.Path(), "");
  }

  TempDir dir;
  std::unique_ptr<HiveStore> store;
};

TEST_F(HiveValuesTest, DataComesAsStored) {
  auto key = store->OpenKey(kHKeyCurrentUser, "Software\\Data", kKeyRead);
  ASSERT_NE(key, nullptr);
  std::vector<std::string> names;
  ASSERT_TRUE(key->ValueNames(names));
  ASSERT_EQ(names.size(), std::size(kValues));
  for (std::size_t i = 0; i < names.size(); ++i) {
    const HiveValueData& expected = kValues[i];
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(names[i], expected.name);
    uint32_t type = 0, size = 0;
    ASSERT_TRUE(key->QueryValueInfo(expected.name, TextForm::Wide, type, size));
    EXPECT_EQ(type, expected.type);
    EXPECT_EQ(size, expected.data.size());
    RegValue value;
    ASSERT_TRUE(key->QueryValue(expected.name, TextForm::Wide, size, value));
    EXPECT_EQ(value.type, expected.type);
    EXPECT_EQ(value.data, expected.data);
    if (size > 0) {
      EXPECT_FALSE(key->QueryValue(expected.name, TextForm::Wide, size - 1, value));
    }
  }
}

TEST_F(HiveValuesTest, NarrowFormIsCp932WithEveryNul) {
  auto key = store->OpenKey(kHKeyCurrentUser, "Software\\Text", kKeyRead);
  ASSERT_NE(key, nullptr);
  uint32_t type = 0, size = 0;
  ASSERT_TRUE(key->QueryValueInfo("JP", TextForm::Narrow, type, size));
  EXPECT_EQ(size, 7u);
  RegValue value;
  ASSERT_TRUE(key->QueryValue("jp", TextForm::Narrow, size, value));
  EXPECT_EQ(value.data, std::string("\x83\x5c\x83\x74\x83\x67\0", 7));
  ASSERT_TRUE(key->QueryValue("jp", TextForm::Wide, 8, value));
  EXPECT_EQ(value.data, Sz(u"ソフト"));
}

TEST_F(HiveValuesTest, AMissingValueFails) {
  auto key = store->OpenKey(kHKeyCurrentUser, "Software\\Data", kKeyRead);
  uint32_t type = 0, size = 0;
  RegValue value;
  EXPECT_FALSE(key->QueryValueInfo("nope", TextForm::Wide, type, size));
  EXPECT_FALSE(key->QueryValue("nope", TextForm::Narrow, 100, value));
}

}  // namespace
}  // namespace tarnwick::test
