#include "backitem/key_edit.h"

#include <algorithm>

#include "backitem/back_item.h"
#include "common/collation.h"
#include "common/key_path.h"
#include "registry/registry.h"

namespace tarnwick {

const char* const kKeyMissingText =
    "指定されたレジストリキーは存在しないか、アクセスが許可されていません。";
const char* const kAncestorHeldText =
    "このアイテムには、指定されたレジストリキー、あるいはその上位キーがすでに登録されています。"
    "\r\n指定されたキーを追加（変更）する必要はありません。";
const char* const kKeyEditCaption = "追加/変更エラー";

std::string DescendantQuestion(std::size_t count) {
  return "このアイテムには、指定されたレジストリキーの下位キーがすでに " + std::to_string(count) +
         " 件登録されています。\r\nこれらを削除し、指定キーを登録しますか?";
}

std::string TrimTrailingBackslashes(std::string_view text) {
  while (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  return std::string(text);
}

namespace {

// True when entry names a key or value below key: key followed by "\" or "|".
bool IsBelow(std::string_view entry, std::string_view key) {
  return entry.size() > key.size() && (entry[key.size()] == '\\' || entry[key.size()] == '|') &&
         SameTextIgnoreCase(entry.substr(0, key.size()), key);
}

}  // namespace

KeyEditPlan PlanKeyEdit(RegistryStore& store, const TBackItem& item, std::string_view typed,
                        int exceptIndex) {
  KeyEditPlan plan;
  plan.problem = KeyPathTextProblem(typed);
  if (!plan.problem.empty()) {
    plan.result = KeyEditPlan::Result::Unstorable;
    return plan;
  }
  plan.path = NormalizeKeyPath(typed);
  if (plan.path.empty() || !KeyPathExists(store, plan.path)) return plan;
  // The path itself, then each ancestor: HKCU\A\B|V, HKCU\A\B, HKCU\A, HKCU.
  for (std::string t = plan.path;;) {
    if (item.HasKey(t, exceptIndex)) {
      plan.result = KeyEditPlan::Result::AncestorHeld;
      return plan;
    }
    std::size_t cut = t.find_last_of("\\|");
    if (cut == std::string::npos) break;
    t.erase(cut);
  }
  if (plan.path.find('|') == std::string::npos) {
    for (std::size_t i = 0; i < item.BackupKeys.size(); ++i) {
      if (static_cast<int>(i) != exceptIndex && IsBelow(item.BackupKeys[i], plan.path)) {
        plan.descendants.push_back(static_cast<int>(i));
      }
    }
  }
  plan.result = KeyEditPlan::Result::Ready;
  return plan;
}

int ApplyKeyEdit(TBackItem& item, const KeyEditPlan& plan, int changeIndex) {
  std::vector<std::string>& keys = item.BackupKeys;
  for (auto it = plan.descendants.rbegin(); it != plan.descendants.rend(); ++it) {
    keys.erase(keys.begin() + *it);
    if (changeIndex > *it) --changeIndex;
  }
  if (changeIndex < 0) {
    keys.push_back(plan.path);
    return static_cast<int>(keys.size()) - 1;
  }
  keys[static_cast<std::size_t>(changeIndex)] = plan.path;
  return changeIndex;
}

}  // namespace tarnwick
