#include "common/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/errors.h"
#include "common/text_codec.h"

namespace tarnwick {
namespace {

// Closes the descriptor however the read ends.
struct FdCloser {
  int fd;
  ~FdCloser() { close(fd); }
};

std::string LineOf(std::string_view bytes, std::size_t offset) {
  return std::to_string(std::count(bytes.begin(), bytes.begin() + offset, '\n') + 1);
}

}  // namespace

bool ReadInputFile(const std::string& path, std::string& bytes, std::size_t maxSize) {
  bytes.clear();
  // Never blocks in open: a FIFO is refused below instead of waiting for a writer.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    if (errno == EISDIR) throw EInOutError(5, "ファイルではなく、フォルダーです");
    throw MakeInOutError(errno);
  }
  FdCloser closer{fd};
  struct stat st;
  if (fstat(fd, &st) != 0) throw MakeInOutError(errno);
  if (S_ISDIR(st.st_mode)) throw EInOutError(5, "ファイルではなく、フォルダーです");
  if (!S_ISREG(st.st_mode)) {
    throw EInOutError(5, "通常のファイルではありません (デバイス、FIFO など)");
  }
  if (static_cast<std::size_t>(st.st_size) > maxSize) {
    throw EInOutError(
        5, "ファイルが大きすぎます (" + std::to_string(maxSize >> 20) + " MiB を超えています)");
  }
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw MakeInOutError(errno);
    if (n == 0) return true;
    if (bytes.size() + static_cast<std::size_t>(n) > maxSize) {  // it grew while read
      throw EInOutError(5, "ファイルが大きすぎます");
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string Cp932TextProblem(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    return "UTF-8 の BOM が付いています。Shift-JIS (CP932) で保存してください。";
  }
  if (std::size_t nul = bytes.find('\0'); nul != std::string_view::npos) {
    return "テキストではありません (" + LineOf(bytes, nul) + " 行目に NUL バイト)。";
  }
  if (LooksLikeUtf8(bytes)) {
    auto first = std::find_if(bytes.begin(), bytes.end(),
                              [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return "UTF-8 で書かれています (" + LineOf(bytes, first - bytes.begin()) +
           " 行目)。Shift-JIS (CP932) で保存してください。";
  }
  if (std::size_t bad = FirstNonCp932Byte(bytes); bad != std::string_view::npos) {
    return "Shift-JIS (CP932) の文字ではないバイトがあります (" + LineOf(bytes, bad) + " 行目)。";
  }
  return std::string();
}

}  // namespace tarnwick
