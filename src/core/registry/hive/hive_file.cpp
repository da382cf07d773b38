#include "registry/hive/hive_file.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/errors.h"

namespace tarnwick {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

HiveFileStamp StampOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

[[noreturn]] void ThrowUnreadable(const std::string& path, const std::string& why) {
  throw ERegistrySourceError("Windows のレジストリ ハイブを読み込めません: " + path + " (" + why +
                             ")");
}

std::string Reason(int error) {
  switch (error) {
    case EINVAL:
    case ENOTSUP:
    case EFAULT:
    case ERANGE:
      return "ハイブが壊れているか、ハイブ ファイルではありません";
    case EACCES:
    case EPERM:
      return "読み取りが許可されていません";
    default:
      return std::strerror(error);
  }
}

// Checks what hivex does not: that the file is a regular one (hivex opens
// without O_NONBLOCK, and a FIFO would block it for good) and holds all the
// hive bins its header counts (hivex reads a file cut at the end of a bin as
// a smaller hive).
void CheckWhole(const std::string& path, HiveFileStamp& stamp) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) ThrowUnreadable(path, Reason(errno));
  struct stat st;
  unsigned char header[0x2C];
  bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  bool complete = regular && pread(fd, header, sizeof header, 0) == sizeof header;
  close(fd);
  if (!regular) ThrowUnreadable(path, "通常のファイルではありません");
  if (complete) {
    uint32_t bins = header[0x28] | header[0x29] << 8 | header[0x2A] << 16 |
                    static_cast<uint32_t>(header[0x2B]) << 24;
    complete = static_cast<uint64_t>(st.st_size) >= 0x1000ull + bins;
  }
  if (!complete) ThrowUnreadable(path, Reason(EINVAL));
  stamp = StampOf(st);
}

}  // namespace

HiveFileStamp StampOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? StampOf(st) : HiveFileStamp{};
}

HiveFile::HiveFile(std::string path) : path_(std::move(path)) {
  CheckWhole(path_, stamp_);
  errno = 0;
  hive_ = hivex_open(path_.c_str(), 0);
  if (!hive_) ThrowUnreadable(path_, Reason(errno == 0 ? EINVAL : errno));
  root_ = hivex_root(hive_);
  if (root_ == 0) {
    hivex_close(hive_);
    ThrowUnreadable(path_, Reason(EINVAL));
  }
}

HiveFile::~HiveFile() {
  hivex_close(hive_);
}

bool HiveFile::SubKeys(HiveNode node, std::vector<HiveEntry>& entries) const {
  Malloced<hive_node_h> children(hivex_node_children(hive_, node));
  if (!children) return false;
  for (const hive_node_h* child = children.get(); *child != 0; ++child) {
    // A subkey record must name this key as its parent. One that names
    // another key, or the root, is damage that could make the tree a loop, and
    // an export walking it would never end.
    if (*child == root_ || hivex_node_parent(hive_, *child) != node) continue;
    Malloced<char> name(hivex_node_name(hive_, *child));
    if (!name) continue;  // not decodable: left out
    // The length in UTF-8 bytes keeps a NUL that the name may hold.
    std::size_t length = hivex_node_name_len(hive_, *child);
    if (length == 0) length = std::strlen(name.get());
    entries.push_back({std::string(name.get(), length), *child});
  }
  return true;
}

bool HiveFile::Values(HiveNode node, std::vector<HiveEntry>& entries) const {
  Malloced<hive_value_h> values(hivex_node_values(hive_, node));
  if (!values) return false;
  for (const hive_value_h* value = values.get(); *value != 0; ++value) {
    Malloced<char> name(hivex_value_key(hive_, *value));
    if (!name) continue;
    std::size_t length = name.get()[0] == '\0' ? 0 : hivex_value_key_len(hive_, *value);
    if (length == 0) length = std::strlen(name.get());
    entries.push_back({std::string(name.get(), length), *value});
  }
  return true;
}

bool HiveFile::ReadValue(HiveValue value, RegValue& result) const {
  hive_type type = hive_t_none;
  std::size_t length = 0;
  Malloced<char> data(hivex_value_value(hive_, value, &type, &length));
  if (!data) {
    // Nothing to read is not a failure, whatever malloc(0) gave.
    if (length != 0 || hivex_value_type(hive_, value, &type, &length) != 0 || length != 0) {
      return false;
    }
  }
  // Any 32-bit number may be stored, more than the enumeration holds: its
  // bytes are read, not the enumeration's value.
  static_assert(sizeof type == sizeof result.type);
  std::memcpy(&result.type, &type, sizeof result.type);
  result.data.assign(data ? data.get() : "", data ? length : 0);
  return true;
}

}  // namespace tarnwick
