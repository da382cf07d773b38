#include "registry/hive/hive_key.h"

#include <algorithm>

#include "common/text_codec.h"

namespace tarnwick {
namespace {

// The subkeys of a merged key: both sorted lists walked in step, the smaller
// name taken each time and a name on both sides once, with the user's
// spelling, as Windows enumerates HKCR.
std::shared_ptr<const HiveChildren> Merge(const HiveChildren& user, const HiveChildren& machine) {
  auto merged = std::make_shared<HiveChildren>();
  merged->ok = user.ok && machine.ok;
  merged->problems = user.problems;
  merged->problems.insert(merged->problems.end(), machine.problems.begin(), machine.problems.end());
  std::size_t i = 0, j = 0;
  while (i < user.list.size() || j < machine.list.size()) {
    if (j == machine.list.size()) {
      merged->list.push_back(user.list[i++]);
    } else if (i == user.list.size()) {
      merged->list.push_back(machine.list[j++]);
    } else {
      int order = user.list[i].folded.compare(machine.list[j].folded);
      merged->list.push_back(order <= 0 ? user.list[i++] : machine.list[j++]);
      if (order == 0) ++j;
    }
  }
  merged->BuildIndex();
  return merged;
}

}  // namespace

std::unique_ptr<HiveRegistryKey> HiveRegistryKey::Open(
    std::shared_ptr<const HiveNamespace> registry, HiveRef top, std::optional<HiveRef> under,
    std::span<const std::u16string> folded, std::span<const std::string> spelled,
    const HiveKeyPlace& place) {
  HiveRef topFound, underFound;
  HiveKeyPlace found{place.name, place.chain};
  for (const std::string& name : spelled) found.name.append("\\").append(name);
  std::vector<HiveRef> underChain;
  bool haveTop = registry->Walk(top, folded, topFound, spelled, &found.chain);
  bool haveUnder = under && registry->Walk(*under, folded, underFound, spelled, &underChain);
  if (!haveTop) found.chain.resize(place.chain.size());
  if (haveUnder) found.chain.insert(found.chain.end(), underChain.begin(), underChain.end());
  if (haveTop && haveUnder) {
    return std::make_unique<HiveRegistryKey>(std::move(registry), topFound, underFound,
                                             std::move(found));
  }
  if (haveTop || haveUnder) {
    return std::make_unique<HiveRegistryKey>(std::move(registry), haveTop ? topFound : underFound,
                                             std::nullopt, std::move(found));
  }
  return nullptr;
}

HiveRegistryKey::HiveRegistryKey(std::shared_ptr<const HiveNamespace> registry, HiveRef top,
                                 std::optional<HiveRef> under, HiveKeyPlace place)
    : registry_(std::move(registry)), place_(std::move(place)), top_(top), under_(under) {}

void HiveRegistryKey::Report(const std::optional<std::string>& child,
                             std::optional<std::string> value, std::string reason) const {
  std::string name = place_.name;
  if (child) name.append("\\").append(*child);
  registry_->Report({std::move(name), std::move(value), std::move(reason)});
}

const HiveChildren& HiveRegistryKey::Children() const {
  if (children_) return *children_;
  children_ = registry_->SubKeys(top_);
  if (under_) children_ = Merge(*children_, *registry_->SubKeys(*under_));
  for (const HiveListProblem& problem : children_->problems) {
    Report(problem.child, std::nullopt, problem.reason);
  }
  auto onTheWay = [this](const HiveChild& child) {
    return std::find(place_.chain.begin(), place_.chain.end(), child.ref) != place_.chain.end();
  };
  if (std::none_of(children_->list.begin(), children_->list.end(), onTheWay)) return *children_;
  auto kept = std::make_shared<HiveChildren>(*children_);
  std::erase_if(kept->list, [&](const HiveChild& child) {
    if (!onTheWay(child)) return false;
    Report(child.name, std::nullopt,
           kHiveDamaged + std::string("上のキーに戻っているので、たどっていません"));
    return true;
  });
  kept->problems.clear();
  kept->BuildIndex();
  children_ = std::move(kept);
  return *children_;
}

bool HiveRegistryKey::SubKeyNames(std::vector<std::string>& names) const {
  const HiveChildren& children = Children();
  for (const HiveChild& child : children.list) names.push_back(child.name);
  return children.ok;
}

bool HiveRegistryKey::HasSubKeys() const {
  return !Children().list.empty();
}

std::unique_ptr<RegistryKey> HiveRegistryKey::OpenSubKey(std::string_view path, uint32_t) const {
  std::vector<std::u16string> folded;
  std::vector<std::string> spelled;
  if (!FoldHivePath(path, folded, &spelled)) return nullptr;
  return Open(registry_, top_, under_, folded, spelled, place_);
}

const std::vector<HiveEntry>* HiveRegistryKey::ValueList() const {
  if (!values_) {
    values_.emplace();
    std::string problem;
    valuesOk_ = registry_->Values(top_, *values_, &problem);
    if (!problem.empty()) Report(std::nullopt, std::nullopt, std::move(problem));
  }
  return &*values_;
}

bool HiveRegistryKey::ValueNames(std::vector<std::string>& names) const {
  for (const HiveEntry& value : *ValueList()) names.push_back(value.name);
  return valuesOk_;
}

const HiveEntry* HiveRegistryKey::FindValue(std::string_view name) const {
  const std::vector<HiveEntry>& values = *ValueList();
  auto select = [&](std::size_t i) {
    if (i != lastIndex_) {
      wide_.reset();
      narrow_.reset();
      lastIndex_ = i;
    }
    return &values[i];
  };
  for (std::size_t i : {lastIndex_, lastIndex_ + 1}) {
    if (i < values.size() && values[i].name == name) return select(i);
  }
  const std::u16string folded = FoldUpperName(Utf8ToUtf16(name));
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (FoldUpperName(Utf8ToUtf16(values[i].name)) == folded) return select(i);
  }
  return nullptr;
}

const RegValue* HiveRegistryKey::Data(std::string_view name, TextForm form) const {
  const HiveEntry* value = FindValue(name);
  if (!value) return nullptr;
  if (!wide_) {
    RegValue data;
    std::string problem;
    if (!registry_->ReadValue(top_, value->handle, data, &problem)) {
      if (!problem.empty()) Report(std::nullopt, value->name, std::move(problem));
      return nullptr;
    }
    wide_ = std::move(data);
  }
  if (form == TextForm::Wide || !IsStringType(wide_->type)) return &*wide_;
  if (!narrow_) narrow_ = RegValue{wide_->type, NarrowValueData(wide_->type, wide_->data)};
  return &*narrow_;
}

bool HiveRegistryKey::QueryValueInfo(std::string_view name, TextForm form, uint32_t& type,
                                     uint32_t& size) const {
  const RegValue* value = Data(name, form);
  if (!value) return false;
  type = value->type;
  size = static_cast<uint32_t>(value->data.size());
  return true;
}

bool HiveRegistryKey::QueryValue(std::string_view name, TextForm form, uint32_t maxSize,
                                 RegValue& result) const {
  const RegValue* value = Data(name, form);
  if (!value || value->data.size() > maxSize) return false;
  result = *value;
  return true;
}

}  // namespace tarnwick
