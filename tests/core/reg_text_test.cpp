// Whole-file tests of the REG text: every byte of the output is compared.
#include "regwrite/reg_text.h"

#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/text_codec.h"
#include "fake_ports.h"
#include "reg_export_fixture.h"

namespace tarnwick::test {
namespace {

constexpr const char* kFoo = "HKCU\\Software\\Foo";

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string Sequence(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out.push_back(static_cast<char>(i));
  return out;
}

// The example key: a default string, an expandable string, a DWORD and binary
// data, in that creation order, and one empty subkey.
void AddFooKey(MemoryStore& store) {
  store.SetString(kFoo, "", "x");
  store.SetString(kFoo, "Path", "%A%", kRegExpandSz);
  store.SetDword(kFoo, "Count", 10);
  store.SetValue(kFoo, "Data", kRegBinary, Bytes({0, 1}));
  store.AddKey("HKCU\\Software\\Foo\\Sub");
}

ExportRequest FooRequest(int version) {
  ExportRequest request;
  request.version = version;
  request.options.AddComment = true;
  request.options.FullRestore = true;
  request.itemName = "Foo app";
  request.itemComment = "settings";
  request.keyPaths = {kFoo};
  return request;
}

TEST(RegTextTest, ExampleKeyInVersion5) {
  MemoryStore store;
  AddFooKey(store);
  EXPECT_EQ(ExportToBytes(store, FooRequest(5)),
            RegFileBytes(5,
                         "Windows Registry Editor Version 5.00\n\n"
                         "; [Foo app - settings]\n"
                         "[-HKEY_CURRENT_USER\\Software\\Foo]\n\n"
                         "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                         "@=\"x\"\n"
                         "\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"
                         "\"Count\"=dword:0000000a\n"
                         "\"Data\"=hex:00,01\n\n"
                         "[HKEY_CURRENT_USER\\Software\\Foo\\Sub]\n\n"));
}

TEST(RegTextTest, ExampleKeyInVersion4) {
  MemoryStore store;
  AddFooKey(store);
  EXPECT_EQ(ExportToBytes(store, FooRequest(4)),
            RegFileBytes(4,
                         "REGEDIT4\n\n"
                         "; [Foo app - settings]\n"
                         "[-HKEY_CURRENT_USER\\Software\\Foo]\n\n"
                         "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                         "@=\"x\"\n"
                         "\"Path\"=hex(2):25,41,25,00\n"
                         "\"Count\"=dword:0000000a\n"
                         "\"Data\"=hex:00,01\n\n"
                         "[HKEY_CURRENT_USER\\Software\\Foo\\Sub]\n\n"));
}

TEST(RegTextTest, NarrowReadsInVersion5GiveTheSameText) {
  MemoryStore store;
  AddFooKey(store);
  store.SetString(kFoo, "日本", "ソフト");
  std::string wide = ExportToBytes(store, FooRequest(5));
  // The same run with strings read in the system code page.
  TempDir dir;
  RegOutputFile file;
  NoProgress progress;
  RegWriter writer(store, file, progress);
  writer.UnicodeRegistry = false;
  writer.Options = FooRequest(5).options;
  file.OpenRegFile(dir.File("narrow.reg"));
  writer.RegWriteHeader();
  writer.RegWriteKey(kFoo, "Foo app", "settings", 0);
  file.CloseRegFile();
  EXPECT_EQ(ReadFileBytes(dir.File("narrow.reg")), wide);
}

// Expected hex lines for a value: the prefix, then bytes 0..n-1 wrapped.
std::string HexLines(const std::string& prefix, int n, int firstLineBytes) {
  static const char* digits = "0123456789abcdef";
  std::string out = prefix;
  int onLine = 0, limit = firstLineBytes;
  for (int i = 0; i < n; ++i) {
    if (onLine == limit) {
      out += ",\\\n  ";
      onLine = 0;
      limit = 25;
    } else if (i > 0) {
      out += ",";
    }
    out += digits[i >> 4 & 0xF];
    out += digits[i & 0xF];
    ++onLine;
  }
  return out + "\n";
}

struct HexCase {
  const char* name;
  int version;
  const char* valueName;
  int bytes;
  int firstLineBytes;
};

class RegTextHexWrapTest : public testing::TestWithParam<HexCase> {};

TEST_P(RegTextHexWrapTest, WrapsAfterColumn76) {
  const HexCase& c = GetParam();
  MemoryStore store;
  store.SetValue(kFoo, c.valueName, kRegBinary, Sequence(c.bytes));
  ExportRequest request;
  request.version = c.version;
  request.keyPaths = {kFoo};
  std::string name = *c.valueName ? "\"" + std::string(c.valueName) + "\"=hex:" : "@=hex:";
  std::string header = c.version == 4 ? "REGEDIT4\n\n" : "Windows Registry Editor Version 5.00\n\n";
  EXPECT_EQ(ExportToBytes(store, request),
            RegFileBytes(c.version, header + "[HKEY_CURRENT_USER\\Software\\Foo]\n" +
                                        HexLines(name, c.bytes, c.firstLineBytes) + "\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegTextHexWrapTest,
    testing::Values(HexCase{"ThirtyBytesNamedData", 5, "Data", 30, 22},
                    HexCase{"DefaultValue24BytesFitOneLine", 5, "", 24, 24},
                    HexCase{"DefaultValue25BytesWrapOnce", 5, "", 25, 24},
                    HexCase{"LongDataHas25BytesPerLine", 4, "", 100, 24},
                    HexCase{"DoubleByteNameCountsTwoInVersion4", 4, "日本", 30, 22},
                    HexCase{"DoubleByteNameCountsOneInVersion5", 5, "日本", 30, 23},
                    HexCase{"NoDataGivesThePrefixOnly", 5, "Data", 0, 22}),
    [](const testing::TestParamInfo<HexCase>& info) { return std::string(info.param.name); });

TEST(RegTextTest, SingleValueKeyPathWritesOnlyThatValue) {
  MemoryStore store;
  AddFooKey(store);
  ExportRequest request = FooRequest(5);
  request.keyPaths = {"HKCU\\Software\\Foo|Count", "HKCU\\Software\\Foo|"};
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(5,
                                                        "Windows Registry Editor Version 5.00\n\n"
                                                        "; [Foo app - settings]\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                                                        "\"Count\"=dword:0000000a\n\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                                                        "@=\"x\"\n\n"));
}

TEST(RegTextTest, RootKeyPathsNameTheRoot) {
  MemoryStore store;
  store.SetDword("HKCU", "Top", 1);
  ExportRequest request;
  request.keyPaths = {"HKCU|Top", "HKCU\\Missing", "HKXX\\Software"};
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(5,
                                                        "Windows Registry Editor Version 5.00\n\n"
                                                        "[HKEY_CURRENT_USER]\n"
                                                        "\"Top\"=dword:00000001\n\n"));
}

TEST(RegTextTest, LineBreaksInStrings) {
  MemoryStore store;
  store.SetString(kFoo, "s", "L1\r\nL2");
  ExportRequest request;
  request.keyPaths = {kFoo};

  request.version = 5;
  request.options.NewLineImport = true;
  std::string hex = "\"s\"=hex(1):4c,00,31,00,0d,00,0a,00,4c,00,32,00,00,00\n";
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(5,
                                                        "Windows Registry Editor Version 5.00\n\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Foo]\n" +
                                                            hex + "\n"));

  // Without the option each LF becomes CR LF inside the quotes: CR CR LF.
  request.options.NewLineImport = false;
  std::string expected = "\xFF\xFE" + Utf16ToLeBytes(
                                          u"Windows Registry Editor Version 5.00\r\n\r\n"
                                          u"[HKEY_CURRENT_USER\\Software\\Foo]\r\n"
                                          u"\"s\"=\"L1\r\r\nL2\"\r\n\r\n");
  EXPECT_EQ(ExportToBytes(store, request), expected);

  request.version = 4;
  request.options.NewLineImport = true;  // no effect in version 4
  EXPECT_EQ(ExportToBytes(store, request),
            RegFileBytes(4,
                         "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Foo]\n"
                         "\"s\"=\"L1\\r\\nL2\"\n\n"));
}

TEST(RegTextTest, EscapesNamesAndDataByCharacter) {
  MemoryStore store;
  // ソ and 表 end in byte 0x5C in CP932; escaping must not double it.
  store.SetString(kFoo, "say \"ソ\"", "C:\\表\\ポ");
  store.SetString(kFoo, "€uro", "€");  // not in CP932
  ExportRequest request;
  request.keyPaths = {kFoo};
  const char* body =
      "[HKEY_CURRENT_USER\\Software\\Foo]\n"
      "\"say \\\"ソ\\\"\"=\"C:\\\\表\\\\ポ\"\n";
  request.version = 4;
  EXPECT_EQ(ExportToBytes(store, request),
            RegFileBytes(4, std::string("REGEDIT4\n\n") + body + "\"?uro\"=\"?\"\n\n"));
  request.version = 5;
  EXPECT_EQ(ExportToBytes(store, request),
            RegFileBytes(5, std::string("Windows Registry Editor Version 5.00\n\n") + body +
                                "\"€uro\"=\"€\"\n\n"));
}

TEST(RegTextTest, DwordSizes) {
  MemoryStore store;
  store.SetValue(kFoo, "big", kRegDword, Sequence(8));
  store.SetValue(kFoo, "short", kRegDword, Bytes({0x34, 0x12}));
  store.SetValue(kFoo, "empty", kRegDword, "");
  ExportRequest request;
  request.keyPaths = {kFoo};
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(5,
                                                        "Windows Registry Editor Version 5.00\n\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                                                        "\"big\"=hex(4):00,01,02,03,04,05,06,07\n"
                                                        "\"short\"=dword:00001234\n"
                                                        "\"empty\"=hex(4):\n\n"));
}

TEST(RegTextTest, OtherTypesUseTheHexForm) {
  MemoryStore store;
  store.SetString(kFoo, "multi", std::string("a\0b\0", 4), kRegMultiSz);
  store.SetValue(kFoo, "qword", kRegQword, Sequence(8));
  store.SetValue(kFoo, "none", kRegNone, "");
  store.SetValue(kFoo, "odd", 0xFFFF0007u, Bytes({0xff}));
  ExportRequest request;
  request.version = 4;
  request.keyPaths = {kFoo};
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(4,
                                                        "REGEDIT4\n\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                                                        "\"multi\"=hex(7):61,00,62,00,00\n"
                                                        "\"qword\"=hex(b):00,01,02,03,04,05,06,07\n"
                                                        "\"none\"=hex(0):\n"
                                                        "\"odd\"=hex(ffff0007):ff\n\n"));
}

TEST(RegTextTest, OddLengthStringStaysInsideItsData) {
  MemoryStore store;
  store.SetValue(kFoo, "odd", kRegSz, Bytes({'A', 0, 'B'}));
  store.SetValue(kFoo, "oddnul", kRegSz, Bytes({'A', 0, 0}));
  ExportRequest request;
  request.keyPaths = {kFoo};
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(5,
                                                        "Windows Registry Editor Version 5.00\n\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                                                        "\"odd\"=\"AB\"\n"
                                                        "\"oddnul\"=\"A\"\n\n"));
}

TEST(RegTextTest, MissingKeysAndCommentPlacement) {
  MemoryStore store;
  store.SetDword("HKCU\\Software\\Second", "v", 2);
  ExportRequest request;
  request.options.AddComment = true;
  request.options.FullRestore = true;
  request.keyPaths = {"HKCU\\Software\\First", "HKCU\\Software\\Second",
                      "HKCU\\Software\\Second|nope"};
  // The first key path is missing, so the item gets no comment line at all.
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(5,
                                                        "Windows Registry Editor Version 5.00\n\n"
                                                        "[-HKEY_CURRENT_USER\\Software\\Second]\n\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Second]\n"
                                                        "\"v\"=dword:00000002\n\n"));
}

TEST(RegTextTest, SubkeysDepthFirstWithoutCommentsOrDeletionLines) {
  MemoryStore store;
  store.AddKey("HKCU\\T\\b\\deep");
  store.AddKey("HKCU\\T\\A");
  store.AddKey("HKCU\\T\\gone\\child");
  store.SetVanished("HKCU\\T\\gone");  // listed, but fails the existence test
  store.SetDword("HKCU\\T\\b", "v", 1);
  ExportRequest request;
  request.options.AddComment = true;
  request.options.FullRestore = true;
  request.keyPaths = {"HKCU\\T"};
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(5,
                                                        "Windows Registry Editor Version 5.00\n\n"
                                                        "; [item]\n"
                                                        "[-HKEY_CURRENT_USER\\T]\n\n"
                                                        "[HKEY_CURRENT_USER\\T]\n\n"
                                                        "[HKEY_CURRENT_USER\\T\\A]\n\n"
                                                        "[HKEY_CURRENT_USER\\T\\b]\n"
                                                        "\"v\"=dword:00000001\n\n"
                                                        "[HKEY_CURRENT_USER\\T\\b\\deep]\n\n"));
}

TEST(RegTextTest, KeyThatCannotBeOpenedGetsOnlyItsKeyLine) {
  MemoryStore store;
  store.SetDword("HKCU\\Locked\\Sub", "v", 1);
  store.SetDword("HKCU\\Locked", "v", 1);
  store.SetUnreadable("HKCU\\Locked");
  ExportRequest request;
  request.keyPaths = {"HKCU\\Locked"};
  EXPECT_EQ(ExportToBytes(store, request), RegFileBytes(5,
                                                        "Windows Registry Editor Version 5.00\n\n"
                                                        "[HKEY_CURRENT_USER\\Locked]\n\n"));
}

TEST(RegTextTest, UnlistableSubkeysAreLeftOut) {
  MemoryStore store;
  store.SetDword("HKCU\\K", "v", 1);
  store.AddKey("HKCU\\K\\Sub");
  store.SetSubKeysUnlistable("HKCU\\K");
  ExportRequest request;
  request.keyPaths = {"HKCU\\K"};
  EXPECT_EQ(ExportToBytes(store, request),
            RegFileBytes(5,
                         "Windows Registry Editor Version 5.00\n\n"
                         "[HKEY_CURRENT_USER\\K]\n\"v\"=dword:00000001\n\n"));
}

TEST(RegTextTest, ValuesThatVanishAreLeftOut) {
  MemoryStore store;
  store.SetValue(kFoo, "bin", kRegBinary, Bytes({1}));
  store.SetString(kFoo, "str", "text");
  store.SetDword(kFoo, "kept", 7);
  store.SetValueFault(kFoo, "bin", MemoryStore::ValueFault::DataReadFails);
  store.SetValueFault(kFoo, "str", MemoryStore::ValueFault::Vanished);
  ExportRequest request;
  request.keyPaths = {kFoo};
  for (int version : {4, 5}) {
    request.version = version;
    std::string header = version == 4 ? "REGEDIT4\n\n" : "Windows Registry Editor Version 5.00\n\n";
    EXPECT_EQ(ExportToBytes(store, request),
              RegFileBytes(version, header + "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                                             "\"kept\"=dword:00000007\n\n"));
  }
}

template <typename Error>
void ExpectExportError(MemoryStore& store, int version, const std::string& message) {
  ExportRequest request;
  request.version = version;
  request.keyPaths = {kFoo};
  try {
    ExportToBytes(store, request);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
}

TEST(RegTextTest, FailedStringAndIntegerReadsEndTheRun) {
  MemoryStore strings;
  strings.SetString(kFoo, "str", "text");
  strings.SetValueFault(kFoo, "str", MemoryStore::ValueFault::DataReadFails);
  ExpectExportError<ERegistryException>(strings, 4, "'str' の取得に失敗しました");

  MemoryStore integers;
  integers.SetDword(kFoo, "dw", 1);
  integers.SetValueFault(kFoo, "dw", MemoryStore::ValueFault::DataReadFails);
  ExpectExportError<ERegistryException>(integers, 5, "'dw' の取得に失敗しました");
}

TEST(RegTextTest, ProgressCountsKeysDownToTheProgressLevel) {
  MemoryStore store;
  for (const char* key : {"HKCU\\P\\a\\x", "HKCU\\P\\b", "HKCU\\P\\c"}) store.SetDword(key, "v", 1);
  TempDir dir;
  RegOutputFile file;
  FakeProgress progress;
  RegWriter writer(store, file, progress);
  writer.ProgressLevel = 1;
  writer.TotalKeyCount = 2;
  file.OpenRegFile(dir.File("p.reg"));
  writer.RegWriteHeader();
  writer.RegWriteKey("HKCU\\P", "", "", 0);
  EXPECT_EQ(writer.KeyCount, 4);  // the key and its three children; a\x is below the level
  writer.RegWriteKey("HKCU\\Missing", "", "", 1);
  file.CloseRegFile();
  // 50% over four keys of the first path (12.5 rounds to 12, 37.5 to 38),
  // then 50% at once for the missing one.
  EXPECT_EQ(progress.shown, (std::vector<int>{12, 25, 38, 50, 100}));
  EXPECT_EQ(progress.checks, 8);  // one per value and one per position shown
  EXPECT_GE(progress.pumped, 5);  // at least once for each key counted or written
}

TEST(RegTextTest, RoundPercentTiesToEven) {
  EXPECT_EQ(RoundPercent(0.5), 0);
  EXPECT_EQ(RoundPercent(1.5), 2);
  EXPECT_EQ(RoundPercent(2.5), 2);
  EXPECT_EQ(RoundPercent(2.6), 3);
  EXPECT_EQ(RoundPercent(100.0000001), 100);
}

TEST(RegTextTest, CancelStopsAfterTheValue) {
  MemoryStore store;
  store.SetDword(kFoo, "a", 1);
  store.SetDword(kFoo, "b", 2);
  TempDir dir;
  TRegistry registry(store);
  RegOutputFile file;
  FakeProgress progress;
  progress.cancelAtCheck = 1;
  RegWriter writer(store, file, progress);
  file.OpenRegFile(dir.File("c.reg"));
  writer.RegWriteHeader();
  EXPECT_THROW(writer.RegWriteKey(kFoo, "", "", 0), EProgressCanceled);
  file.CloseRegFile();
  EXPECT_EQ(ReadFileBytes(dir.File("c.reg")),
            RegFileBytes(5,
                         "Windows Registry Editor Version 5.00\n\n"
                         "[HKEY_CURRENT_USER\\Software\\Foo]\n"
                         "\"a\"=dword:00000001\n"));
}

TEST(RegTextTest, ItemCaption) {
  EXPECT_EQ(ItemCaption("Foo app", ""), "[Foo app]");
  EXPECT_EQ(ItemCaption("Foo app", "settings"), "[Foo app - settings]");
}

}  // namespace
}  // namespace tarnwick::test
