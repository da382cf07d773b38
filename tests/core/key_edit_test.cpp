// Adding and changing an item's key paths: the registry test, the ancestor
// test and the descendants that adding a key replaces.
#include "backitem/key_edit.h"

#include <gtest/gtest.h>

#include "backitem/back_item.h"
#include "memory_store.h"

namespace tarnwick::test {
namespace {

using Result = KeyEditPlan::Result;

class KeyEditTest : public testing::Test {
 protected:
  MemoryStore store;
  TBackItem item;

  void SetUp() override {
    for (const char* key :
         {"HKCU\\Software\\A\\B", "HKCU\\Software\\AB", "HKCU\\Software\\ソフト"}) {
      store.SetDword(key, "V", 1);
    }
  }
};

TEST_F(KeyEditTest, TrimsAndNormalisesWhatWasTyped) {
  EXPECT_EQ(TrimTrailingBackslashes("hkey_current_user\\software\\ソ\\\\"),
            "hkey_current_user\\software\\ソ");
  KeyEditPlan plan =
      PlanKeyEdit(store, item, TrimTrailingBackslashes("hkey_current_user\\Software\\A\\"), -1);
  EXPECT_EQ(plan.result, Result::Ready);
  EXPECT_EQ(plan.path, "HKCU\\Software\\A");
}

TEST_F(KeyEditTest, WhatDoesNotExistIsRefused) {
  for (const char* path :
       {"HKCU\\Software\\Nothing", "HKCU\\Software\\A\\B|W", "Software\\A", ""}) {
    EXPECT_EQ(PlanKeyEdit(store, item, path, -1).result, Result::Missing) << path;
  }
  EXPECT_EQ(PlanKeyEdit(store, item, "HKCU\\Software\\A\\B|V", -1).result, Result::Ready);
}

TEST_F(KeyEditTest, AKeyTheDataFileCannotHoldIsRefusedThoughItExists) {
  for (const char* path : {"HKCU\\Software\\Café", "HKCU\\Software\\A\\B|two\nlines"}) {
    store.SetDword(path, "V", 1);
    KeyEditPlan plan = PlanKeyEdit(store, item, path, -1);
    EXPECT_EQ(plan.result, Result::Unstorable) << path;
    EXPECT_EQ(plan.problem, KeyPathTextProblem(path));
  }
}

TEST_F(KeyEditTest, AnAncestorOrTheKeyItselfAlreadyHeldIsRefused) {
  item.BackupKeys = {"HKCU\\Software\\A"};
  EXPECT_EQ(PlanKeyEdit(store, item, "HKCU\\Software\\A\\B|V", -1).result, Result::AncestorHeld);
  EXPECT_EQ(PlanKeyEdit(store, item, "hkcu\\software\\a", -1).result, Result::AncestorHeld);
  // A sibling whose name only begins the same is no descendant.
  EXPECT_EQ(PlanKeyEdit(store, item, "HKCU\\Software\\AB", -1).result, Result::Ready);
  // Changing an entry into itself is allowed, into another entry's text not.
  EXPECT_EQ(PlanKeyEdit(store, item, "HKCU\\Software\\A", 0).result, Result::Ready);
  item.BackupKeys.push_back("HKCU\\Software\\AB");
  EXPECT_EQ(PlanKeyEdit(store, item, "HKCU\\Software\\A", 1).result, Result::AncestorHeld);
}

TEST_F(KeyEditTest, ARootOverRegisteredSubkeysReplacesThem) {
  item.BackupKeys = {"HKCU\\Software\\A\\B|V", "HKCU\\Software\\AB", "HKLM\\Other",
                     "HKCU\\Software\\A\\B"};
  KeyEditPlan plan = PlanKeyEdit(store, item, "HKCU\\Software\\A", -1);
  ASSERT_EQ(plan.result, Result::Ready);
  EXPECT_EQ(plan.descendants, (std::vector<int>{0, 3}));
  EXPECT_EQ(
      DescendantQuestion(plan.descendants.size()),
      "このアイテムには、指定されたレジストリキーの下位キーがすでに 2 件登録されています。\r\n"
      "これらを削除し、指定キーを登録しますか?");
  EXPECT_EQ(ApplyKeyEdit(item, plan, -1), 2);
  EXPECT_EQ(item.BackupKeys,
            (std::vector<std::string>{"HKCU\\Software\\AB", "HKLM\\Other", "HKCU\\Software\\A"}));
}

TEST_F(KeyEditTest, AChangeReplacesItsEntryWhereItWas) {
  item.BackupKeys = {"HKCU\\Software\\A\\B", "HKCU\\Software\\AB", "HKCU\\Software\\ソフト"};
  KeyEditPlan plan = PlanKeyEdit(store, item, "HKCU\\Software\\A", 2);
  ASSERT_EQ(plan.result, Result::Ready);
  EXPECT_EQ(ApplyKeyEdit(item, plan, 2), 1);  // the descendant before it went
  EXPECT_EQ(item.BackupKeys, (std::vector<std::string>{"HKCU\\Software\\AB", "HKCU\\Software\\A"}));
}

}  // namespace
}  // namespace tarnwick::test
