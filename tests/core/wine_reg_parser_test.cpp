#include "registry/wine/wine_reg_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_codec.h"
#include "temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;

WineRegFile Parse(std::string_view body) {
  return ParseWineRegistry("WINE REGISTRY Version 2\n" + std::string(body));
}

// The key at a backslash-separated path below the branch root, or null.
const WineKey* Find(const WineRegFile& file, std::u16string_view path) {
  const WineKey* key = file.root.get();
  while (key && !path.empty()) {
    std::size_t cut = path.find(u'\\');
    key = key->FindSubKey(FoldName(path.substr(0, cut)));
    path.remove_prefix(cut == std::u16string_view::npos ? path.size() : cut + 1);
  }
  return key;
}

std::vector<std::string> SubKeyNames(const WineKey& key) {
  std::vector<std::string> names;
  for (const auto& subkey : key.SubKeys()) names.push_back(subkey->Name());
  return names;
}

std::vector<std::u16string> ValueNames(const WineKey& key) {
  std::vector<std::u16string> names;
  for (const WineValue& value : key.Values()) names.push_back(value.name);
  return names;
}

// The value of the one key "[K]" whose section is the given lines.
WineValue ValueOf(std::string_view lines, std::u16string_view name = u"v") {
  WineRegFile file = Parse("[K]\n" + std::string(lines) + "\n");
  const WineKey* key = Find(file, u"K");
  const WineValue* value = key ? key->FindValue(name) : nullptr;
  return value ? WineValue{value->name, value->type, value->data} : WineValue{u"<none>", 99, {}};
}

// String data decoded back to units, without the appended NUL.
std::u16string Text(const WineValue& value) {
  std::u16string units = LeBytesToUtf16(value.data);
  if (!units.empty() && units.back() == 0) units.pop_back();
  return units;
}

std::u16string TextOf(std::string_view quoted) {
  return Text(ValueOf("\"v\"=" + std::string(quoted)));
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

TEST(WineRegParserHeader, RefusesAnyOtherFirstLine) {
  for (std::string text :
       {""s, "\n"s, "WINE REGISTRY Version 1\n"s, "WINE REGISTRY Version 2 \n"s,
        " WINE REGISTRY Version 2\n"s, "\xEF\xBB\xBFWINE REGISTRY Version 2\n"s,
        "WINE REGISTRY Version 2\r\r\n"s, "REGEDIT4\n\n[HKEY_CURRENT_USER]\n"s}) {
    WineRegFile file = ParseWineRegistry(text + "[A]\n");
    EXPECT_FALSE(file.valid) << text;
    EXPECT_TRUE(file.root->SubKeys().empty()) << text;
  }
  // One "\r" is stripped only with the "\n" after it.
  EXPECT_FALSE(ParseWineRegistry("WINE REGISTRY Version 2\r").valid);
  EXPECT_TRUE(ParseWineRegistry("WINE REGISTRY Version 2").valid);
  EXPECT_TRUE(ParseWineRegistry("WINE REGISTRY Version 2\r\n[A]\r\n").valid);
}

TEST(WineRegParserHeader, ArchitectureIsAGlobalOption) {
  EXPECT_EQ(Parse("#arch=win64\n").arch, WineArch::Win64);
  EXPECT_EQ(Parse("#arch=win32\n#arch=win32\n").arch, WineArch::Win32);
  EXPECT_EQ(Parse("#unknown=1\n[A]\n").arch, WineArch::Unknown);
  EXPECT_TRUE(Parse("#unknown=1\n[A]\n").valid);
  // After a key line "#arch=" is a key option and ignored.
  EXPECT_EQ(Parse("[A]\n#arch=win32\n").arch, WineArch::Unknown);

  for (const char* text :
       {"#arch=win16\n[A]\n", "#arch=win64 \n[A]\n", "#arch=win64\n#arch=win32\n[A]\n",
        // a bad key line makes the options global again
        "[A]\n[B\n#arch=bad\n[C]\n"}) {
    WineRegFile file = Parse(text);
    EXPECT_FALSE(file.valid) << text;
    EXPECT_EQ(Find(file, u"C"), nullptr) << text;  // reading stops there
  }
}

TEST(WineRegParserLines, SkipsCommentsBlankAndUnknownLines) {
  WineRegFile file = Parse(
      ";; All keys relative to REGISTRY\\\\Machine\n"
      "\n"
      "   \t\n"
      "junk line\n"
      "  [Software\\\\Foo] 1700000000\n"
      "#time=1da1747c66d0000\n"
      "#class=\"a \\\"quoted\\\" ] class\"\n"
      "#whatever\n"
      "; comment inside a key\n"
      "\t\"a\"=\"1\"\n"
      "=\"orphan\"\n");
  EXPECT_TRUE(file.valid);
  const WineKey* foo = Find(file, u"Software\\Foo");
  ASSERT_NE(foo, nullptr);
  EXPECT_EQ(ValueNames(*foo), std::vector<std::u16string>{u"a"});
  EXPECT_FALSE(foo->IsLink());
  EXPECT_EQ(file.issueCount, 2u);
  ASSERT_EQ(file.issues.size(), 2u);
  EXPECT_EQ(file.issues[0].line, 5u);  // "junk line", counting the header
  EXPECT_EQ(file.issues[1].line, 12u);
}

TEST(WineRegParserLines, ReadsCrLfFilesAndALastLineWithoutNewline) {
  WineRegFile file = ParseWineRegistry(
      "WINE REGISTRY Version 2\r\n[A] 1\r\n\"s\"=\"x\"\r\n\"b\"=hex:01,\\\r\n  "
      "02\r\n\"d\"=dword:1");
  const WineKey* a = Find(file, u"A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Text(*a->FindValue(u"s")), u"x");
  EXPECT_EQ(a->FindValue(u"b")->data, Bytes({1, 2}));
  EXPECT_EQ(a->FindValue(u"d")->data, Bytes({1, 0, 0, 0}));
  EXPECT_EQ(file.issueCount, 0u);
}

TEST(WineRegParserLines, NulByteEndsTheLineText) {
  WineRegFile file = Parse("[A]\n\"ok\"=\"x\"\0junk\n\"cut\"=\"ab\0cd\"\n"s);
  const WineKey* a = Find(file, u"A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Text(*a->FindValue(u"ok")), u"x");
  EXPECT_EQ(a->FindValue(u"cut")->type, kRegNone);  // the string lost its closing quote
}

TEST(WineRegParserLines, LinkOptionMarksTheKey) {
  WineRegFile file = Parse("[L]\n#link\n[M]\n#linked\n[N]\n#lin\n");
  EXPECT_TRUE(Find(file, u"L")->IsLink());
  EXPECT_TRUE(Find(file, u"M")->IsLink());  // wineserver compares the first five characters
  EXPECT_FALSE(Find(file, u"N")->IsLink());
}

TEST(WineRegParserKeys, PathsAreRelativeToTheBranchRoot) {
  WineRegFile file = Parse(R"(
[] 1796699624
"top"="1"

[Software\\Foo\\Sub] 1700000000
"deep"="2"

[\\Software\\\\Bar\\]
"skips"="empty names"

[Machine\\Software]
)");
  EXPECT_EQ(ValueNames(*file.root), std::vector<std::u16string>{u"top"});
  // Missing parents are created, without values.
  EXPECT_EQ(SubKeyNames(*file.root), (std::vector<std::string>{"Machine", "Software"}));
  EXPECT_EQ(SubKeyNames(*Find(file, u"Software")), (std::vector<std::string>{"Bar", "Foo"}));
  EXPECT_TRUE(Find(file, u"Software\\Foo")->Values().empty());
  EXPECT_NE(Find(file, u"Software\\Foo\\Sub")->FindValue(u"deep"), nullptr);
  EXPECT_NE(Find(file, u"Software\\Bar")->FindValue(u"skips"), nullptr);
  // wineserver reads its own files without stripping a path prefix.
  EXPECT_NE(Find(file, u"Machine\\Software"), nullptr);
}

TEST(WineRegParserKeys, SameKeyTwiceMergesIntoTheFirstSpelling) {
  WineRegFile file = Parse(R"(
[Software\\Foo]
"a"="1"
"Same"="first"
[Other]
[SOFTWARE\\FOO]
"b"="2"
"SAME"="second"
)");
  EXPECT_EQ(SubKeyNames(*file.root), (std::vector<std::string>{"Other", "Software"}));
  const WineKey* foo = Find(file, u"software\\foo");
  ASSERT_NE(foo, nullptr);
  EXPECT_EQ(foo->Name(), "Foo");
  EXPECT_EQ(ValueNames(*foo), (std::vector<std::u16string>{u"a", u"b", u"Same"}));
  EXPECT_EQ(Text(*foo->FindValue(u"same")), u"second");
}

TEST(WineRegParserKeys, ConsecutivePathsSharingPrefixesBuildTheRightTree) {
  WineRegFile file = Parse(R"(
[Z\\b\\c]
[A\\x]
[Z\\b\\d]
[z\\B]
"v"="zb"
[Z]
[Z\\b\\c\\e]
[A]
[A\\x\\y]
)");
  EXPECT_EQ(SubKeyNames(*file.root), (std::vector<std::string>{"A", "Z"}));
  EXPECT_EQ(SubKeyNames(*Find(file, u"Z\\b")), (std::vector<std::string>{"c", "d"}));
  EXPECT_NE(Find(file, u"Z\\b")->FindValue(u"v"), nullptr);
  EXPECT_NE(Find(file, u"Z\\b\\c\\e"), nullptr);
  EXPECT_NE(Find(file, u"A\\x\\y"), nullptr);
  EXPECT_EQ(SubKeyNames(*Find(file, u"A")), std::vector<std::string>{"x"});
}

TEST(WineRegParserKeys, KeyNamesUseEscapes) {
  WineRegFile file = Parse(
      "[T\\\\\\[y]\n[T\\\\br\\]acket]\n[T\\\\\\x30bd\\x30d5\\x30c8]\n[T\\\\say \"hi\"]\n"
      "[T\\\\Gr\xC3\xBC\xC3\x9F"
      "e]\n[T\\\\a\\\\\\x5c\\\\b]\n");
  EXPECT_EQ(SubKeyNames(*Find(file, u"T")),
            (std::vector<std::string>{"[y", "a", "br]acket", "Grüße", "say \"hi\"", "ソフト"}));
  // An escaped backslash still separates names: the path is split after unescaping.
  EXPECT_NE(Find(file, u"T\\a\\b"), nullptr);
}

TEST(WineRegParserKeys, MalformedKeyLineDropsItsSection) {
  WineRegFile file = Parse(R"(
[Good]
"a"="1"
[Bad\\Key
"lost"="1"
#link
[Next]
"b"="2"
)");
  EXPECT_EQ(SubKeyNames(*file.root), (std::vector<std::string>{"Good", "Next"}));
  EXPECT_EQ(ValueNames(*Find(file, u"Good")), std::vector<std::u16string>{u"a"});
  EXPECT_EQ(ValueNames(*Find(file, u"Next")), std::vector<std::u16string>{u"b"});
  ASSERT_EQ(file.issues.size(), 2u);
  EXPECT_EQ(file.issues[0].line, 5u);
  EXPECT_STREQ(file.issues[1].what, "Value without key");
}

TEST(WineRegParserKeys, FirstUnitNulNamesTheRoot) {
  WineRegFile file = Parse("[\\0Foo]\n\"v\"=\"1\"\n");
  EXPECT_TRUE(file.root->SubKeys().empty());
  EXPECT_NE(file.root->FindValue(u"v"), nullptr);
}

TEST(WineRegParserKeys, NameLengthAndDepthLimits) {
  std::string longest(256, 'n');
  WineRegFile file = Parse("[P\\\\" + longest + "]\n[Q\\\\" + longest + "x\\\\R]\n\"v\"=\"1\"\n");
  EXPECT_NE(Find(file, u"P\\" + std::u16string(256, u'n')), nullptr);
  // A name over 256 units fails to create; the keys before it stay.
  EXPECT_NE(Find(file, u"Q"), nullptr);
  EXPECT_TRUE(Find(file, u"Q")->SubKeys().empty());
  EXPECT_EQ(file.issueCount, 2u);  // the key, then its value without a key

  std::string deepest, tooDeep;
  for (std::size_t i = 0; i < kWineMaxKeyDepth; ++i)
    deepest += (i ? "\\\\" : "") + std::string("k");
  tooDeep = deepest + "\\\\k";
  file = Parse("[" + deepest + "]\n\"v\"=\"1\"\n[" + tooDeep + "]\n\"w\"=\"2\"\n");
  const WineKey* key = file.root.get();
  std::size_t depth = 0;
  for (; !key->SubKeys().empty(); ++depth) key = key->SubKeys().front().get();
  EXPECT_EQ(depth, kWineMaxKeyDepth);
  EXPECT_EQ(ValueNames(*key), std::vector<std::u16string>{u"v"});
}

TEST(WineRegParserOrder, SubKeysSortByLowerCaseFold) {
  // Created in this order; wineserver lists them by lower-cased units, so
  // "[" and "_" (0x5B, 0x5F) come before the letters.
  WineRegFile file = Parse(
      "[b]\n[A]\n[_x]\n[\\[y]\n[a1]\n[Z]\n[\\xe4]\n[\\x65e5\\x672c\\x8a9e]\n"
      "[\\x30bd\\x30d5\\x30c8]\n[ab]\n[a]\n[br\\]acket]\n[q]\n[with space]\n");
  EXPECT_EQ(SubKeyNames(*file.root),
            (std::vector<std::string>{"[y", "_x", "A", "a1", "ab", "b", "br]acket", "q",
                                      "with space", "Z", "ä", "ソフト", "日本語"}));
}

TEST(WineRegParserOrder, ValuesSortWithTheDefaultFirst) {
  WineRegFile file = Parse(R"(
[K]
"zeta"="z"
"Alpha"="a"
"beta"="b"
"_under"="u"
"[brk"="k"
@="default"
"alpha"="again"
)");
  const WineKey* key = Find(file, u"K");
  EXPECT_EQ(ValueNames(*key),
            (std::vector<std::u16string>{u"", u"[brk", u"_under", u"Alpha", u"beta", u"zeta"}));
  EXPECT_EQ(Text(*key->FindValue(u"ALPHA")), u"again");
  EXPECT_EQ(Text(*key->FindValue(u"")), u"default");
}

TEST(WineRegParserOrder, AnyOrderOfLinesGivesTheSameTree) {
  // Keys and values in reverse order, each set twice with another spelling:
  // sorted and merged once at the end rather than inserted one by one.
  const int count = 3000;
  std::string text;
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = count - 1; i >= 0; --i) {
      std::string name = (pass ? "K" : "k") + std::to_string(100000 + i);
      text += "[P\\\\" + name + "]\n\"" + name + "\"=dword:" + std::to_string(pass) + "\n";
      text += "[Q]\n\"" + name + "\"=dword:" + std::to_string(pass) + "\n";
    }
  }
  WineRegFile file = Parse(text);
  const WineKey* p = Find(file, u"P");
  const WineKey* q = Find(file, u"Q");
  ASSERT_EQ(p->SubKeys().size(), static_cast<std::size_t>(count));
  ASSERT_EQ(q->Values().size(), static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::string name = "k" + std::to_string(100000 + i);
    const WineKey& key = *p->SubKeys()[i];
    EXPECT_EQ(key.Name(), name);
    ASSERT_EQ(key.Values().size(), 1u);
    EXPECT_EQ(key.Values()[0].name, Utf8ToUtf16(name));
    EXPECT_EQ(key.Values()[0].data, Bytes({1, 0, 0, 0}));
    EXPECT_EQ(q->Values()[i].name, Utf8ToUtf16(name));
    EXPECT_EQ(q->Values()[i].data, Bytes({1, 0, 0, 0}));
  }
  EXPECT_EQ(q->FindValue(u"K100042"), &q->Values()[42]);
}

TEST(WineRegParserValues, StringTagsAppendOneNul) {
  struct Case {
    const char* line;
    uint32_t type;
    std::u16string text;
  };
  for (const Case& c : {Case{R"("v"="abc")", kRegSz, u"abc"}, Case{R"("v"="")", kRegSz, u""},
                        Case{R"("v"=str:"x")", kRegSz, u"x"},
                        Case{R"("v"=str(2):"%PATH%")", kRegExpandSz, u"%PATH%"},
                        Case{R"("v"=str(7):"a\0b\0")", kRegMultiSz, u"a\0b\0"s},
                        Case{R"("v" = "spaced" trailing text)", kRegSz, u"spaced"},
                        Case{"\"v\"\t=\t\"tabs\"", kRegSz, u"tabs"}}) {
    WineValue value = ValueOf(c.line);
    EXPECT_EQ(value.type, c.type) << c.line;
    EXPECT_EQ(value.data.size(), 2 * (c.text.size() + 1)) << c.line;
    EXPECT_EQ(Text(value), c.text) << c.line;
  }
  EXPECT_EQ(ValueOf(R"(@ = "dflt")", u"").type, kRegSz);
}

TEST(WineRegParserValues, HexAndDwordTags) {
  struct Case {
    const char* line;
    uint32_t type;
    std::string data;
  };
  for (const Case& c : {
           Case{R"("v"=hex:00,01,ff)", kRegBinary, Bytes({0, 1, 0xff})},
           Case{R"("v"=hex:)", kRegBinary, ""},
           Case{R"("v"=hex(0):)", kRegNone, ""},
           Case{R"("v"=hex():41)", kRegNone, "A"},  // strtoul without digits gives 0
           Case{R"("v"=hex(b):01,02)", kRegQword, Bytes({1, 2})},
           Case{R"("v"=hex(B):01)", kRegQword, Bytes({1})},
           Case{R"("v"=hex(ffff0007):01)", 0xffff0007u, Bytes({1})},
           Case{R"("v"=hex(0x7):)", kRegMultiSz, ""},
           Case{R"("v"=hex(100000006):)", kRegLink, ""},  // the low 32 bits
           Case{R"("v"=hex(-1):)", 0xffffffffu, ""},
           Case{R"("v"=hex:1,2 , 3	,4)", kRegBinary, Bytes({1, 2, 3, 4})},
           Case{R"("v"=hex:01 02,)", kRegBinary, Bytes({1, 2})},
           Case{R"("v"=hex:0x1f,001,0X2)", kRegBinary, Bytes({0x1f, 1, 2})},
           Case{R"("v"=dword:0000abcd)", kRegDword, Bytes({0xcd, 0xab, 0, 0})},
           Case{R"("v"=dword:ABCD)", kRegDword, Bytes({0xcd, 0xab, 0, 0})},
           Case{R"("v"=dword:)", kRegDword, Bytes({0, 0, 0, 0})},
           Case{R"("v"=dword:zz)", kRegDword, Bytes({0, 0, 0, 0})},
           Case{R"("v"=dword:  12 and more)", kRegDword, Bytes({0x12, 0, 0, 0})},
           Case{R"("v"=dword:0x10)", kRegDword, Bytes({0x10, 0, 0, 0})},
           Case{R"("v"=dword:123456789)", kRegDword, Bytes({0x89, 0x67, 0x45, 0x23})},
           Case{R"("v"=dword:-2)", kRegDword, Bytes({0xfe, 0xff, 0xff, 0xff})},
           Case{R"("v"=dword:-fffffffffffffffff)", kRegDword, Bytes({0xff, 0xff, 0xff, 0xff})},
       }) {
    WineValue value = ValueOf(c.line);
    EXPECT_EQ(value.type, c.type) << c.line;
    EXPECT_EQ(value.data, c.data) << c.line;
  }
}

TEST(WineRegParserValues, MalformedDataLeavesAnEmptyNoneValue) {
  for (const char* line :
       {R"("v"="unterminated)", R"("v"=str(3):"x")", R"("v"=HEX:00)", R"("v"=hex(1) :41)",
        R"("v"=hex(1:41)", R"("v"=hex:100)", R"("v"=hex:01,,02)", R"("v"=hex:0g)",
        R"("v"=hex:01 junk)", R"("v"=hex(zz):)", R"("v"=42)", R"("v"=)", R"("v"="a\)"}) {
    // The bad line also wipes what an earlier line set, next to it or not.
    for (const char* before : {"\"v\"=\"old\"\n", "\"v\"=\"old\"\n\"w\"=\"\"\n"}) {
      WineValue value = ValueOf(before + std::string(line));
      EXPECT_EQ(value.name, u"v") << line;
      EXPECT_EQ(value.type, kRegNone) << line;
      EXPECT_TRUE(value.data.empty()) << line;
    }
  }
}

TEST(WineRegParserValues, MalformedNameAddsNoValue) {
  for (const char* line : {R"("v="x")", R"("v" "x")", R"(@x="1")", R"("v)", "\"v\\"}) {
    WineRegFile file = Parse("[K]\n" + std::string(line) + "\n");
    EXPECT_TRUE(Find(file, u"K")->Values().empty()) << line;
    EXPECT_EQ(file.issueCount, 1u) << line;
  }
}

TEST(WineRegParserValues, NameLengthLimit) {
  std::string longest(16383, 'v');
  WineRegFile file = Parse("[K]\n\"" + longest + "\"=\"1\"\n\"" + longest + "w\"=\"2\"\n");
  ASSERT_EQ(Find(file, u"K")->Values().size(), 1u);
  EXPECT_EQ(Find(file, u"K")->Values()[0].name.size(), 16383u);
}

TEST(WineRegParserValues, HexContinuesOnTheNextLine) {
  WineRegFile file = Parse(R"(
[K]
"bin"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\
  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f
"gap"=hex(7):41,00 \ anything after the backslash is skipped
	42,00,\
  00,00
"blank"=hex:01,\

"eaten"=hex:01,\
[NotAKey]
"after"="still in K"
"end"=hex:01,\
)");
  const WineKey* key = Find(file, u"K");
  ASSERT_NE(key, nullptr);
  std::string expected;
  for (int i = 0; i < 48; ++i) expected.push_back(static_cast<char>(i));
  EXPECT_EQ(key->FindValue(u"bin")->data, expected);
  EXPECT_EQ(key->FindValue(u"gap")->type, kRegMultiSz);
  EXPECT_EQ(key->FindValue(u"gap")->data, Bytes({0x41, 0, 0x42, 0, 0, 0}));
  EXPECT_EQ(key->FindValue(u"blank")->data, Bytes({1}));  // an empty line ends the list
  // A continuation line is data whatever it holds: the key line is swallowed.
  EXPECT_EQ(key->FindValue(u"eaten")->type, kRegNone);
  EXPECT_EQ(Find(file, u"NotAKey"), nullptr);
  EXPECT_NE(key->FindValue(u"after"), nullptr);
  // The file ends where the next line should be.
  EXPECT_EQ(key->FindValue(u"end")->type, kRegNone);
}

TEST(WineRegParserEscapes, ControlHexAndOctalEscapes) {
  EXPECT_EQ(TextOf(R"("\a\b\e\f\n\r\t\v")"), u"\a\b\x1b\f\n\r\t\v");
  // \x takes up to four hex digits, so the writer pads before a hex digit.
  EXPECT_EQ(TextOf(R"("Gr\xfc\x00dfe \x20ac")"), u"Grüße €");
  EXPECT_EQ(TextOf(R"("\x00e9a")"), u"éa");
  EXPECT_EQ(TextOf(R"("\xe9a")"), u"\u0e9a");
  EXPECT_EQ(TextOf(R"("\x123456")"), u"\u123456");
  EXPECT_EQ(TextOf(R"("\xZ")"), u"xZ");
  EXPECT_EQ(TextOf(R"("\x")"), u"x");
  // Octal takes up to three digits.
  EXPECT_EQ(TextOf(R"("A\tB\nC\rD\aE\eF\0017")"),
            u"A\tB\nC\rD\aE\x1b"
            u"F\x01"
            u"7");
  EXPECT_EQ(TextOf(R"("\0")"), u"\0"s);
  EXPECT_EQ(TextOf(R"("\101\08\777")"),
            u"A\0"
            u"8\u01ff"s);
  // Any other escaped character is itself.
  EXPECT_EQ(TextOf(R"("say \"hi\" C:\\dir \q\[\]")"), u"say \"hi\" C:\\dir q[]");
  EXPECT_EQ(TextOf("\"\\\xC3\xA9\""), u"é");
}

TEST(WineRegParserEscapes, RawUtf8AndSurrogates) {
  EXPECT_EQ(TextOf("\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E UTF-8\""), u"日本語 UTF-8");
  EXPECT_EQ(TextOf("\"\xF0\x9F\x98\x80\""), u"\xd83d\xde00");
  EXPECT_EQ(TextOf(R"("\xd83d\xde00")"), u"\xd83d\xde00");
  WineRegFile file = Parse("[K]\n\"\xC3\xA4\xF0\x9F\x98\x80\"=\"n\"\n");
  EXPECT_NE(Find(file, u"K")->FindValue(u"Ä\xd83d\xde00"), nullptr);  // the fold keeps surrogates
}

TEST(WineRegParserEscapes, InvalidUtf8IsDropped) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  for (const Case& c : {
           Case{"a\x80"
                "b",
                u"ab"},  // a lone continuation byte
           Case{"\xC0\x80"
                "b",
                u"b"},  // C0 never starts a sequence
           Case{"\xE0\x80\x80"
                "b",
                u"b"},  // overlong: the whole sequence goes
           Case{"\xF4\x90\x80\x80"
                "b",
                u"b"},  // above U+10FFFF
           Case{"\xF5\x80"
                "b",
                u"b"},
           Case{"\xE6\x97"
                "A",
                u"A"},                       // cut short: the next byte stays
           Case{"\xE6\"", u""},              // the quote after a lead byte ends the text
           Case{"\xED\xA0\x80", u"\xd800"},  // an encoded surrogate is kept
       }) {
    EXPECT_EQ(TextOf("\"" + c.bytes + "\""), c.text) << c.bytes;
  }
}

TEST(WineRegParserFixture, ReadsAFreshWine8SystemReg) {
  std::string text = test::ReadFileBytes(test::TestDataPath("wine8-fresh-prefix/system.reg"));
  WineRegFile file = ParseWineRegistry(text);
  EXPECT_TRUE(file.valid);
  EXPECT_EQ(file.arch, WineArch::Win64);
  EXPECT_EQ(file.keyLines, 8733u);
  EXPECT_EQ(file.issueCount, 0u);
  EXPECT_EQ(SubKeyNames(*file.root), (std::vector<std::string>{"Software", "System"}));

  std::size_t links = 0;
  std::vector<const WineKey*> pending{file.root.get()};
  while (!pending.empty()) {
    const WineKey* key = pending.back();
    pending.pop_back();
    if (key->IsLink()) {
      ++links;
      const WineValue* target = key->FindValue(u"SymbolicLinkValue");
      ASSERT_NE(target, nullptr) << key->Name();
      EXPECT_EQ(target->type, kRegLink);
      EXPECT_EQ(FoldName(LeBytesToUtf16(target->data)).rfind(u"\\registry\\machine\\", 0), 0u);
    }
    for (const auto& subkey : key->SubKeys()) pending.push_back(subkey.get());
  }
  EXPECT_EQ(links, 54u);
  const WineKey* fonts =
      Find(file, u"System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts");
  ASSERT_NE(fonts, nullptr);
  EXPECT_EQ(Text(*fonts->FindValue(u"fonts.fon")), u"vgasys.fon");
}

TEST(WineRegParserFixture, HandWrittenFileWithEveryLineForm) {
  WineRegFile file =
      ParseWineRegistry(test::ReadFileBytes(test::TestDataPath("wine/line-forms.reg")));
  EXPECT_TRUE(file.valid);
  EXPECT_EQ(file.arch, WineArch::Win64);
  EXPECT_EQ(Text(*file.root->FindValue(u"")), u"branch root");
  const WineKey* forms = Find(file, u"Software\\Forms");
  ASSERT_NE(forms, nullptr);
  EXPECT_EQ(ValueNames(*forms),
            (std::vector<std::u16string>{u"", u"bad", u"binary", u"ctrl", u"device", u"dword",
                                         u"expand", u"multi", u"none", u"qword", u"spaced", u"str",
                                         u"sz", u"umlaut", u"utf8_Grüße", u"名前"}));
  EXPECT_EQ(Text(*forms->FindValue(u"名前")), u"日本語の値");
  EXPECT_EQ(Text(*forms->FindValue(u"UTF8_GRÜßE")), u"日本語 \xd83d\xde00");
  EXPECT_EQ(forms->FindValue(u"binary")->data.size(), 33u);
  EXPECT_EQ(forms->FindValue(u"bad")->type, kRegNone);
  EXPECT_EQ(SubKeyNames(*forms), (std::vector<std::string>{"[y", "br]acket", "ソフト"}));
  EXPECT_TRUE(Find(file, u"Software\\Link")->IsLink());
  EXPECT_EQ(SubKeyNames(*Find(file, u"Software")),
            (std::vector<std::string>{"Forms", "Link", "Target"}));
  ASSERT_EQ(file.issues.size(), 4u);  // bad tag, bad key line, its value, the junk line
  EXPECT_STREQ(file.issues[0].what, "Malformed value");
}

}  // namespace
}  // namespace tarnwick
