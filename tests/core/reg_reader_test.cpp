#include "regread/reg_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/key_path.h"
#include "common/text_codec.h"
#include "reg_export_fixture.h"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// One line per step: "line kind key|name type:bytes".
std::vector<std::string> Steps(const RegImport& import) {
  static const char* kinds[] = {"create", "delete", "set", "unset"};
  std::vector<std::string> out;
  for (const RegImportStep& s : import.steps) {
    std::string line = std::to_string(s.line) + " " + kinds[static_cast<int>(s.kind)] + " " + s.key;
    if (s.kind == RegImportStep::Kind::SetValue || s.kind == RegImportStep::Kind::DeleteValue) {
      line += "|" + s.valueName;
    }
    if (s.kind == RegImportStep::Kind::SetValue) {
      line += " " + std::to_string(s.value.type) + ":" + Hex(s.value.data);
    }
    out.push_back(line);
  }
  return out;
}

std::vector<std::string> Problems(const RegImport& import) {
  std::vector<std::string> out;
  for (const RegReadProblem& p : import.problems) out.push_back(RegReadProblemText("f", p));
  return out;
}

RegImport Read(int version, const std::string& body) {
  std::string header = version == 4 ? "REGEDIT4\n" : "Windows Registry Editor Version 5.00\n";
  return ReadRegText(RegFileBytes(version, header + body), "f");
}

TEST(RegReaderTest, EveryFormOfAVersion5FileBecomesTheImportsSteps) {
  RegImport import = Read(5,
                          "\n; comment\n"
                          "[-HKEY_CURRENT_USER\\Software\\A]\n"
                          "[hkey_current_user\\Software\\\\A\\]\n"
                          "@=\"x\\\"\\\\\\n\"\n"
                          "\"n\\\"\" = dword:0000000A ; c\n"
                          "\"b\"=hex:00,ff,\\\n"
                          "; comment inside\n"
                          "\n"
                          "  01\n"
                          "\"e\"=hex(2):25,00,41,00\n"
                          "\"none\"=hex(0):\n"
                          "\"gone\"=-\n");
  EXPECT_TRUE(import.unicode);
  EXPECT_EQ(import.version, 5);
  EXPECT_EQ(Steps(import), (std::vector<std::string>{
                               "4 delete HKEY_CURRENT_USER\\Software\\A",
                               "5 create HKEY_CURRENT_USER\\Software\\A",
                               "6 set HKEY_CURRENT_USER\\Software\\A| 1:78002200"
                               "5c000a000000",
                               "7 set HKEY_CURRENT_USER\\Software\\A|n\" 4:0a000000",
                               "8 set HKEY_CURRENT_USER\\Software\\A|b 3:00ff01",
                               "12 set HKEY_CURRENT_USER\\Software\\A|e 2:250041000000",
                               "13 set HKEY_CURRENT_USER\\Software\\A|none 0:",
                               "14 unset HKEY_CURRENT_USER\\Software\\A|gone",
                           }));
  EXPECT_TRUE(import.problems.empty()) << ::testing::PrintToString(Problems(import));
}

TEST(RegReaderTest, Regedit4TextIsShiftJisAndItsHexStringsAreStoredAsUtf16) {
  RegImport import = Read(4,
                          "[HKEY_LOCAL_MACHINE\\Software\\日本]\n"
                          "\"名前\"=\"値\"\n"
                          "\"m\"=hex(7):61,00,82,a0\n");
  EXPECT_FALSE(import.unicode);
  EXPECT_EQ(import.version, 4);
  EXPECT_EQ(Steps(import), (std::vector<std::string>{
                               "2 create HKEY_LOCAL_MACHINE\\Software\\日本",
                               "3 set HKEY_LOCAL_MACHINE\\Software\\日本|名前 1:24500000",
                               "4 set HKEY_LOCAL_MACHINE\\Software\\日本|m 7:6100000042300000",
                           }));
}

// What an importer passes over is named with its line, and the steps are
// those the importer takes anyway.
TEST(RegReaderTest, LinesAnImportPassesOverAreNamedWithTheirNumbers) {
  struct Case {
    std::string body;
    std::vector<std::string> steps;
    std::string problem;
  };
  const std::string key = "[HKEY_CURRENT_USER\\K]\n";
  const std::string created = "2 create HKEY_CURRENT_USER\\K";
  const Case cases[] = {
      {"\"v\"=\"x\"\n", {}, "f の 2 行目: 値を置くキーがありません"},
      {key + "[ HKEY_CURRENT_USER\\L]\n\"v\"=dword:1\n",
       {created, "4 set HKEY_CURRENT_USER\\K|v 4:01000000"},
       "f の 3 行目: キーの行が正しくありません"},
      {"[HKEY_NOWHERE\\K]\n", {}, "f の 2 行目: ルートキーの名前が正しくありません"},
      {"[-HKEY_CURRENT_USER]\n", {}, "f の 2 行目: ルートキーは削除されません"},
      {key + "\"v\"=dword:123456789\n", {created}, "f の 3 行目: DWORD 値が正しくありません"},
      {key + "\"v\"=\"x\" y\n", {created}, "f の 3 行目: 文字列が正しくありません"},
      {key + "\"v\"=hex:1,100\n", {created}, "f の 3 行目: 16 進データの行が正しくありません"},
      {key + "\"v\"=qword:1\n", {created}, "f の 3 行目: 不明なデータ型です"},
      {key + "\"v\"=\"\\q\"\n",
       {created, "3 set HKEY_CURRENT_USER\\K|v 1:71000000"},
       "f の 3 行目: 不明なエスケープ \\q は文字そのものとして読まれます"},
      {key + "\"v\"\n", {created}, "f の 3 行目: 「=」がありません"},
      {key + "\"v=1\n", {created}, "f の 3 行目: 値の名前の引用符が閉じていません"},
      {key + "junk\n", {created}, "f の 3 行目: 読み込まれない行です"},
      // A continuation that is not hex drops its value and itself.
      {key + "\"v\"=hex:01,\\\n[HKEY_CURRENT_USER\\L]\n\"w\"=dword:1\n",
       {created, "5 set HKEY_CURRENT_USER\\K|w 4:01000000"},
       "f の 4 行目: 16 進データの続きの行が正しくないので、値もこの行も読み込まれません"},
  };
  for (const Case& c : cases) {
    RegImport import = Read(5, c.body);
    EXPECT_EQ(Steps(import), c.steps) << c.body;
    EXPECT_EQ(Problems(import), std::vector<std::string>{c.problem}) << c.body;
  }
}

// Lines as Windows' regedit and Wine's import them: which values a line
// sets, and which it leaves unset.
TEST(RegReaderTest, ValuesAreSetOrLeftOutAsTheRegistryEditorDoes) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"\"a\"=\"v\" ;c\n\"b\"=\"v\" #c\n\"c\"=\"v\"#c\n\"d\"=dword:1234;5678\n\"e\"=dword:1234#5\n",
       {"a 1:7600", "d 4:34120000"}},
      {"\"a\"=dword:\n\"b\"=dword:0x1\n\"c\"=dword:000000001\n\"d\"=dword:1 2\n\"e\"=dword:1\n",
       {"e 4:01000000"}},
      {"\"a\"=\"x\"y\"\n\"b\"=\"x\"\"y\"\n\"c\"=\\\"x\"\n\"d\"=x\"\n\"e\"=\"\"\n", {"e 1:"}},
      // A hex list that ends in a backslash without its comma is broken; one
      // whose next line is not hex takes that line with it.
      {"\"a\"=hex(2):4c,69\\\n\"b\"=\"v\"\n\"c\"=hex(2):4c,69,\\\n\"d\"=\"v\"\n\"e\"=\"v\"\n",
       {"b 1:7600", "e 1:7600"}},
      // Comments after a continuation's backslash, and blank and comment lines
      // between its lines, are passed over; '#' is no comment.
      {"\"a\"=hex:01,\\ ;c\n\n; c\n  02,\\\n  03\n\"b\"=hex:01,\\#c\n  02\n", {"a 3:010203"}},
      {"\"a\"=hex:01\\\n,02\n\"b\"=hex:01,\\\n  ,02\n", {}},
      {"\"a\\\"b\"=\"v \\\"q\\\"\"\n\"c'd\"=dword:8\n",
       {"a\"b 1:76002000220071002200", "c'd 4:08000000"}},
      {"\"a\\\n\"=\"v\"\n\"b\"=\"v\"\n", {"b 1:7600"}},
  };
  for (const auto& [body, values] : cases) {
    RegImport import = Read(4, "[HKEY_CURRENT_USER\\K]\n" + body);
    std::vector<std::string> set;
    for (const RegImportStep& step : import.steps) {
      if (step.kind != RegImportStep::Kind::SetValue) continue;
      std::string data = Hex(step.value.data);
      // Strings without their final NUL, to keep the table short.
      if (step.value.type == kRegSz) data.resize(data.size() - 4);
      set.push_back(step.valueName + " " + std::to_string(step.value.type) + ":" + data);
    }
    EXPECT_EQ(set, values) << body;
  }
}

TEST(RegReaderTest, AFileNoImporterReadsIsRefusedNamingTheLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "f の 1 行目: REG ファイルの見出し"},
      {"\xef\xbb\xbfREGEDIT4\r\n", "f の 1 行目: REG ファイルの見出し"},
      {"REGEDIT 4\r\n", "f の 1 行目: REG ファイルの見出し"},
      {"REGEDIT\r\nHKEY_CLASSES_ROOT\\.x = y\r\n", "f: Windows 3.1 形式"},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"a\0b\"\r\n"s,
       "f の 3 行目: NUL 文字があります"},
      {"REGEDIT4\r\n" + std::string(kMaxRegLineLength + 1, ';'), "f の 2 行目: 行が長すぎます"},
  };
  for (const auto& [bytes, message] : cases) {
    try {
      ReadRegText(bytes, "f");
      ADD_FAILURE() << "read: " << bytes.substr(0, 40);
    } catch (const ERegReadError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
    }
  }
}

// Every value the writer exports comes back as the same type and bytes,
// whatever the version and the form of strings with line breaks.
TEST(RegReaderTest, WhatTheWriterExportsReadsBackAsTheSameValues) {
  MemoryStore store;
  const char* key = "HKCU\\Software\\Round";
  store.SetString(key, "", "default");
  store.SetString(key, "quote\"back\\slash", "a\"b\\c");
  store.SetString(key, "lines", "one\r\ntwo\n[three]");
  store.SetString(key, "path", "%SystemRoot%\\x", kRegExpandSz);
  store.SetValue(key, "multi", kRegMultiSz, Utf16ToLeBytes(u"a\0b\0\0"s));
  store.SetDword(key, "dword", 0x12345678);
  store.SetValue(key, "bin", kRegBinary, std::string(200, '\x5a'));
  store.SetValue(key, "none", kRegNone, "");
  store.SetValue(key, "q", kRegQword, std::string("\1\2\3\4\5\6\7\x8", 8));
  store.SetString("HKCU\\Software\\Round\\Sub", "日本", "語");
  for (int version : {4, 5}) {
    for (bool newLines : {false, true}) {
      ExportRequest request;
      request.version = version;
      request.options.NewLineImport = newLines;
      request.keyPaths = {key};
      ExportLosses losses;
      RegImport import = ReadRegText(ExportToBytes(store, request, &losses), "f");
      EXPECT_TRUE(import.problems.empty()) << ::testing::PrintToString(Problems(import));
      std::vector<std::string> lost;
      for (const ExportLoss& loss : losses.Listed()) lost.push_back(loss.value.value_or(""));
      int values = 0;
      for (const RegImportStep& step : import.steps) {
        if (step.kind != RegImportStep::Kind::SetValue) continue;
        ++values;
        if (std::find(lost.begin(), lost.end(), step.valueName) != lost.end()) continue;
        std::string path = step.key.substr(step.key.find('\\') + 1);
        auto stored = store.OpenKey(kHKeyCurrentUser, path, kKeyExistsAccess);
        RegValue value;
        ASSERT_TRUE(stored && stored->QueryValue(step.valueName, TextForm::Wide, ~0u, value))
            << step.key << "|" << step.valueName;
        EXPECT_EQ(step.value.type, value.type) << step.valueName;
        EXPECT_EQ(Hex(step.value.data), Hex(value.data))
            << "version " << version << " " << step.valueName;
      }
      EXPECT_EQ(values, 10);
    }
  }
}

// Every event a reading gives, one line each.
class EventList : public RegReadSink {
 public:
  std::vector<std::string> events;
  void Header(int version) override { events.push_back("v" + std::to_string(version)); }
  void Key(std::u16string_view path, bool deletion, std::size_t line) override {
    events.push_back(std::to_string(line) + (deletion ? " -[" : " [") + Utf16ToUtf8(path));
  }
  void Value(std::u16string_view name, uint32_t type, std::string_view bytes,
             std::size_t line) override {
    events.push_back(std::to_string(line) + " " + Utf16ToUtf8(name) + " " + std::to_string(type) +
                     ":" + Hex(std::string(bytes)));
  }
  void DeleteValue(std::u16string_view name, std::size_t line) override {
    events.push_back(std::to_string(line) + " -" + Utf16ToUtf8(name));
  }
  void Problem(std::size_t line, std::string text) override {
    events.push_back(std::to_string(line) + " ! " + text);
  }
};

TEST(RegReaderTest, ReadingInPiecesGivesWhatReadingWholeGives) {
  const std::string body =
      "[HKEY_CURRENT_USER\\A]\r\n\"s\"=\"x\\\"y\\\\z\"\r\"d\"=dword:0000002a\n"
      "@=hex(2):41,00,\\\r\n  42,00,00,00\r\n\"b\"=hex:01,02,\\\r\r\n  03\r\n"
      "odd line\n[-HKEY_CURRENT_USER\\A\\B]\r\n\"gone\"=-\r\n\r\n";
  for (int version : {4, 5}) {
    std::string bytes =
        version == 4
            ? "REGEDIT4\r\n" + body
            : "\xff\xfe"s +
                  Utf16ToLeBytes(Utf8ToUtf16("Windows Registry Editor Version 5.00\r\n" + body)) +
                  "x";  // an odd last byte is dropped
    EventList whole;
    ReadRegText(bytes, "f", whole);
    for (std::size_t piece : {1u, 3u, 7u, 4096u}) {
      SCOPED_TRACE(std::to_string(version) + " in pieces of " + std::to_string(piece));
      EventList pieces;
      std::size_t at = 0;
      EXPECT_EQ(ReadRegStream(
                    [&](char* buffer, std::size_t room) {
                      std::size_t n = std::min({piece, room, bytes.size() - at});
                      bytes.copy(buffer, n, at);
                      at += n;
                      return n;
                    },
                    "f", pieces),
                version == 5);
      EXPECT_EQ(pieces.events, whole.events);
    }
    EXPECT_GE(whole.events.size(), 8u);
  }
}

}  // namespace
}  // namespace tarnwick::test
