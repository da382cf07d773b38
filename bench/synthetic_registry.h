// Synthetic Wine registry files for the benchmarks: a tree of keys under
// HKCU\Software\Bench, written byte for byte as wineserver writes user.reg
// (sorted keys and values, \x escapes, wrapped hex lines). The same key count
// and seed always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnwick::bench {

inline constexpr std::size_t kDefaultKeyCount = 50000;
inline constexpr std::size_t kValuesPerKey = 5;
inline constexpr std::uint64_t kDefaultSeed = 1;
// The key that holds the tree, as the program names it and as regedit does.
inline constexpr char kBenchKeyPath[] = "HKCU\\Software\\Bench";
inline constexpr char kBenchKeyLongPath[] = "HKEY_CURRENT_USER\\Software\\Bench";

struct SyntheticTree {
  std::size_t keys = 0;             // keys below Software\Bench, each with values
  std::size_t values = 0;           // kValuesPerKey per key
  std::size_t maxDepth = 0;         // levels below Software\Bench
  std::size_t japaneseStrings = 0;  // string values whose data is Japanese
  std::size_t stringValues = 0;
  std::uint64_t userRegBytes = 0;
  std::uint64_t fileBytes = 0;  // all registry files written
};

// The text of a user.reg holding keyCount keys.
std::string SyntheticUserReg(std::size_t keyCount, std::uint64_t seed, SyntheticTree& tree);

// Writes user.reg and, unless userRegOnly, minimal system.reg and userdef.reg
// into dir, which is created when missing. Throws std::runtime_error when a
// file cannot be written.
SyntheticTree WriteSyntheticPrefix(const std::string& dir, std::size_t keyCount,
                                   std::uint64_t seed = kDefaultSeed, bool userRegOnly = false);

}  // namespace tarnwick::bench
