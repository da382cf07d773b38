#include "bench_common.h"

#include <sys/stat.h>

#include <algorithm>
#include <stdexcept>

#include "common/ports.h"
#include "regwrite/reg_check.h"
#include "regwrite/reg_file.h"
#include "regwrite/reg_text.h"
#include "synthetic_registry.h"

namespace tarnwick::bench {

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

std::uint64_t ExportBenchKey(RegistryStore& store, int version, const std::string& path,
                             WrittenRecord* record) {
  RegOutputFile file;
  file.SetRegVersion(version);
  NoProgress progress;
  RegWriter writer(store, file, progress);
  if (record) record->Clear();
  writer.Record = record;
  writer.TotalKeyCount = 1;
  file.OpenRegFile(path);
  writer.RegWriteHeader();
  if (writer.RegWriteKey(kBenchKeyPath, "Bench", "", 0)) {
    throw std::runtime_error(std::string(kBenchKeyPath) + " is missing from the store");
  }
  file.CloseRegFile();
  return FileSize(path);
}

void CheckBenchExport(const std::string& path, int version, const WrittenRecord& record) {
  CheckRegFile(path, path, version, record, record.Entries().size());
}

}  // namespace tarnwick::bench
