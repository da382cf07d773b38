// Exports of the example prefix compared with what Wine's own regedit wrote
// for the same keys.
#include <gtest/gtest.h>

#include "common/text_codec.h"
#include "reg_export_fixture.h"
#include "registry/wine/wine_prefix_store.h"

namespace tarnwick::test {
namespace {

std::string ExportExample(const std::string& keyPath) {
  WinePrefixStore store(TestDataPath("../../examples/wine-prefix"));
  ExportRequest request;
  request.keyPaths = {keyPath};
  return ExportToBytes(store, request);
}

TEST(WineRegeditGoldenTest, UserKeysMatchWineRegeditByteForByte) {
  std::string wine = ReadFileBytes(TestDataPath("wine-regedit/examplesoft.reg"));
  // The one line that differs on purpose: Wine escapes the line feed.
  std::string escaped = Utf16ToLeBytes(u"\"Note\"=\"line 1\\nline 2\"");
  std::string ours = Utf16ToLeBytes(u"\"Note\"=\"line 1\r\nline 2\"");
  std::size_t at = wine.find(escaped);
  ASSERT_NE(at, std::string::npos);
  wine.replace(at, escaped.size(), ours);
  EXPECT_EQ(ExportExample("HKCU\\Software\\ExampleSoft"), wine);
}

TEST(WineRegeditGoldenTest, ClassesRootMatchesWineRegeditByteForByte) {
  EXPECT_EQ(ExportExample("HKCR\\ExampleSoft.Document"),
            ReadFileBytes(TestDataPath("wine-regedit/examplesoft-document.reg")));
}

}  // namespace
}  // namespace tarnwick::test
