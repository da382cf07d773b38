// Feeds arbitrary bytes to the hive reader as the file of a user's NTUSER.DAT
// would reach it, and walks what opens: every subkey (up to a bound), every
// value name, every value's data in both forms. The header checksum is set
// right first, so that changes to the header's fields get past hivex's
// check and reach the rest.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/errors.h"
#include "registry/hive/hive_key.h"
#include "registry/hive/hive_namespace.h"

namespace {

using namespace tarnwick;

constexpr int kMaxKeys = 2000;

void FixChecksum(std::string& bytes) {
  if (bytes.size() < 0x200) return;
  uint32_t sum = 0;
  for (std::size_t i = 0; i < 0x1FC; i += 4) {
    uint32_t word;
    std::memcpy(&word, bytes.data() + i, 4);
    sum ^= word;
  }
  sum = sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum == 0 ? 1 : sum;
  std::memcpy(bytes.data() + 0x1FC, &sum, 4);
}

void Walk(const RegistryKey& key, int& budget) {
  std::vector<std::string> names;
  key.ValueNames(names);
  for (const std::string& name : names) {
    for (TextForm form : {TextForm::Wide, TextForm::Narrow}) {
      uint32_t type = 0, size = 0;
      RegValue value;
      if (key.QueryValueInfo(name, form, type, size)) key.QueryValue(name, form, size, value);
    }
  }
  names.clear();
  key.HasSubKeys();
  key.SubKeyNames(names);
  for (const std::string& name : names) {
    if (--budget <= 0) return;
    if (auto subkey = key.OpenSubKey(name, kKeyRead)) Walk(*subkey, budget);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  FixChecksum(bytes);
  int fd = memfd_create("hive", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  try {
    auto registry = std::make_shared<HiveNamespace>();
    uint32_t file = registry->AddFile(std::make_unique<HiveFile>(path));
    int budget = kMaxKeys;
    HiveRegistryKey root(registry, registry->RootOf(file), std::nullopt);
    Walk(root, budget);
    // The same file under itself, as HKCR merges two trees.
    HiveRegistryKey merged(registry, registry->RootOf(file), registry->RootOf(file));
    budget = kMaxKeys / 4;
    Walk(merged, budget);
  } catch (const ERegistrySourceError&) {
    // A file that is not a whole hive is refused: the outcome wanted.
  }
  close(fd);
  return 0;
}
