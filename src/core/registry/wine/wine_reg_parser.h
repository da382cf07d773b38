// Reader of one Wine registry file ("WINE REGISTRY Version 2"), as wineserver
// loads system.reg, user.reg and userdef.reg at start-up: key paths are taken
// relative to the file's branch root, keys missing on the way are created,
// and every malformed line is skipped the way wineserver skips it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "registry/wine/wine_key.h"

namespace tarnwick {

enum class WineArch { Unknown, Win32, Win64 };

// A line wineserver would report on stderr while loading.
struct WineParseIssue {
  std::size_t line = 0;  // 1-based
  const char* what = "";
};

struct WineRegFile {
  // False when the first line is not the header, or an "#arch=" line names
  // an unknown or a second, different architecture: wineserver refuses such a
  // file as "not a registry file". The keys read before the refusal stay.
  bool valid = false;
  WineArch arch = WineArch::Unknown;
  std::unique_ptr<WineKey> root = std::make_unique<WineKey>();  // the "[]" key
  std::size_t keyLines = 0;
  std::size_t issueCount = 0;
  std::vector<WineParseIssue> issues;  // the first kMaxIssues of them
  static constexpr std::size_t kMaxIssues = 100;
};

// Key paths nest at most this deep below the branch root; a deeper key line
// counts as malformed. This bounds every recursive walk of the tree (the
// destructor's included) on hostile files.
inline constexpr std::size_t kWineMaxKeyDepth = 512;
// The largest registry file read: far above any real one (the files of a
// heavily used prefix are tens of MB), short of reading a device forever.
inline constexpr std::size_t kMaxRegistryFileSize = std::size_t{2} << 30;

// As wineserver: a key line with a longer name fails to create its key, and
// a value line with a longer name is not inserted.
inline constexpr std::size_t kMaxKeyNameUnits = 256;
inline constexpr std::size_t kMaxValueNameUnits = 16383;

// Parses the whole text of a file. Never throws except std::bad_alloc (and
// what idle throws); idle, when given, is called every few thousand keys.
WineRegFile ParseWineRegistry(std::string_view text, const std::function<void()>& idle = {});

}  // namespace tarnwick
