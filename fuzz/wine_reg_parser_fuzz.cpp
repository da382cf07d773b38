// Feeds arbitrary bytes to the Wine registry parser, then checks what it
// built: keys and values sorted by the lower-case fold, each found again by
// its own name, nesting within the limit, and opening keys through the
// namespace (which follows links) always coming back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/name_fold.h"
#include "registry/wine/wine_namespace.h"
#include "registry/wine/wine_reg_parser.h"

namespace {

using tarnwick::WineKey;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckKey(const WineKey& key) {
  const auto& subkeys = key.SubKeys();
  for (std::size_t i = 0; i < subkeys.size(); ++i) {
    if (i > 0) Check(subkeys[i - 1]->Folded() < subkeys[i]->Folded());
    Check(key.FindSubKey(subkeys[i]->Folded()) == subkeys[i].get());
  }
  const auto& values = key.Values();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) Check(tarnwick::CompareFoldedLower(values[i - 1].name, values[i].name) < 0);
    Check(key.FindValue(values[i].name) == &values[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tarnwick::WineRegFile file = tarnwick::ParseWineRegistry(text);
  Check(file.issues.size() <= tarnwick::WineRegFile::kMaxIssues);
  Check(file.issues.size() <= file.issueCount);

  tarnwick::WineNamespace registry(std::move(file.root), nullptr, nullptr);
  const WineKey* machine = registry.Top().FindSubKey(u"machine");
  Check(machine != nullptr);

  // Depth-first over the tree, keeping the folded path of the current key.
  struct Visit {
    const WineKey* key;
    std::size_t depth;
    bool belowLink;  // an open of this path goes elsewhere
  };
  std::vector<Visit> pending{{machine, 1, false}};
  std::vector<std::u16string> path;
  std::size_t opened = 0;
  while (!pending.empty()) {
    Visit visit = pending.back();
    pending.pop_back();
    Check(visit.depth <= tarnwick::kWineMaxKeyDepth + 1);
    path.resize(visit.depth);
    path[visit.depth - 1] = visit.key->Folded();
    CheckKey(*visit.key);
    if (opened++ < 2000) {
      const WineKey* key = registry.Open(path);
      Check(visit.belowLink || visit.key->IsLink() || key == visit.key);
    }
    bool belowLink = visit.belowLink || visit.key->IsLink();
    for (const auto& subkey : visit.key->SubKeys()) {
      pending.push_back({subkey.get(), visit.depth + 1, belowLink});
    }
  }
  return 0;
}
