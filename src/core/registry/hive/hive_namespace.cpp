#include "registry/hive/hive_namespace.h"

#include <algorithm>
#include <utility>

#include "common/text_codec.h"
#include "registry/name_fold.h"

namespace tarnwick {
namespace {

HiveChild MakeChild(std::string name, HiveRef ref) {
  std::u16string folded = FoldUpperName(Utf8ToUtf16(name));
  return {std::move(name), std::move(folded), ref};
}

}  // namespace

std::u16string FoldUpperName(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& unit : folded) unit = FoldUpper(unit);
  return folded;
}

bool FoldHivePath(std::string_view path, std::vector<std::u16string>& folded,
                  std::vector<std::string>* spelled) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names)) return false;
  for (std::string_view name : names) {
    folded.push_back(FoldUpperName(Utf8ToUtf16(name)));
    if (spelled) spelled->emplace_back(name);
  }
  return true;
}

void HiveChildren::BuildIndex() {
  auto sort = [this] {
    byFolded_.resize(list.size());
    for (uint32_t i = 0; i < byFolded_.size(); ++i) byFolded_[i] = i;
    // Stable: of names that differ only in case, the first in the list comes first.
    std::stable_sort(byFolded_.begin(), byFolded_.end(),
                     [this](uint32_t a, uint32_t b) { return list[a].folded < list[b].folded; });
  };
  sort();
  std::vector<bool> drop(list.size());
  bool dropped = false;
  for (std::size_t start = 0, end = 0; start < byFolded_.size(); start = end) {
    end = start + 1;
    while (end < byFolded_.size() && list[byFolded_[end]].folded == list[byFolded_[start]].folded) {
      ++end;
    }
    if (end - start == 1) continue;
    std::vector<uint32_t> kept;
    for (std::size_t k = start; k < end; ++k) {
      const HiveChild& child = list[byFolded_[k]];
      if (std::any_of(kept.begin(), kept.end(),
                      [&](uint32_t i) { return list[i].name == child.name; })) {
        drop[byFolded_[k]] = dropped = true;
        problems.push_back(
            {child.name, kHiveDamaged + std::string("同じ名前のキーがもう 1 つあるので、"
                                                    "2 つ目は書き出していません")});
      } else {
        kept.push_back(byFolded_[k]);
      }
    }
    if (kept.size() < 2) continue;
    for (uint32_t i : kept) {
      problems.push_back(
          {list[i].name,
           kHiveDamaged + std::string("名前が大文字と小文字だけ違うキーがほかにあります "
                                      "(どれも書き出しましたが、インポートすると 1 "
                                      "つのキーになります)")});
    }
  }
  if (!dropped) return;
  std::vector<HiveChild> kept;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!drop[i]) kept.push_back(std::move(list[i]));
  }
  list = std::move(kept);
  sort();
}

const HiveChild* HiveChildren::Find(std::u16string_view folded, std::string_view spelled) const {
  auto at = std::lower_bound(
      byFolded_.begin(), byFolded_.end(), folded,
      [this](uint32_t i, std::u16string_view name) { return list[i].folded < name; });
  if (at == byFolded_.end() || list[*at].folded != folded) return nullptr;
  for (auto same = at; !spelled.empty() && same != byFolded_.end() && list[*same].folded == folded;
       ++same) {
    if (list[*same].name == spelled) return &list[*same];
  }
  return &list[*at];
}

HiveNamespace::HiveNamespace() {
  for (HiveRef list : {kMachine, kUsers}) mountLists_[list] = std::make_shared<HiveChildren>();
}

HiveNamespace::~HiveNamespace() = default;

uint32_t HiveNamespace::AddFile(std::unique_ptr<HiveFile> file) {
  files_.push_back(std::move(file));
  return static_cast<uint32_t>(files_.size() - 1);
}

void HiveNamespace::Mount(HiveRef list, std::u16string_view name, uint32_t file) {
  HiveChildren& mounts = *mountLists_.at(list);
  HiveChild child = MakeChild(Utf16ToUtf8(name), RootOf(file));
  auto at = std::upper_bound(mounts.list.begin(), mounts.list.end(), child,
                             [](const HiveChild& a, const HiveChild& b) {
                               return CompareFoldedUpper(a.folded, b.folded) < 0;
                             });
  mounts.list.insert(at, std::move(child));
  mounts.BuildIndex();
}

void HiveNamespace::Link(HiveRef parent, std::u16string_view name, HiveRef target) {
  links_[parent].push_back(MakeChild(Utf16ToUtf8(name), target));
  cache_.erase(parent);
}

std::shared_ptr<const HiveChildren> HiveNamespace::SubKeys(HiveRef key) const {
  if (key.file == HiveRef::kMountList) return mountLists_.at(key);
  if (auto cached = cache_.find(key); cached != cache_.end()) return cached->second;

  auto children = std::make_shared<HiveChildren>();
  std::vector<HiveEntry> entries;
  std::string problem;
  children->ok = files_[key.file]->SubKeys(key.node, entries, &problem);
  if (!problem.empty()) children->problems.push_back({std::nullopt, std::move(problem)});
  children->list.reserve(entries.size());
  for (HiveEntry& entry : entries) {
    children->list.push_back(MakeChild(std::move(entry.name), {key.file, entry.handle}));
  }
  if (auto links = links_.find(key); links != links_.end()) {
    for (const HiveChild& link : links->second) {
      auto stored = std::find_if(children->list.begin(), children->list.end(),
                                 [&](const HiveChild& c) { return c.folded == link.folded; });
      if (stored != children->list.end()) {
        stored->ref = link.ref;
      } else {
        children->list.push_back(link);
      }
    }
  }
  children->BuildIndex();
  if (cache_.size() >= kMaxCachedListings) cache_.clear();
  cache_.emplace(key, children);
  return children;
}

bool HiveNamespace::Walk(HiveRef from, std::span<const std::u16string> folded, HiveRef& to,
                         std::span<const std::string> spelled,
                         std::vector<HiveRef>* visited) const {
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const HiveChild* child =
        SubKeys(from)->Find(folded[i], i < spelled.size() ? std::string_view(spelled[i]) : "");
    if (!child) return false;
    from = child->ref;
    if (visited) visited->push_back(from);
  }
  to = from;
  return true;
}

bool HiveNamespace::Values(HiveRef key, std::vector<HiveEntry>& entries,
                           std::string* problem) const {
  return key.file == HiveRef::kMountList || files_[key.file]->Values(key.node, entries, problem);
}

bool HiveNamespace::ReadValue(HiveRef key, HiveValue value, RegValue& result,
                              std::string* problem) const {
  return key.file != HiveRef::kMountList && files_[key.file]->ReadValue(value, result, problem);
}

void HiveNamespace::Report(StoreProblem problem) const {
  std::string id =
      problem.key + '\0' + (problem.value ? "v" + *problem.value : "k") + '\0' + problem.reason;
  if (problemsSeen_.insert(std::move(id)).second) problems_.push_back(std::move(problem));
}

std::vector<StoreProblem> HiveNamespace::TakeProblems() const {
  problemsSeen_.clear();
  return std::exchange(problems_, {});
}

bool HiveNamespace::QueryValue(HiveRef key, std::u16string_view name, RegValue& result) const {
  std::vector<HiveEntry> entries;
  if (!Values(key, entries)) return false;
  const std::u16string folded = FoldUpperName(name);
  for (const HiveEntry& entry : entries) {
    if (FoldUpperName(Utf8ToUtf16(entry.name)) == folded) {
      return ReadValue(key, entry.handle, result);
    }
  }
  return false;
}

}  // namespace tarnwick
