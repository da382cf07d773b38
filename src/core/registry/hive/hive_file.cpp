#include "registry/hive/hive_file.h"

#include <hivex.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/errors.h"
#include "registry/hive/hive_folder.h"

namespace tarnwick {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

uint32_t Le32(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
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
// a smaller hive). True when the header's sequence numbers differ: Windows
// raises the first before a write and the second after it, so the hive is
// dirty and its log files hold what the write did not finish.
bool CheckWhole(const std::string& path, HiveFileStamp& stamp) {
  platform::InputFile file;
  if (int error = file.Open(path)) ThrowUnreadable(path, Reason(error));
  const platform::FileStatus status = file.Status();
  if (status.kind != platform::FileKind::Regular) {
    ThrowUnreadable(path, "通常のファイルではありません");
  }
  unsigned char header[0x2C];
  std::size_t have = 0;
  for (std::size_t got = 1; have < sizeof header && got > 0; have += got) {
    if (file.Read(reinterpret_cast<char*>(header) + have, sizeof header - have, got) != 0) break;
  }
  if (have < sizeof header || status.size < 0x1000ull + Le32(header + 0x28)) {
    ThrowUnreadable(path, Reason(EINVAL));
  }
  stamp = status;
  return Le32(header + 4) != Le32(header + 8);
}

// A dirty hive's changes are in its log files, which Windows replays at its
// next start. A clean hive's logs may hold entries too, already applied,
// which Windows ignores: only a dirty hive is noted.
std::string DirtyNote(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  std::string logs;
  for (const char* suffix : {".LOG1", ".LOG2", ".LOG"}) {
    std::string log = FindEntry(dir, name + suffix);
    const platform::FileStatus status =
        log.empty() ? platform::FileStatus{} : platform::StatusOf(log);
    if (status.kind == platform::FileKind::Regular && status.size > 0) {
      logs += (logs.empty() ? "" : ", ") + log;
    }
  }
  return "ハイブ ファイルへの最後の書き込みが途中で終わっています: " + path +
         (logs.empty() ? "" : " (残りはログ ファイルにあります: " + logs + ")");
}

}  // namespace

HiveFileStamp StampOf(const std::string& path) {
  return platform::StatusOf(path);
}

HiveFile::HiveFile(std::string path) : path_(std::move(path)) {
  const bool dirty = CheckWhole(path_, stamp_);
  errno = 0;
  hive_ = hivex_open(path_.c_str(), 0);
  if (!hive_) ThrowUnreadable(path_, Reason(errno == 0 ? EINVAL : errno));
  root_ = hivex_root(hive_);
  if (root_ == 0) {
    hivex_close(hive_);
    ThrowUnreadable(path_, Reason(EINVAL));
  }
  if (dirty) notes_.push_back(DirtyNote(path_));
}

HiveFile::~HiveFile() {
  hivex_close(hive_);
}

bool HiveFile::SubKeys(HiveNode node, std::vector<HiveEntry>& entries, std::string* problem) const {
  Malloced<hive_node_h> children(hivex_node_children(hive_, node));
  if (!children) return false;
  std::size_t undecodable = 0;
  for (const hive_node_h* child = children.get(); *child != 0; ++child) {
    Malloced<char> name(hivex_node_name(hive_, *child));
    // The length in UTF-8 bytes keeps a NUL that the name may hold.
    std::size_t length = name ? hivex_node_name_len(hive_, *child) : 0;
    if (name && length == 0) length = std::strlen(name.get());
    // An empty name would open the key itself: no key has one.
    if (length == 0) {
      ++undecodable;
      continue;
    }
    entries.push_back({std::string(name.get(), length), *child});
  }
  if (undecodable > 0 && problem) {
    *problem = kHiveDamaged + std::string("名前を読めないサブキーが ") +
               std::to_string(undecodable) + " 個あります (書き出していません)";
  }
  return true;
}

bool HiveFile::Values(HiveNode node, std::vector<HiveEntry>& entries, std::string* problem) const {
  Malloced<hive_value_h> values(hivex_node_values(hive_, node));
  if (!values) return false;
  std::size_t undecodable = 0;
  for (const hive_value_h* value = values.get(); *value != 0; ++value) {
    Malloced<char> name(hivex_value_key(hive_, *value));
    if (!name) {
      ++undecodable;
      continue;
    }
    std::size_t length = name.get()[0] == '\0' ? 0 : hivex_value_key_len(hive_, *value);
    if (length == 0) length = std::strlen(name.get());
    entries.push_back({std::string(name.get(), length), *value});
  }
  if (undecodable > 0 && problem) {
    *problem = kHiveDamaged + std::string("名前を読めない値が ") + std::to_string(undecodable) +
               " 個あります (書き出していません)";
  }
  return true;
}

bool HiveFile::ReadValue(HiveValue value, RegValue& result, std::string* problem) const {
  hive_type type = hive_t_none;
  std::size_t length = 0;
  errno = 0;
  Malloced<char> data(hivex_value_value(hive_, value, &type, &length));
  if (!data) {
    // hivex refuses data whose record points at no cell, or at one too small.
    const bool damaged = errno == EINVAL || errno == EFAULT || errno == ENOTSUP;
    if (damaged && problem) {
      *problem = kHiveDamaged + std::string("データの記録が正しくありません (書き出していません)");
    }
    // Nothing to read is not a failure, whatever malloc(0) gave.
    if (damaged || length != 0 || hivex_value_type(hive_, value, &type, &length) != 0 ||
        length != 0) {
      return false;
    }
  }
  // hivex gives what the big-data segments hold when that is less than the
  // record says: such data was cut short, and none of it is taken.
  hive_type declaredType = hive_t_none;
  std::size_t declared = 0;
  if (data && hivex_value_type(hive_, value, &declaredType, &declared) == 0 && length < declared) {
    if (problem) {
      *problem = kHiveDamaged + std::string("データが記録より短くなっています (") +
                 std::to_string(declared) + " バイトのうち " + std::to_string(length) +
                 " バイト。書き出していません)";
    }
    return false;
  }
  // Any 32-bit number may be stored, more than the enumeration holds: its
  // bytes are read, not the enumeration's value.
  static_assert(sizeof type == sizeof result.type);
  std::memcpy(&result.type, &type, sizeof result.type);
  result.data.assign(data ? data.get() : "", data ? length : 0);
  return true;
}

}  // namespace tarnwick
