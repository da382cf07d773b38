// File operations with the semantics the program's file protocols rely on,
// one implementation for POSIX and one for Windows. Paths are UTF-8; the
// Windows side hands every call a UTF-16 path, so Japanese names work.
// A rename never replaces an existing file unless it says so, and failures
// come back as errno values (Windows errors mapped onto them) for the caller
// to ignore or report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform {

// A UTF-8 path as std::filesystem takes it. A path made from a plain
// std::string would be read in the ANSI code page on Windows.
inline std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

enum class FileKind { Missing, Regular, Folder, Link, Other };

struct FileStatus {
  FileKind kind = FileKind::Missing;
  uint64_t size = 0;
  // The file's identity: two names of one file have the same pair.
  uint64_t volume = 0;
  uint64_t index = 0;
  int64_t modified = 0;  // the last write, in nanoseconds since 1970

  // Equal statuses: the same file, unchanged as far as the system tells.
  bool operator==(const FileStatus&) const = default;
};

// What path names; with followLinks false a symbolic link is Link itself.
FileStatus StatusOf(const std::string& path, bool followLinks = true);
bool FileExists(const std::string& path);
// True when both names reach one file; names of files that do not exist are
// compared as absolute paths with their folders' links resolved.
bool SameFile(const std::string& a, const std::string& b);
// The absolute path with every link resolved; empty when it does not exist.
std::string RealPath(const std::string& path);
// Whether another process holds a POSIX write lock on the file's first byte,
// as a running wineserver holds its lock file: 0 and held, or the errno of
// opening the file. Never held on Windows, which has no such locks.
int WriteLockHeld(const std::string& path, bool& held);
// The user's numeric id where the system has one (the folder wineserver
// keeps its socket in is named after it); 0 elsewhere.
unsigned long UserId();
// The names in a folder, "." and ".." left out; empty when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

// Renames from to to unless to exists. Returns 0 or the errno of the failure
// (EEXIST when to exists).
int RenameNoReplace(const std::string& from, const std::string& to);
// Renames from to to, replacing a file to atomically, the rename itself
// flushed to the disk where the system lets us ask for it.
int RenameReplacing(const std::string& from, const std::string& to);
// A second name for a file; EEXIST when the name is taken, another errno
// where the file system has no hard links.
int MakeHardLink(const std::string& existing, const std::string& name);
// Deletes a file (not a folder). Returns 0 or the errno of the failure.
int RemoveFile(const std::string& path);
// Gives to the access permissions of from, where the system has such bits.
void CopyPermissions(const std::string& from, const std::string& to);

// Replaces the file's contents so that a crash or a full disk never leaves
// half a file: writes a temporary file in the same folder, flushes it and
// renames it over the old one, keeping the old file's permissions. A file
// without write permission is refused with EACCES, as a read-only file is on
// Windows. Follows a symbolic link to the file it names. Returns 0 or errno.
int ReplaceFileContents(const std::string& path, std::string_view bytes);

// A file opened for reading that never blocks in the open, so that a FIFO
// is refused after a look at its status instead of waiting for a writer.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  int Open(const std::string& path);  // 0 or errno (ENOENT, EISDIR, ...)
  FileStatus Status() const;
  // Reads up to size bytes into got (0 at the end). Returns 0 or errno.
  int Read(char* buffer, std::size_t size, std::size_t& got);
  // Moves to the offset from the start, where the next read begins. Returns 0 or errno.
  int Seek(uint64_t offset);

 private:
  std::intptr_t handle_ = -1;
};

// A file opened for writing, with the few operations the REG output needs.
class OutputFile {
 public:
  enum class Mode {
    Truncate,   // created, or emptied when it exists
    CreateNew,  // created; fails with EEXIST when the name is taken, link or not
  };
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  int Open(const std::string& path, Mode mode);  // 0 or errno
  bool IsOpen() const { return handle_ != -1; }
  // Writes every byte; 0 or errno (ENOSPC when the disk takes no more).
  int Write(const char* bytes, std::size_t size);
  // Starts writing a range to the disk without waiting for it, so that the
  // flush at the end has little left to do. A hint only.
  void StartWriteBack(uint64_t offset, uint64_t length);
  int Sync();                   // 0 or errno: the contents are on the disk
  int Truncate(uint64_t size);  // 0 or errno
  int Close();                  // 0 or errno; closed even when it fails
  // Where the open file's name is now, which differs from the name it was
  // opened under when its folder was moved meanwhile; empty when the file
  // has lost its name or the system cannot say.
  std::string CurrentPath() const;

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace tarnwick::platform
