#include "common/input_file.h"

#include <algorithm>
#include <cerrno>

#include "common/errors.h"
#include "common/text_codec.h"
#include "platform/files.h"

namespace tarnwick {
namespace {

std::string LineOf(std::string_view bytes, std::size_t offset) {
  return std::to_string(std::count(bytes.begin(), bytes.begin() + offset, '\n') + 1);
}

}  // namespace

InputPieces::InputPieces() : file_(std::make_unique<platform::InputFile>()) {}
InputPieces::~InputPieces() = default;

bool InputPieces::Open(const std::string& path, std::size_t maxSize) {
  const char* const kFolder = "ファイルではなく、フォルダーです";
  if (int error = file_->Open(path)) {
    if (error == ENOENT) return false;
    if (error == EISDIR) throw EInOutError(5, kFolder);
    throw MakeInOutError(error);
  }
  platform::FileStatus status = file_->Status();
  if (status.kind == platform::FileKind::Folder) throw EInOutError(5, kFolder);
  if (status.kind != platform::FileKind::Regular) {
    throw EInOutError(5, "通常のファイルではありません (デバイス、FIFO など)");
  }
  if (status.size > maxSize) {
    throw EInOutError(
        5, "ファイルが大きすぎます (" + std::to_string(maxSize >> 20) + " MiB を超えています)");
  }
  size_ = status.size;
  maxSize_ = maxSize;
  return true;
}

std::size_t InputPieces::Read(char* buffer, std::size_t room) {
  std::size_t got = 0;
  if (int error = file_->Read(buffer, room, got)) throw MakeInOutError(error);
  read_ += got;
  if (read_ > maxSize_) throw EInOutError(5, "ファイルが大きすぎます");  // it grew while read
  return got;
}

bool InputPieces::Seek(uint64_t offset) {
  if (file_->Seek(offset) != 0) return false;
  read_ = offset;
  return true;
}

bool ReadInputFile(const std::string& path, std::string& bytes, std::size_t maxSize) {
  bytes.clear();
  InputPieces file;
  if (!file.Open(path, maxSize)) return false;
  char buffer[65536];
  while (std::size_t got = file.Read(buffer, sizeof buffer)) bytes.append(buffer, got);
  return true;
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
