#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/files.h"

namespace tarnwick::platform {
namespace {

FileStatus ToStatus(const struct stat& st) {
  FileStatus status;
  status.kind = S_ISREG(st.st_mode)   ? FileKind::Regular
                : S_ISDIR(st.st_mode) ? FileKind::Folder
                : S_ISLNK(st.st_mode) ? FileKind::Link
                                      : FileKind::Other;
  status.size = static_cast<uint64_t>(st.st_size);
  status.volume = static_cast<uint64_t>(st.st_dev);
  status.index = static_cast<uint64_t>(st.st_ino);
  status.modified = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  return status;
}

int WriteAll(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

// The path with its folder made absolute and free of links, for comparing
// names of files that do not exist yet.
std::string CanonicalName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string resolved = RealPath(folder);
  if (resolved.empty()) return path;
  return resolved + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace

FileStatus StatusOf(const std::string& path, bool followLinks) {
  struct stat st;
  if ((followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return {};
  return ToStatus(st);
}

bool FileExists(const std::string& path) {
  return StatusOf(path, false).kind != FileKind::Missing;
}

int WriteLockHeld(const std::string& path, bool& held) {
  held = false;
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  held = fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
  close(fd);
  return 0;
}

unsigned long UserId() {
  return getuid();
}

bool SameFile(const std::string& a, const std::string& b) {
  FileStatus sa = StatusOf(a), sb = StatusOf(b);
  if (sa.kind != FileKind::Missing && sb.kind != FileKind::Missing) {
    return sa.volume == sb.volume && sa.index == sb.index;
  }
  return CanonicalName(a) == CanonicalName(b);
}

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  closedir(dir);
  return names;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // A file system without the atomic form: link and unlink refuse an existing
  // target just as well; the last resort tests first.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST || errno == ENOENT) return errno;
  if (FileExists(to)) return EEXIST;
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RenameReplacing(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int MakeHardLink(const std::string& existing, const std::string& name) {
  return link(existing.c_str(), name.c_str()) == 0 ? 0 : errno;
}

int RemoveFile(const std::string& path) {
  if (StatusOf(path, false).kind == FileKind::Folder) return EISDIR;
  return unlink(path.c_str()) == 0 ? 0 : errno;
}

void CopyPermissions(const std::string& from, const std::string& to) {
  struct stat st;
  if (stat(from.c_str(), &st) == 0) chmod(to.c_str(), st.st_mode & 07777);
}

int ReplaceFileContents(const std::string& path, std::string_view bytes) {
  std::string target = RealPath(path);
  if (target.empty()) target = path;
  mode_t mode = 0666;
  struct stat st;
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if ((st.st_mode & S_IWUSR) == 0) return EACCES;
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode &= ~mask;
  }
  std::size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string temporary =
      folder + "." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return errno;
  int error = WriteAll(fd, bytes.data(), bytes.size());
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (error == 0 && fchmod(fd, mode) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) unlink(temporary.c_str());
  return error;
}

InputFile::~InputFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

int InputFile::Open(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

FileStatus InputFile::Status() const {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) return {};
  return ToStatus(st);
}

int InputFile::Read(char* buffer, std::size_t size, std::size_t& got) {
  for (;;) {
    ssize_t n = read(static_cast<int>(handle_), buffer, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    got = static_cast<std::size_t>(n);
    return 0;
  }
}

int InputFile::Seek(uint64_t offset) {
  return lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
}

OutputFile::~OutputFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

int OutputFile::Open(const std::string& path, Mode mode) {
  if (handle_ >= 0) Close();
  int flags = mode == Mode::Truncate ? O_TRUNC : O_EXCL | O_NOFOLLOW;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

int OutputFile::Write(const char* bytes, std::size_t size) {
  return WriteAll(static_cast<int>(handle_), bytes, size);
}

void OutputFile::StartWriteBack([[maybe_unused]] uint64_t offset,
                                [[maybe_unused]] uint64_t length) {
#ifdef SYNC_FILE_RANGE_WRITE
  sync_file_range(static_cast<int>(handle_), static_cast<off_t>(offset), static_cast<off_t>(length),
                  SYNC_FILE_RANGE_WRITE);
#endif
}

int OutputFile::Sync() {
  // A file system that cannot sync (a pipe-like target, a read-only mount
  // that still took the data) is not a failure of the write.
  if (fsync(static_cast<int>(handle_)) != 0 && errno != EINVAL && errno != EROFS) return errno;
  return 0;
}

int OutputFile::Truncate(uint64_t size) {
  return ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

std::string OutputFile::CurrentPath() const {
#ifdef __linux__
  if (handle_ < 0) return {};
  const int fd = static_cast<int>(handle_);
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  char buffer[4096];
  ssize_t n = readlink(link.c_str(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) == sizeof buffer) return {};
  std::string path(buffer, static_cast<std::size_t>(n));
  // A removed file reads as "NAME (deleted)", and another file may hold the
  // name by now: only a name that still reaches this file counts.
  struct stat byHandle, byName;
  if (fstat(fd, &byHandle) != 0 || lstat(path.c_str(), &byName) != 0 ||
      byHandle.st_dev != byName.st_dev || byHandle.st_ino != byName.st_ino) {
    return {};
  }
  return path;
#else
  return {};
#endif
}

int OutputFile::Close() {
  if (handle_ < 0) return 0;
  int result = close(static_cast<int>(handle_));
  handle_ = -1;
  return result != 0 && errno != EINTR ? errno : 0;
}

}  // namespace tarnwick::platform
