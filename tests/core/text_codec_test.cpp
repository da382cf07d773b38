// The CP932 and UTF-16 conversions, checked against known byte sequences.
#include "common/text_codec.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

struct Cp932Row {
  const char* name;
  std::string utf8;
  std::string cp932;
};

TEST(TextCodecTest, Cp932Table) {
  const Cp932Row rows[] = {
      {"ascii", "abc\\|~", "abc\\|~"},
      {"katakana with 0x5C trail byte", "ソフト", "\x83\x5C\x83\x74\x83\x67"},
      {"kanji with 0x5C trail byte", "表", "\x95\x5C"},
      {"katakana with 0x7C trail byte", "ポ", "\x83\x7C"},
      {"half-width katakana", "ｱ", "\xB1"},
      {"Microsoft wave dash", "～", "\x81\x60"},
      {"fullwidth backslash", "＼", "\x81\x5F"},
      {"NEC special", "①", "\x87\x40"},
      {"embedded NUL", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Cp932Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Utf8ToCp932(row.utf8), row.cp932);
    EXPECT_EQ(Cp932ToUtf8(row.cp932), row.utf8);
    EXPECT_EQ(Cp932Length(row.utf8), row.cp932.size());
  }
}

// Long ASCII runs are widened sixteen bytes at a time; a double-byte
// character (with an ASCII-range trail byte) anywhere among them stays whole.
TEST(TextCodecTest, DoubleByteCharactersAmongLongAsciiRuns) {
  for (std::size_t before = 0; before <= 20; ++before) {
    for (std::size_t after = 0; after <= 20; ++after) {
      const std::string a(before, 'a'), b(after, 'b');
      EXPECT_EQ(Cp932ToUtf8(a + "\x95\x5C" + b), a + "表" + b) << before << " " << after;
    }
  }
}

TEST(TextCodecTest, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp932("ä€"), "??");
  EXPECT_EQ(Utf8ToCp932("😀x"), "?x");         // one character, one '?'
  EXPECT_EQ(Utf16ToCp932(u"\xD800x"), "?x");  // lone surrogate
  EXPECT_EQ(Cp932Length(u"😀ソ"), 3u);
}

// Characters that a best-fit conversion would turn into others (the yen sign
// into a backslash) are lost, exactly as characters CP932 lacks altogether;
// their Shift-JIS look-alikes still convert.
TEST(TextCodecTest, OnlyCharactersThatReadBackTheSameConvert) {
  for (std::u16string_view lost : {u"¥", u"〜", u"−", u"‖", u"¢", u"£", u"¬", u"—"}) {
    EXPECT_EQ(Utf16ToCp932(lost), "?") << Utf16ToUtf8(lost);
    EXPECT_FALSE(FitsCp932(lost)) << Utf16ToUtf8(lost);
  }
  for (std::u16string_view kept : {u"\\", u"～", u"－", u"∥", u"￠", u"￡", u"￢", u"―", u"~"}) {
    EXPECT_EQ(Cp932ToUtf16(Utf16ToCp932(kept)), kept) << Utf16ToUtf8(kept);
  }
}

TEST(TextCodecTest, BrokenCp932InputDoesNotSwallowBytes) {
  EXPECT_EQ(Cp932ToUtf8("\x83"), "?");  // lead byte at the end
  EXPECT_EQ(Cp932ToUtf8("\x83\x0A"
                        "a"),
            "?\na");  // invalid trail is read again
}

TEST(TextCodecTest, Utf8AndUtf16) {
  EXPECT_EQ(Utf8ToUtf16("aä日😀"), u"aä日😀");
  EXPECT_EQ(Utf16ToUtf8(u"aä日😀"), "aä日😀");
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\xFFFD");                      // truncated sequence
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\xFFFD\xFFFD");            // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\xFFFD\xFFFD\xFFFD");  // encoded surrogate
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
}

TEST(TextCodecTest, LittleEndianBytes) {
  EXPECT_EQ(Utf16ToLeBytes(u"A日"), std::string("A\0\xE5\x65", 4));
  EXPECT_EQ(LeBytesToUtf16(std::string("A\0\xE5\x65\x01", 5)), u"A日");
}

}  // namespace
}  // namespace tarnwick
