#include "registry/hive/hive_key.h"

#include "common/text_codec.h"

namespace tarnwick {
namespace {

// The subkeys of a merged key: both sorted lists walked in step, the smaller
// name taken each time and a name on both sides once, with the user's
// spelling, as Windows enumerates HKCR.
std::shared_ptr<const HiveChildren> Merge(const HiveChildren& user, const HiveChildren& machine) {
  auto merged = std::make_shared<HiveChildren>();
  merged->ok = user.ok && machine.ok;
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
    std::span<const std::u16string> folded) {
  HiveRef topFound, underFound;
  bool haveTop = registry->Walk(top, folded, topFound);
  bool haveUnder = under && registry->Walk(*under, folded, underFound);
  if (haveTop && haveUnder) {
    return std::make_unique<HiveRegistryKey>(std::move(registry), topFound, underFound);
  }
  if (haveTop || haveUnder) {
    return std::make_unique<HiveRegistryKey>(std::move(registry), haveTop ? topFound : underFound,
                                             std::nullopt);
  }
  return nullptr;
}

HiveRegistryKey::HiveRegistryKey(std::shared_ptr<const HiveNamespace> registry, HiveRef top,
                                 std::optional<HiveRef> under)
    : registry_(std::move(registry)), top_(top), under_(under) {}

const HiveChildren& HiveRegistryKey::Children() const {
  if (!children_) {
    children_ = registry_->SubKeys(top_);
    if (under_) children_ = Merge(*children_, *registry_->SubKeys(*under_));
  }
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
  if (!FoldHivePath(path, folded)) return nullptr;
  return Open(registry_, top_, under_, folded);
}

const std::vector<HiveEntry>* HiveRegistryKey::ValueList() const {
  if (!values_) {
    values_.emplace();
    valuesOk_ = registry_->Values(top_, *values_);
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
    if (!registry_->ReadValue(top_, value->handle, data)) return nullptr;
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
