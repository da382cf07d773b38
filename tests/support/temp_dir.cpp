#include "temp_dir.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "common/path_utils.h"
#include "platform/files.h"

namespace tarnwick::test {

using platform::FsPath;

TempDir::TempDir() {
#ifdef _WIN32
  static unsigned counter = 0;
  std::u8string base = std::filesystem::temp_directory_path().u8string();
  std::string temp(base.begin(), base.end());
  if (!temp.empty() && temp.back() != '\\') temp += '\\';
  for (;; ++counter) {
    path_ = temp + "tarnwick-test-" + std::to_string(std::rand()) + "-" + std::to_string(counter);
    std::error_code ec;
    if (std::filesystem::create_directory(FsPath(path_), ec)) break;
    if (ec) throw std::runtime_error("cannot make a temporary folder: " + ec.message());
  }
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; make them writable first.
  for (auto it = std::filesystem::recursive_directory_iterator(FsPath(path_), ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(FsPath(path_), ec);
}

#ifndef _WIN32
FileSizeLimit::FileSizeLimit(unsigned long bytes) {
  handler_ = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  before_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = before_;
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, handler_);
}
#endif

std::string TempDir::File(std::string_view name) const {
  return path_ + kPathDelim + NativePath(name);
}

std::string NativePath(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '/') c = kPathDelim;
  }
  return result;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
  return platform::FileExists(path);
}

std::string TestDataPath(std::string_view relative) {
  return std::string(TARNWICK_TEST_DATA) + "/" + std::string(relative);
}

}  // namespace tarnwick::test
