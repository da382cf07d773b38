// Test helpers: a temporary folder removed at the end of the test, and small
// file utilities.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path(), the system's separator, name (with '/' as the system's separator)
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// While it lives, every write past the given size of a file fails with
// EFBIG, as a full disk would make it fail: a real failure for code that
// writes files, whoever runs the test.
#ifndef _WIN32
class FileSizeLimit {
 public:
  explicit FileSizeLimit(unsigned long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long before_;
  void (*handler_)(int);
};
#endif

// The path with '/' replaced by the system's separator.
std::string NativePath(std::string_view path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);
// Path of a file under tests/data.
std::string TestDataPath(std::string_view relative);

}  // namespace tarnwick::test
