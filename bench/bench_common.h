// What the export benchmarks share: the export of the bench key as the
// program makes it, timing, medians and file sizes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {
class RegistryStore;
class WrittenRecord;
}  // namespace tarnwick

namespace tarnwick::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The median; 0 for no figures.
double Median(std::vector<double> v);

// The file's size in bytes; 0 when it cannot be read.
std::uint64_t FileSize(const std::string& path);

// Exports the bench key as the program does: header, then the key path at
// depth 0 with its whole subtree. Returns the file size; throws
// std::runtime_error when the key is missing from the store. With record,
// what is written is recorded there, as the export run records it.
std::uint64_t ExportBenchKey(RegistryStore& store, int version, const std::string& path,
                             WrittenRecord* record = nullptr);

// Reads an export back and checks it against its record, as the export run
// does before a file takes its place. Throws when it differs.
void CheckBenchExport(const std::string& path, int version, const WrittenRecord& record);

}  // namespace tarnwick::bench
