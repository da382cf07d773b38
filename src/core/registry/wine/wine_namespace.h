// The \Registry tree of a Wine prefix as wineserver builds it from the three
// files: Machine (system.reg), User\.Default (userdef.reg) and
// User\S-1-5-21-0-0-0-1000 (user.reg). Opening a path follows link keys the
// way wineserver does: a key marked "#link" stands for the key named by the
// absolute path in its SymbolicLinkValue value.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "registry/wine/wine_key.h"

namespace tarnwick {

class WineNamespace {
 public:
  static constexpr std::u16string_view kUserSid = u"S-1-5-21-0-0-0-1000";
  // A link whose target passes through links is followed this many levels
  // deep at most; a loop fails there.
  static constexpr int kMaxLinkDepth = 16;
  // One open follows at most this many links in all: targets that each pass
  // through several links would otherwise take exponential time.
  static constexpr int kMaxLinkFollows = 1024;

  // Any branch may be empty (a missing file).
  WineNamespace(std::unique_ptr<WineKey> machine, std::unique_ptr<WineKey> userDefault,
                std::unique_ptr<WineKey> user);

  const WineKey& Top() const { return *top_; }  // \Registry

  // Opens the key at a path of folded names below \Registry, following the
  // links on the way and a link at the end. Null when a key is missing, a link
  // is broken, or links nest too deep or are too many.
  const WineKey* Open(std::span<const std::u16string> folded) const;
  // The same, for a path below a key of this tree that was opened before.
  const WineKey* OpenBelow(const WineKey& key, std::span<const std::u16string> folded) const;

 private:
  const WineKey* Walk(const WineKey* key, std::span<const std::u16string> folded, int depth,
                      int& follows) const;
  const WineKey* Follow(const WineKey& link, int depth, int& follows) const;

  std::unique_ptr<WineKey> top_;
};

// Splits a path on backslashes into folded names, skipping empty ones.
void FoldPath(std::u16string_view path, std::vector<std::u16string>& folded);

}  // namespace tarnwick
