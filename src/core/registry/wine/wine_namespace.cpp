#include "registry/wine/wine_namespace.h"

#include "common/text_codec.h"

namespace tarnwick {
namespace {

std::unique_ptr<WineKey> Mount(std::unique_ptr<WineKey> branch, std::u16string_view name) {
  if (!branch) branch = std::make_unique<WineKey>();
  branch->SetRootName(name);
  return branch;
}

}  // namespace

void FoldPath(std::u16string_view path, std::vector<std::u16string>& folded) {
  folded.clear();
  while (!path.empty()) {
    std::size_t cut = path.find(u'\\');
    std::u16string_view name = path.substr(0, cut);
    path.remove_prefix(cut == std::u16string_view::npos ? path.size() : cut + 1);
    if (!name.empty()) folded.push_back(FoldName(name));
  }
}

WineNamespace::WineNamespace(std::unique_ptr<WineKey> machine, std::unique_ptr<WineKey> userDefault,
                             std::unique_ptr<WineKey> user)
    : top_(std::make_unique<WineKey>()) {
  top_->SetRootName(u"REGISTRY");
  auto users = Mount(nullptr, u"User");
  users->AdoptSubKey(Mount(std::move(userDefault), u".Default"));
  users->AdoptSubKey(Mount(std::move(user), kUserSid));
  top_->AdoptSubKey(Mount(std::move(machine), u"Machine"));
  top_->AdoptSubKey(std::move(users));
}

const WineKey* WineNamespace::Open(std::span<const std::u16string> folded) const {
  int follows = 0;
  return Walk(top_.get(), folded, 0, follows);
}

const WineKey* WineNamespace::OpenBelow(const WineKey& key,
                                        std::span<const std::u16string> folded) const {
  int follows = 0;
  return Walk(&key, folded, 0, follows);
}

const WineKey* WineNamespace::Walk(const WineKey* key, std::span<const std::u16string> folded,
                                   int depth, int& follows) const {
  for (const std::u16string& name : folded) {
    if (key->IsLink() && !(key = Follow(*key, depth, follows))) return nullptr;
    if (!(key = key->FindSubKey(name))) return nullptr;
  }
  return key->IsLink() ? Follow(*key, depth, follows) : key;
}

// The target is an absolute path in the object namespace, case-insensitive,
// such as \Registry\Machine\Software\Classes\AppId. wineserver does not check
// the value's type, and a NUL unit in the data is part of the last name.
const WineKey* WineNamespace::Follow(const WineKey& link, int depth, int& follows) const {
  if (depth >= kMaxLinkDepth || ++follows > kMaxLinkFollows) return nullptr;
  const WineValue* target = link.FindValue(u"SymbolicLinkValue");
  if (!target) return nullptr;
  std::u16string path = LeBytesToUtf16(target->data);
  if (path.empty() || path[0] != u'\\') return nullptr;
  std::vector<std::u16string> folded;
  FoldPath(path, folded);
  if (folded.empty() || folded[0] != u"registry") return nullptr;
  return Walk(top_.get(), std::span(folded).subspan(1), depth + 1, follows);
}

}  // namespace tarnwick
