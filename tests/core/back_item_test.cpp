// The item list: its sort, name and key look-ups, and the rows and restore
// rules of the list view, checked without a window.
#include "backitem/back_item.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class FakeView : public BackListView {
 public:
  int rows = 0, top = 0, offset = 0;
  std::string focused;
  BackListUpdate last;

  int RowCount() const override { return rows; }
  std::string FocusedCaption() const override { return focused; }
  int TopIndex() const override { return top; }
  int HorizontalOffset() const override { return offset; }
  void Rebuild(const BackListUpdate& update) override {
    last = update;
    rows = static_cast<int>(update.Rows.size());
  }
};

std::string Names(const TBackItems& items) {
  std::string out;
  for (int i = 0; i < items.Count(); ++i)
    out += items.Items(i).Name + (items.Items(i).NoDelete ? "*" : "") + " ";
  return out;
}

TBackItems MakeItems(std::initializer_list<std::pair<const char*, bool>> entries) {
  TBackItems items;
  for (const auto& [name, noDelete] : entries) items.Add(name, nullptr, "", noDelete);
  return items;
}

TEST(BackItemsTest, SortByNameAscendingThenDescendingKeepsEqualsInOrder) {
  TBackItems items;
  items.Add("b", nullptr, "1", false);
  items.Add("A", nullptr, "2", false);
  items.Add("a", nullptr, "3", false);
  items.Add("C", nullptr, "4", false);
  items.SortColumn = 1;
  items.Sort();
  EXPECT_EQ(Names(items), "A a b C ");  // A and a compare equal and keep their order
  items.SortColumn = -1;
  items.Sort();
  EXPECT_EQ(Names(items), "C b A a ");
}

TEST(BackItemsTest, SortByKeyListAndComment) {
  std::vector<std::string> k1{"HKCU\\B"}, k2{"HKCU\\A", "HKCU\\Z"}, k3{"HKCU\\A"};
  TBackItems items;
  items.Add("one", &k1, "z", false);
  items.Add("two", &k2, "y", false);
  items.Add("three", &k3, "x", false);
  items.SortColumn = 2;
  items.Sort();
  EXPECT_EQ(Names(items), "three two one ");  // "HKCU\A\r\n" sorts before "HKCU\A\r\nHKCU\Z\r\n"
  items.SortColumn = 3;
  items.Sort();
  EXPECT_EQ(Names(items), "three two one ");
  items.SortColumn = -3;
  items.Sort();
  EXPECT_EQ(Names(items), "one two three ");
}

TEST(BackItemsTest, SortByNoDeleteFlag) {
  TBackItems items = MakeItems({{"a", true}, {"b", false}, {"c", true}, {"d", false}});
  items.SortColumn = -4;
  items.Sort();
  EXPECT_EQ(Names(items), "a* c* b d ");  // descending keeps the order within each group
  items.SortColumn = 4;
  items.Sort();
  // Ascending puts false first, and equal flags are exchanged as well.
  EXPECT_EQ(Names(items), "d b c* a* ");
}

TEST(BackItemsTest, SortOfFewItemsAndUnsortedColumnChangesNothing) {
  TBackItems items = MakeItems({{"b", false}, {"a", false}});
  items.SortColumn = 0;
  items.Sort();
  EXPECT_EQ(Names(items), "b a ");
  TBackItems one = MakeItems({{"x", true}});
  one.SortColumn = 4;
  one.Sort();
  EXPECT_EQ(Names(one), "x* ");
  TBackItems none;
  none.SortColumn = 1;
  none.Sort();
  none.Delete(0);
  EXPECT_EQ(none.Count(), 0);
}

TEST(BackItemsTest, NameExistsIgnoresCaseAndTheEditedItem) {
  TBackItems items = MakeItems({{"Explorer", false}, {"ソフト", false}});
  EXPECT_TRUE(items.NameExists("EXPLORER", -1));
  EXPECT_FALSE(items.NameExists("EXPLORER", 0));
  EXPECT_TRUE(items.NameExists("ソフト", 0));
  EXPECT_FALSE(items.NameExists("ｿﾌﾄ", -1));
}

// The set finds a name exactly when NameExists would: every name of the
// table looked up in a set of each other one: ASCII, Japanese and mixed,
// full and half width, and a kana with a combining sound mark.
TEST(BackItemsTest, ItemNameSetFindsWhatNameExistsFinds) {
  const std::vector<std::string> names = {
      "Explorer", "EXPLORER", "explorer ", "ＡＢＣ",  "ａｂｃ", "ABC",          "abc", "ソフト",
      "そふと",   "ｿﾌﾄ",      "ソフトA",   "ソフトa", "ｶﾞ",     "\u30AB\u3099", "ガ",  ""};
  for (const std::string& listed : names) {
    ItemNameSet set;
    set.Insert(listed);
    TBackItems items;
    items.Add(listed, nullptr, "", false);
    for (const std::string& asked : names) {
      EXPECT_EQ(set.Contains(asked), items.NameExists(asked, -1))
          << "'" << asked << "' in {'" << listed << "'}";
    }
  }
}

TEST(BackItemsTest, HasKeyFindsTheFirstMatchIgnoringCase) {
  TBackItem item;
  item.BackupKeys = {"HKCU\\Software\\A", "HKCU\\Software\\B", "HKCU\\Software\\a"};
  EXPECT_TRUE(item.HasKey("hkcu\\software\\b", -1));
  EXPECT_FALSE(item.HasKey("hkcu\\software\\b", 1));
  EXPECT_FALSE(item.HasKey("HKCU\\Software\\A", 0));  // the first match is the excepted one
  EXPECT_FALSE(item.HasKey("HKCU\\Software\\C", -1));
}

TEST(BackItemsTest, RowsShowKeysJoinedAndTheNoDeleteText) {
  std::vector<std::string> three{"HKCU\\A", "HKCU\\B|x", "HKLM\\C"};
  TBackItems items;
  items.Add("none", nullptr, "", false);
  items.Add("three", &three, "note", true);
  FakeView view;
  items.UpdateListView(view);
  ASSERT_EQ(view.last.Rows.size(), 2u);
  EXPECT_EQ(view.last.Rows[0].Keys, "");
  EXPECT_EQ(view.last.Rows[0].NoDelete, "");
  EXPECT_EQ(view.last.Rows[1].Keys, "HKCU\\A;HKCU\\B|x;HKLM\\C");
  EXPECT_EQ(view.last.Rows[1].Comment, "note");
  EXPECT_EQ(view.last.Rows[1].NoDelete, "しない");
}

TEST(BackItemsTest, RebuildRestoresFocusByExactCaptionAndClampsTheTopRow) {
  TBackItems items = MakeItems({{"a", false}, {"B", false}, {"b", false}, {"b", false}});
  FakeView view;
  view.rows = 10;
  view.top = 7;
  view.offset = 30;
  view.focused = "b";
  items.UpdateListView(view);
  EXPECT_EQ(view.last.FocusRow, 3);  // the last row named exactly "b"
  EXPECT_TRUE(view.last.Scroll);
  EXPECT_EQ(view.last.TopIndex, 3);  // lowered to the last row
  EXPECT_EQ(view.last.HorizontalOffset, 30);
}

TEST(BackItemsTest, WithoutFocusTheLastUnnamedRowGetsIt) {
  TBackItems items = MakeItems({{"", false}, {"x", false}, {"", false}});
  FakeView view;
  items.UpdateListView(view);
  EXPECT_EQ(view.last.FocusRow, 2);
  EXPECT_EQ(view.last.TopIndex, 0);  // an empty view remembers the top
}

TEST(BackItemsTest, EmptyListDoesNotScroll) {
  TBackItems items;
  FakeView view;
  view.rows = 3;
  view.top = 2;
  items.UpdateListView(view);
  EXPECT_TRUE(view.last.Rows.empty());
  EXPECT_FALSE(view.last.Scroll);
  EXPECT_EQ(view.last.FocusRow, -1);
}

}  // namespace
}  // namespace tarnwick
