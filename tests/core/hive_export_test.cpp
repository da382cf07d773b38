// A backup made from a Windows installation's hives is byte for byte the
// backup of the same keys in a Wine prefix: the keys of the fresh-prefix
// fixture, copied into a user's NTUSER.DAT in their Wine order (which is
// Windows' order for these names), exported from both stores.
#include <gtest/gtest.h>

#include "common/key_path.h"
#include "hive_builder.h"
#include "reg_export_fixture.h"
#include "registry/hive/hive_store.h"
#include "registry/wine/wine_prefix_store.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

TEST(HiveExportTest, ExportsAsTheSameKeysOfAWinePrefix) {
  WinePrefixStore wine(TestDataPath("wine8-fresh-prefix"));
  TempDir dir;
  TestInstallation windows(dir.Path());
  HiveBuilder& user = windows.User("S-1-5-21-7-7-7-1000", "wine");
  const std::vector<std::string> paths = {"Control Panel", "Software\\Wine"};
  for (const std::string& path : paths) {
    auto key = wine.OpenKey(kHKeyCurrentUser, path, kKeyRead);
    ASSERT_NE(key, nullptr) << path;
    user.Copy(*key, path);
  }
  windows.Write();
  HiveStore hive(dir.Path(), "");

  for (int version : {4, 5}) {
    SCOPED_TRACE(version);
    ExportRequest request;
    request.version = version;
    for (const std::string& path : paths) request.keyPaths.push_back("HKCU\\" + path);
    const std::string expected = ExportToBytes(wine, request);
    EXPECT_GT(expected.size(), 10000u);  // the copy holds something worth comparing
    EXPECT_EQ(ExportToBytes(hive, request), expected);
  }
}

}  // namespace
}  // namespace tarnwick::test
