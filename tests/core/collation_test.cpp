// Locale collation of names: case is ignored only where asked for.
#include "common/collation.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(CollationTest, IgnoreCaseComparesEqualAcrossCase) {
  EXPECT_EQ(CompareTextIgnoreCase("Foo App", "foo app"), 0);
  EXPECT_EQ(CompareTextIgnoreCase("ＡＢＣ", "ａｂｃ"), 0);  // fullwidth letters have case too
  EXPECT_NE(CompareTextIgnoreCase("ABC", "ＡＢＣ"), 0);     // width still matters
  EXPECT_NE(CompareTextIgnoreCase("ソフト", "そふと"), 0);  // kana type still matters
  EXPECT_LT(CompareTextIgnoreCase("apple", "Banana"), 0);
  EXPECT_GT(CompareTextIgnoreCase("b", "A"), 0);
}

TEST(CollationTest, LocaleOrderIsCaseSensitiveButNotByteOrder) {
  EXPECT_NE(CompareTextLocale("a", "A"), 0);
  EXPECT_LT(CompareTextLocale("a", "B"), 0);  // byte order would put B first
  EXPECT_EQ(CompareTextLocale("same", "same"), 0);
  EXPECT_LT(CompareTextLocale("あ", "い"), 0);
}

}  // namespace
}  // namespace tarnwick
