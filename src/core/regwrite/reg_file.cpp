#include "regwrite/reg_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/errors.h"
#include "common/file_ops.h"
#include "common/path_utils.h"
#include "common/text_codec.h"

namespace tarnwick {
namespace {

// Write-back of a large file is started as it grows, so that the flush to
// the disk at its end has little left to wait for.
constexpr uint64_t kWriteBackChunk = 8u << 20;

bool IsSpecial(mode_t mode) {
  return S_ISDIR(mode) || S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode) || S_ISSOCK(mode);
}

// The path with its folder made absolute and free of links, for comparing
// names of files that do not exist yet.
std::string CanonicalName(const std::string& path) {
  std::string folder = ExtractFilePath(path);
  std::string name = path.substr(folder.size());
  char* resolved = realpath(folder.empty() ? "." : folder.c_str(), nullptr);
  if (!resolved) return path;
  std::string result = std::string(resolved) + "/" + name;
  free(resolved);
  return result;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  return CanonicalName(a) == CanonicalName(b);
}

[[noreturn]] void Refuse(const std::string& text) {
  throw EInOutError(5, text);
}

// The file that f names, checked before anything is written: a link is
// followed to its file; f, its backup, rotation and temporary names must be
// regular files where they exist, and none may be a protected file.
std::string ResolveTarget(const std::string& f, const std::vector<std::string>& protectedFiles) {
  std::string target = f;
  struct stat st;
  if (lstat(f.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char* resolved = realpath(f.c_str(), nullptr);
    if (!resolved) Refuse("REG ファイルのリンク先がありません: " + f);
    target = resolved;
    free(resolved);
  }
  for (const std::string& name :
       {target, RegOutputFile::BackupName(target), RegOutputFile::RotationName(target),
        RegOutputFile::TemporaryName(target)}) {
    if (lstat(name.c_str(), &st) == 0 && IsSpecial(st.st_mode)) {
      Refuse("通常のファイルではないので、書き出しに使えません: " + name);
    }
    for (const std::string& input : protectedFiles) {
      if (!input.empty() && SameFile(name, input)) {
        Refuse("プログラムが読み込むファイルなので、書き出しに使えません: " + name);
      }
    }
  }
  std::string folder = ExtractFilePath(target);
  if (!folder.empty() && (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
    throw EInOutError(3, "書き出し先のフォルダーがありません: " + folder);
  }
  return target;
}

}  // namespace

RegOutputFile::RegOutputFile(uint32_t sizeCap)
    : sizeCap_(sizeCap), buffer_(std::make_unique<char[]>(kRegFileBufferSize)) {}

RegOutputFile::~RegOutputFile() {
  if (fd_ >= 0) close(fd_);
}

void RegOutputFile::Open(const std::string& path, int flags) {
  if (fd_ >= 0) close(fd_);
  used_ = 0;
  fileBytes_ = syncedBytes_ = markBytes_ = 0;
  markWritten_ = false;
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  if (fd_ < 0) throw MakeInOutError(errno);
}

void RegOutputFile::OpenRegFile(const std::string& path) {
  Open(path, O_TRUNC);
}

void RegOutputFile::RegWriteHeader() {
  if (regVersion_ == 4) {
    writtenBytes_ = 0;
    WriteRegLine(u"REGEDIT4\r\n");
  } else {
    writtenBytes_ = 2;
    Append("\xFF\xFE", 2);
    WriteRegLine(u"Windows Registry Editor Version 5.00\r\n");
  }
}

void RegOutputFile::WriteRegLine(std::u16string_view line) {
  std::size_t bytes = 0;
  if (regVersion_ == 4) {
    encoded_.clear();
    AppendUtf16AsCp932(encoded_, line);
    encoded_.append("\r\n");
    Append(encoded_.data(), encoded_.size());
    bytes = encoded_.size();
  } else {
    if constexpr (std::endian::native == std::endian::little) {
      // UTF-16 in memory already is the file's byte order.
      Append(reinterpret_cast<const char*>(line.data()), line.size() * 2);
    } else {
      encoded_.clear();
      for (char16_t unit : line) {
        encoded_.push_back(static_cast<char>(unit & 0xFF));
        encoded_.push_back(static_cast<char>(unit >> 8));
      }
      Append(encoded_.data(), encoded_.size());
    }
    Append("\r\0\n\0", 4);
    bytes = line.size() * 2 + 4;
  }
  writtenBytes_ += static_cast<uint32_t>(bytes);
  if (writtenBytes_ > sizeCap_) {
    throw ERegFileTooLarge("REGファイルが100Miバイトを超えたので、書き出しを中止します");
  }
}

void RegOutputFile::Append(const char* bytes, std::size_t n) {
  while (n > 0) {
    std::size_t chunk = std::min(n, kRegFileBufferSize - used_);
    std::memcpy(buffer_.get() + used_, bytes, chunk);
    used_ += chunk;
    bytes += chunk;
    n -= chunk;
    if (used_ == kRegFileBufferSize) Flush();
  }
}

void RegOutputFile::Flush() {
  std::size_t done = 0;
  while (done < used_) {
    ssize_t n = write(fd_, buffer_.get() + done, used_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = n < 0 ? errno : ENOSPC;
      used_ = 0;
      throw MakeInOutError(error);
    }
    done += static_cast<std::size_t>(n);
  }
  fileBytes_ += used_;
  used_ = 0;
#ifdef SYNC_FILE_RANGE_WRITE
  if (fileBytes_ - syncedBytes_ >= kWriteBackChunk) {
    sync_file_range(fd_, static_cast<off_t>(syncedBytes_),
                    static_cast<off_t>(fileBytes_ - syncedBytes_), SYNC_FILE_RANGE_WRITE);
    syncedBytes_ = fileBytes_;
  }
#endif
}

void RegOutputFile::MarkComplete() {
  Flush();
  markBytes_ = fileBytes_;
  markWritten_ = regFileWritten_;
}

void RegOutputFile::CloseRegFile() {
  if (fd_ < 0) return;
  int error = 0;
  try {
    Flush();
  } catch (const EInOutError&) {
    close(fd_);
    fd_ = -1;
    throw;
  }
  if (fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) error = errno;
  if (close(fd_) != 0 && errno != EINTR && error == 0) error = errno;
  fd_ = -1;
  if (error != 0) throw MakeInOutError(error);
}

void RegOutputFile::Abandon(const std::string& temporary) {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  used_ = 0;
  DeleteFile(temporary);
}

// After writeKeys failed: cuts the file back to the last mark and closes it.
// False when nothing complete holds a key, or the file cannot be kept.
bool RegOutputFile::KeepComplete() {
  regFileWritten_ = markWritten_;
  if (!markWritten_ || fd_ < 0) return false;
  used_ = 0;
  fileBytes_ = markBytes_;
  if (ftruncate(fd_, static_cast<off_t>(markBytes_)) != 0) return false;
  try {
    CloseRegFile();
  } catch (const EInOutError&) {
    return false;
  }
  return true;
}

void RegOutputFile::WriteRegFile(const std::string& f, const std::function<void()>& writeKeys) {
  regFileWritten_ = false;
  const std::string target = ResolveTarget(f, protected_);
  const std::string temporary = TemporaryName(target);
  struct stat st;
  targetMode_ = stat(target.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  DeleteFile(temporary);  // a killed run's
  Open(temporary, O_EXCL | O_NOFOLLOW);
  try {
    RegWriteHeader();
    MarkComplete();
    writeKeys();
    MarkComplete();
  } catch (...) {
    bool keep = KeepComplete();
    try {
      if (keep) Place(target, temporary);
    } catch (const EInOutError&) {
      keep = false;  // the error that ended the writing is the one to report
    }
    if (!keep) Abandon(temporary);
    throw;
  }
  try {
    CloseRegFile();
  } catch (const EInOutError&) {
    Abandon(temporary);
    throw;
  }
  Place(target, temporary);
}

// Puts the closed temporary file in place of target, or removes it when it
// holds no key. Throws EInOutError, with target and its backup as they were,
// when the backup cannot be made or the file cannot be put in place.
void RegOutputFile::Place(const std::string& target, const std::string& temporary) {
  const std::string backup = BackupName(target), rotation = RotationName(target);
  if (createBackup_) DeleteFile(rotation);  // a killed run's
  if (!regFileWritten_) {
    DeleteFile(temporary);
    return;
  }
  if (targetMode_ != 0) chmod(temporary.c_str(), targetMode_);
  bool rotated = false, linked = false;
  if (createBackup_) {
    // The earlier backup steps aside, and the earlier file becomes the
    // backup while it stays in place: a hard link, where the file system
    // has them.
    rotated = RenameNoReplace(backup, rotation) == 0;
    if (FileExists(target)) {
      int error = link(target.c_str(), backup.c_str()) == 0 ? 0 : errno;
      linked = error == 0;
      if (error != 0 && error != EEXIST) error = RenameNoReplace(target, backup);
      if (error != 0) {
        if (rotated) RenameNoReplace(rotation, backup);
        DeleteFile(temporary);
        throw EInOutError(MakeInOutError(error).Code(),
                          "バックアップ ファイルを作れないので、書き出しを中止しました: " + backup +
                              " (" + MakeInOutError(error).what() + ")");
      }
    }
  }
  if (rename(temporary.c_str(), target.c_str()) != 0) {
    int error = errno;
    if (linked) {
      DeleteFile(backup);
    } else if (createBackup_) {
      RenameNoReplace(backup, target);
    }
    if (rotated) RenameNoReplace(rotation, backup);
    DeleteFile(temporary);
    throw MakeInOutError(error);
  }
  if (rotated) DeleteFile(rotation);
}

}  // namespace tarnwick
