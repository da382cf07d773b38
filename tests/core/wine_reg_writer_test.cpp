// Lines as wineserver writes them (the expected texts are its own output), and
// changes to a file's text that the reader sees as intended and no more.
#include "registry/wine/wine_reg_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/text_codec.h"
#include "registry/wine/wine_key.h"
#include "registry/wine/wine_reg_patch.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;

std::string Wide(std::u16string_view text) {
  return Utf16ToLeBytes(text);
}

std::string Sz(std::u16string text) {
  text.push_back(0);
  return Wide(text);
}

TEST(WineValueLineTest, EscapesAsWineserver) {
  EXPECT_EQ(WineValueLine(u"quote\"and\\back", kRegSz, Sz(u"say \"hi\" C:\\dir")),
            R"("quote\"and\\back"="say \"hi\" C:\\dir")"s + "\n");
  EXPECT_EQ(WineValueLine(u"ctrl", kRegSz,
                          Sz(u"A\tB\nC\rD\aE\x1b"
                             u"F\x01"
                             u"7")),
            R"("ctrl"="A\tB\nC\rD\aE\eF\0017")"s + "\n");
  EXPECT_EQ(WineValueLine(u"umlaut", kRegSz, Sz(u"Grüße €")),
            R"("umlaut"="Gr\xfc\x00dfe \x20ac")"s + "\n");
  EXPECT_EQ(WineValueLine(u"名前", kRegSz, Sz(u"日本語の値")),
            R"("\x540d\x524d"="\x65e5\x672c\x8a9e\x306e\x5024")"s + "\n");
  EXPECT_EQ(WineValueLine(u"c", kRegSz,
                          Sz(u"\x1f"
                             u"8\x02"
                             u"x\x7f")),
            R"("c"="\378\2x)"s
            "\x7f\"\n");
  EXPECT_EQ(WineValueLine(u"s", kRegSz, Sz(u"\U0001F600!")), R"("s"="\xd83d\xde00!")"s + "\n");
}

TEST(WineValueLineTest, DataFormsByTypeAndSize) {
  EXPECT_EQ(WineValueLine(u"", kRegSz, Sz(u"")), "@=\"\"\n");
  EXPECT_EQ(WineValueLine(u"exp", kRegExpandSz, Sz(u"%PATH%")), "\"exp\"=str(2):\"%PATH%\"\n");
  EXPECT_EQ(WineValueLine(u"multi", kRegMultiSz, Wide(u"a\0b\0\0"s)),
            "\"multi\"=str(7):\"a\\0b\\0\"\n");
  EXPECT_EQ(WineValueLine(u"dw", kRegDword, "\xcd\xab\0\0"s), "\"dw\"=dword:0000abcd\n");
  // String types without their NUL and dwords of another size are hex lists.
  EXPECT_EQ(WineValueLine(u"emptysz", kRegSz, ""), "\"emptysz\"=hex(1):\n");
  EXPECT_EQ(WineValueLine(u"noterm", kRegSz, Wide(u"AB")), "\"noterm\"=hex(1):41,00,42,00\n");
  EXPECT_EQ(WineValueLine(u"dw5", kRegDword, "\1\2\3\4\5"), "\"dw5\"=hex(4):01,02,03,04,05\n");
  EXPECT_EQ(WineValueLine(u"dp", 0xffff0007, "\x10"), "\"dp\"=hex(ffff0007):10\n");

  std::string bytes;
  for (int i = 0; i < 0x30; ++i) bytes += static_cast<char>(i);
  EXPECT_EQ(WineValueLine(u"bin", kRegBinary, bytes),
            "\"bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
            "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f\n");
}

TEST(WineSectionHeaderTest, PathAndTimes) {
  std::vector<std::u16string> names{u"Software", u"ZTest", u"ソフト"};
  EXPECT_EQ(WineSectionHeader(names, 0x1dd86c1d003d8f4),
            "[Software\\\\ZTest\\\\\\x30bd\\x30d5\\x30c8] 1796699486\n#time=1dd86c1d003d8f4\n");
  names = {u"[y", u"br]acket \"q\""};
  EXPECT_EQ(WineSectionHeader(names, 0x1da1747c66d0000),
            "[\\[y\\\\br\\]acket \"q\"] 1700000000\n#time=1da1747c66d0000\n");
  EXPECT_EQ(WineSectionHeader({}, 0x1da1747c66d0000), "[] 1700000000\n#time=1da1747c66d0000\n");
  EXPECT_EQ(WineUserFileHeader(WineArch::Win32),
            "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
            "#arch=win32\n");
}

TEST(WineValueLineTest, ReadsBackAsWritten) {
  const std::u16string texts[] = {u"",
                                  u"\xe9"
                                  u"a\xe9g\xe9",
                                  u"\x01"
                                  u"7\x01"
                                  u"8\x00"
                                  u"0",
                                  u"\\\"[]\\x41\\101",
                                  u"\xd800"
                                  u"z\xdfff",
                                  u"tab\there\x7f\x80\xffff"};
  const std::vector<std::u16string> path{u"K"};
  for (const std::u16string& text : texts) {
    std::string file = "WINE REGISTRY Version 2\n\n" + WineSectionHeader(path, 0x1da1747c66d0000) +
                       WineValueLine(text, kRegSz, Sz(text)) +
                       WineValueLine(u"m", kRegMultiSz, Sz(text));
    WineRegFile parsed = ParseWineRegistry(file);
    const WineKey* key = parsed.root->FindSubKey(u"k");
    ASSERT_TRUE(key) << file;
    ASSERT_EQ(key->Values().size(), 2u) << file;
    const WineValue* value = key->FindValue(text);
    ASSERT_TRUE(value) << file;
    EXPECT_EQ(value->name, text) << file;
    EXPECT_EQ(value->data, Sz(text)) << file;
    EXPECT_EQ(key->FindValue(u"m")->data, Sz(text)) << file;
  }
}

constexpr const char* kFile =
    "WINE REGISTRY Version 2\n"
    "\n"
    "[A] 1\n"
    "\"v\"=\"old\"\n"
    "\"bin\"=hex:01,02,\\\n"
    "  03,\\\n"
    "[NotAKey]\n"
    "\"z\"=dword:00000001\n"
    "\n"
    "[B\\\\C] 1\n"
    "\"x\"=\"1\"\n"
    "\n"
    "[a] 2\n"
    "\"V\"=\"later\"\n"
    "\n"
    "[D] 1\n";

std::string Put(std::string text, std::initializer_list<std::u16string_view> key,
                std::u16string_view name, std::string_view line, std::string_view header = "") {
  std::vector<std::u16string> folded;
  for (auto part : key) folded.push_back(FoldName(part));
  PutWineValueLine(text, folded, name, line, header);
  return text;
}

std::string Replaced(std::string text, std::string_view what, std::string_view with) {
  return text.replace(text.find(what), what.size(), with);
}

TEST(WinePatchTest, ValueLinesReplacedOrAddedInTheirSection) {
  // The last occurrence wins, with its continuation lines, the last of them
  // looking like a key line.
  EXPECT_EQ(Put(kFile, {u"a"}, u"BIN", "\"bin\"=\"s\"\n"),
            Replaced(kFile, "\"bin\"=hex:01,02,\\\n  03,\\\n[NotAKey]\n", "\"bin\"=\"s\"\n"));
  EXPECT_EQ(Put(kFile, {u"A"}, u"v", "\"v\"=\"new\"\n"),
            Replaced(kFile, "\"V\"=\"later\"", "\"v\"=\"new\""));
  // A new value goes after the last line of the key's last section.
  EXPECT_EQ(Put(kFile, {u"b", u"c"}, u"y", "\"y\"=\"2\"\n"),
            Replaced(kFile, "\"x\"=\"1\"\n", "\"x\"=\"1\"\n\"y\"=\"2\"\n"));
  EXPECT_EQ(Put(kFile, {u"A"}, u"n", "\"n\"=\"n\"\n"),
            Replaced(kFile, "\"V\"=\"later\"\n", "\"V\"=\"later\"\n\"n\"=\"n\"\n"));
  std::string unended = kFile;
  unended.pop_back();
  EXPECT_EQ(Put(unended, {u"D"}, u"", "@=\"d\"\n"), std::string(kFile) + "@=\"d\"\n");
  // A key without a section of its own gets one at the end.
  EXPECT_EQ(Put(kFile, {u"B"}, u"x", "\"x\"=\"b\"\n", "[B] 5\n"),
            std::string(kFile) + "\n[B] 5\n\"x\"=\"b\"\n");
  EXPECT_EQ(Put(unended, {u"E"}, u"", "@=\"\"\n", "[E] 5\n"),
            std::string(kFile) + "\n[E] 5\n@=\"\"\n");
  EXPECT_FALSE(FindWineSection(kFile, std::vector<std::u16string>{u"notakey"}, u"z").keyFound);
}

TEST(WinePatchTest, LinesTheReaderDropsContinueNothing) {
  // After a malformed key line, and for a value name the reader refuses,
  // hex data do not go on: the next line is read as a line of its own.
  std::string text = "WINE REGISTRY Version 2\n[Bad\n\"h\"=hex:00,\\\n[T] 1\n\"" +
                     std::string(16384, 'n') + "\"=hex:00,\\\n\"t\"=\"1\"\n";
  EXPECT_EQ(Put(text, {u"T"}, u"t", "\"t\"=\"2\"\n"), Replaced(text, "\"t\"=\"1\"", "\"t\"=\"2\""));

  // CR LF line ends, and a NUL byte ending a line's text.
  text = "WINE REGISTRY Version 2\r\n[T] 1\r\n\"t\"=\"1\"\0junk\r\n\r\n[U] 1\r\n"s;
  EXPECT_EQ(Put(text, {u"t"}, u"T", "\"t\"=\"2\"\n"),
            Replaced(text, "\"t\"=\"1\"\0junk\r\n"s, "\"t\"=\"2\"\n"));
  EXPECT_EQ(Put(text, {u"t"}, u"u", "\"u\"=\"2\"\n"),
            Replaced(text, "junk\r\n"s, "junk\r\n\"u\"=\"2\"\n"));
}

}  // namespace
}  // namespace tarnwick
