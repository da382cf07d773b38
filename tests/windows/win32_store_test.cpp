// The Win32 store on the real registry API (Wine's, under test): what it
// writes it reads back, in both forms, in the registry's own order.
#include <windows.h>
// needs the declarations of windows.h
#include <gtest/gtest.h>
#include <sddl.h>

#include "common/text_codec.h"
#include "reg_export_fixture.h"
#include "registry/registry.h"
#include "registry/win32/win32_store.h"

namespace tarnwick::test {
namespace {

constexpr uint32_t kHkcu = 0x80000001;

class Win32StoreTest : public testing::Test {
 protected:
  Win32RegistryStore store;
  const std::string path = "Software\\TarnwickTest\\" + std::to_string(GetCurrentProcessId());

  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TarnwickTest"); }

  std::unique_ptr<RegistryKey> Create(const std::string& below) {
    return store.OpenKeyForWrite(kHkcu, path + below, true);
  }
};

TEST_F(Win32StoreTest, WhatIsWrittenIsReadBackInBothForms) {
  auto key = Create("\\日本語キー");
  ASSERT_TRUE(key);
  std::string wide = Utf16ToLeBytes(u"表示 ソフト");
  wide.append(2, '\0');
  ASSERT_TRUE(key->SetValue("名前", kRegSz, wide));
  ASSERT_TRUE(key->SetValue("", kRegDword, std::string("\x2a\0\0\0", 4)));
  ASSERT_TRUE(key->SetValue("big", kRegBinary, std::string(300, '\x7f')));

  auto read = store.OpenKey(kHkcu, "\\" + path + "\\日本語キー\\", kKeyRead);
  ASSERT_TRUE(read);
  RegValue value;
  ASSERT_TRUE(read->QueryValue("名前", TextForm::Wide, 1024, value));
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_EQ(value.data, wide);
  // The narrow form is CP932 whatever the system's ANSI code page is.
  ASSERT_TRUE(read->QueryValue("名前", TextForm::Narrow, 1024, value));
  EXPECT_EQ(value.data, Utf8ToCp932("表示 ソフト") + std::string(1, '\0'));
  uint32_t type = 0, size = 0;
  ASSERT_TRUE(read->QueryValueInfo("名前", TextForm::Narrow, type, size));
  EXPECT_EQ(size, value.data.size());
  EXPECT_FALSE(read->QueryValue("big", TextForm::Wide, 299, value));  // too large for the buffer
  ASSERT_TRUE(read->QueryValue("big", TextForm::Wide, 300, value));
  EXPECT_EQ(value.data, std::string(300, '\x7f'));

  std::vector<std::string> names;
  ASSERT_TRUE(read->ValueNames(names));
  EXPECT_EQ(names.size(), 3u);
  EXPECT_NE(std::find(names.begin(), names.end(), ""), names.end());  // the default value
  EXPECT_FALSE(read->SetValue("x", kRegSz, wide));                    // opened for reading
}

TEST_F(Win32StoreTest, SubKeysOpensAndFailures) {
  Create("\\B");
  Create("\\a");
  Create("\\C\\deep");
  auto parent = store.OpenKey(kHkcu, path, kKeyRead);
  ASSERT_TRUE(parent);
  std::vector<std::string> names;
  ASSERT_TRUE(parent->SubKeyNames(names));
  EXPECT_EQ(names, (std::vector<std::string>{"a", "B", "C"}));  // Windows' order
  EXPECT_TRUE(parent->HasSubKeys());
  EXPECT_TRUE(parent->OpenSubKey("c\\DEEP", kKeyRead));  // names match in any case
  EXPECT_FALSE(parent->OpenSubKey("C\\none", kKeyRead));
  EXPECT_FALSE(store.OpenKey(kHkcu, path + "\\\\C", kKeyRead));  // an empty name
  EXPECT_FALSE(store.OpenKey(0, "Software", kKeyRead));
  EXPECT_FALSE(store.OpenKey(0x80000004, "", kKeyRead));  // performance data: no row
  EXPECT_TRUE(store.KeyExists(kHkcu, ""));
}

// Grants everyone only the given rights on the key (and the right to
// change them back).
void Restrict(HKEY root, const std::wstring& path, const wchar_t* rights) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::wstring sddl = std::wstring(L"D:P(A;;") + rights + L";;;WD)";
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
  LocalFree(descriptor);
  RegCloseKey(key);
}

TEST_F(Win32StoreTest, DeniedAccessFallsBackAsTheAccessorPromises) {
  Create("\\NoNotify")->SetValue("v", kRegDword, std::string("\x01\0\0\0", 4));
  Create("\\QueryOnly")->SetValue("v", kRegDword, std::string("\x02\0\0\0", 4));
  Create("\\Nothing");
  std::wstring base = L"Software\\TarnwickTest\\" + std::to_wstring(GetCurrentProcessId());
  Restrict(HKEY_CURRENT_USER, base + L"\\NoNotify", L"0x60009");   // no KEY_NOTIFY
  Restrict(HKEY_CURRENT_USER, base + L"\\QueryOnly", L"0x40001");  // KEY_QUERY_VALUE
  Restrict(HKEY_CURRENT_USER, base + L"\\Nothing", L"0x40000");    // none to read
  TRegistry registry(store);
  registry.SetRootKey(kHkcu);

  EXPECT_FALSE(store.OpenKey(kHkcu, path + "\\NoNotify", kKeyRead));
  EXPECT_TRUE(registry.KeyExists(path + "\\NoNotify"));
  ASSERT_TRUE(registry.OpenKeyReadOnly(path + "\\NoNotify"));
  EXPECT_EQ(registry.ReadInteger("v"), 1u);

  EXPECT_FALSE(registry.KeyExists(path + "\\QueryOnly"));  // so an export skips it
  ASSERT_TRUE(registry.OpenKeyReadOnly(path + "\\QueryOnly"));
  EXPECT_EQ(registry.ReadInteger("v"), 2u);
  std::vector<std::string> names;
  registry.GetKeyNames(names);
  EXPECT_TRUE(names.empty());

  EXPECT_FALSE(registry.KeyExists(path + "\\Nothing"));
  EXPECT_FALSE(registry.OpenKeyReadOnly(path + "\\Nothing"));

  // An export leaves out the two it cannot enumerate, and says so.
  ExportRequest request;
  request.keyPaths = {"HKCU\\" + path, "HKCU\\" + path + "\\Nothing"};
  ExportLosses losses;
  std::string bytes = ExportToBytes(store, request, &losses);
  EXPECT_EQ(bytes.find(Utf16ToLeBytes(u"QueryOnly]")), std::string::npos);
  ASSERT_EQ(losses.Count(LossKind::UnreadableKey), 3u);
  const std::string reg = "HKEY_CURRENT_USER\\" + path;
  for (const auto& [i, key] : {std::pair{0, reg + "\\Nothing"}, std::pair{1, reg + "\\QueryOnly"},
                               std::pair{2, reg + "\\Nothing"}}) {
    EXPECT_EQ(losses.Listed()[i].key, key);
    EXPECT_EQ(losses.Listed()[i].reason, "アクセスが拒否されました");
  }
}

TEST_F(Win32StoreTest, TheAccessorReadsThroughIt) {
  auto key = Create("");
  ASSERT_TRUE(key->SetValue("n", kRegDword, std::string("\x05\0\0\0", 4)));
  TRegistry registry(store);
  registry.SetRootKey(kHkcu);
  ASSERT_TRUE(registry.OpenKeyReadOnly(path));
  EXPECT_EQ(registry.ReadInteger("n"), 5u);
}

}  // namespace
}  // namespace tarnwick::test
