#include "regread/reg_compare.h"

#include <gtest/gtest.h>

#include "common/text_codec.h"
#include "reg_export_fixture.h"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;

std::vector<std::string> Listed(const RegComparison& comparison) {
  static const char* kinds[] = {"+key", "-key", "+", "~", "-"};
  std::vector<std::string> out;
  for (const RegChange& c : comparison.changes) {
    std::string line = std::string(kinds[static_cast<int>(c.kind)]) + " " + c.key;
    if (c.kind >= RegChange::Kind::ValueAdded) {
      line += "|" + c.valueName + " " + (c.before ? RegValueText(*c.before) : "") + " -> " +
              (c.after ? RegValueText(*c.after) : "");
    }
    out.push_back(line);
  }
  return out;
}

RegComparison Compare(MemoryStore& store, const std::string& body) {
  std::string text = "Windows Registry Editor Version 5.00\n" + body;
  return CompareRegImport(ReadRegText(RegFileBytes(5, text), "f"), store);
}

TEST(RegCompareTest, NamesWhatAnImportWouldAddChangeAndDelete) {
  MemoryStore store;
  store.SetString("HKCU\\Software\\App", "a", "1");
  store.SetDword("HKCU\\Software\\App", "b", 2);
  store.SetString("HKCU\\Software\\App\\Old", "x", "gone");
  store.AddKey("HKCU\\Software\\App\\Old\\Below");
  store.AddKey("HKCU\\Software\\Locked");
  store.SetUnreadable("HKCU\\Software\\Locked");
  RegComparison comparison = Compare(store,
                                     "[-HKEY_CURRENT_USER\\Software\\App\\Old]\n"
                                     "[HKEY_CURRENT_USER\\Software\\app]\n"
                                     "\"A\"=\"1\"\n"
                                     "\"b\"=dword:3\n"
                                     "\"c\"=\"new\"\n"
                                     "\"none\"=-\n"
                                     "[HKEY_CURRENT_USER\\Software\\App\\New\\Deep]\n"
                                     "\"v\"=hex:01\n"
                                     "[HKEY_CURRENT_USER\\Software\\Locked]\n");
  EXPECT_EQ(Listed(comparison), (std::vector<std::string>{
                                    "~ HKEY_CURRENT_USER\\Software\\App|b dword:00000002 -> "
                                    "dword:00000003",
                                    "+ HKEY_CURRENT_USER\\Software\\App|c  -> \"new\"",
                                    "+key HKEY_CURRENT_USER\\Software\\App\\New",
                                    "+key HKEY_CURRENT_USER\\Software\\App\\New\\Deep",
                                    "+ HKEY_CURRENT_USER\\Software\\App\\New\\Deep|v  -> hex:01",
                                    "-key HKEY_CURRENT_USER\\Software\\App\\Old",
                                    "- HKEY_CURRENT_USER\\Software\\App\\Old|x \"gone\" -> ",
                                    "-key HKEY_CURRENT_USER\\Software\\App\\Old\\Below",
                                }));
  const RegChangeCounts& n = comparison.counts;
  EXPECT_EQ((std::vector<std::size_t>{n.keysAdded, n.keysDeleted, n.valuesAdded, n.valuesChanged,
                                      n.valuesDeleted}),
            (std::vector<std::size_t>{2, 2, 2, 1, 1}));
  EXPECT_EQ(comparison.unreadableKeys,
            std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Locked"});
}

// A backup compared with the registry it was made from changes nothing,
// deletion lines and all.
TEST(RegCompareTest, AnExportComparedWithItsSourceChangesNothing) {
  MemoryStore store;
  store.SetString("HKCU\\Software\\Same", "", "default");
  store.SetString("HKCU\\Software\\Same", "text", "a\"b\\c 日本");
  store.SetString("HKCU\\Software\\Same", "path", "%A%", kRegExpandSz);
  store.SetDword("HKCU\\Software\\Same\\Sub", "n", 7);
  store.SetValue("HKCU\\Software\\Same\\Sub\\Deeper", "bin", kRegBinary, std::string(300, '\1'));
  for (int version : {4, 5}) {
    ExportRequest request;
    request.version = version;
    request.options.FullRestore = true;
    request.keyPaths = {"HKCU\\Software\\Same"};
    const std::string bytes = ExportToBytes(store, request);
    RegComparison comparison = CompareRegImport(ReadRegText(bytes, "f"), store);
    EXPECT_EQ(Listed(comparison), std::vector<std::string>{}) << "version " << version;
    EXPECT_EQ(comparison.counts.Total(), 0u);
    // The same, read from the file as it is compared.
    TempDir dir;
    WriteFileBytes(dir.File("f.reg"), bytes);
    EXPECT_EQ(Listed(CompareRegFile(dir.File("f.reg"), store)), std::vector<std::string>{});
  }
}

TEST(RegCompareTest, ValuesAreShownAsARegFileShowsThemAndLongOnesAreCut) {
  const std::pair<RegValue, std::string> cases[] = {
      {{kRegSz, Utf16ToLeBytes(u"a\"\\\r\n"s + u'\0')}, "\"a\\\"\\\\\\r\\n\""},
      {{kRegSz, Utf16ToLeBytes(u"a\0b"s)}, "hex(1):61,00,00,00,62,00"},
      {{kRegDword, std::string("\x0a\0\0\x80", 4)}, "dword:8000000a"},
      {{kRegDword, std::string("\1", 1)}, "hex(4):01"},
      {{kRegBinary, std::string(40, '\xff')},
       "hex:ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff…(40 バイト)"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(RegValueText(value), text);
}

}  // namespace
}  // namespace tarnwick::test
