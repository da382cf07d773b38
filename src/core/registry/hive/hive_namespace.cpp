#include "registry/hive/hive_namespace.h"

#include <algorithm>

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

bool FoldHivePath(std::string_view path, std::vector<std::u16string>& folded) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names)) return false;
  for (std::string_view name : names) folded.push_back(FoldUpperName(Utf8ToUtf16(name)));
  return true;
}

void HiveChildren::BuildIndex() {
  byFolded_.resize(list.size());
  for (uint32_t i = 0; i < byFolded_.size(); ++i) byFolded_[i] = i;
  // Stable: of two subkeys with one name (a damaged file), the first is found.
  std::stable_sort(byFolded_.begin(), byFolded_.end(),
                   [this](uint32_t a, uint32_t b) { return list[a].folded < list[b].folded; });
}

const HiveChild* HiveChildren::Find(std::u16string_view folded) const {
  auto at = std::lower_bound(
      byFolded_.begin(), byFolded_.end(), folded,
      [this](uint32_t i, std::u16string_view name) { return list[i].folded < name; });
  return at != byFolded_.end() && list[*at].folded == folded ? &list[*at] : nullptr;
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
  children->ok = files_[key.file]->SubKeys(key.node, entries);
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

bool HiveNamespace::Walk(HiveRef from, std::span<const std::u16string> folded, HiveRef& to) const {
  for (const std::u16string& name : folded) {
    const HiveChild* child = SubKeys(from)->Find(name);
    if (!child) return false;
    from = child->ref;
  }
  to = from;
  return true;
}

bool HiveNamespace::Values(HiveRef key, std::vector<HiveEntry>& entries) const {
  return key.file == HiveRef::kMountList || files_[key.file]->Values(key.node, entries);
}

bool HiveNamespace::ReadValue(HiveRef key, HiveValue value, RegValue& result) const {
  return key.file != HiveRef::kMountList && files_[key.file]->ReadValue(value, result);
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
