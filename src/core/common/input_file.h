// Reading the program's input files (the data file, the settings file, REG
// files and the Wine registry's): only a regular file is read, never a
// folder, a device or a FIFO, up to a size no real file of the kind reaches.
// The data and settings files' text must be CP932.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

namespace platform {
class InputFile;
}

// Far above any real data or settings file; a larger "file" is a mistake
// (a device, a wrong name) that would otherwise be read until memory runs out.
inline constexpr std::size_t kMaxInputFileSize = 64u << 20;

// Reads the whole file into bytes. False when there is no such file. Throws
// EInOutError, with a message that names the cause, when the name is a
// folder or not a regular file, the file is larger than maxSize, or reading
// fails.
bool ReadInputFile(const std::string& path, std::string& bytes,
                   std::size_t maxSize = kMaxInputFileSize);

// A file read piece by piece, opened and limited as ReadInputFile reads one.
class InputPieces {
 public:
  InputPieces();
  ~InputPieces();
  InputPieces(const InputPieces&) = delete;
  InputPieces& operator=(const InputPieces&) = delete;

  // False when there is no such file. Both throw as ReadInputFile does.
  bool Open(const std::string& path, std::size_t maxSize);
  // Up to room bytes into buffer; 0 at the end.
  std::size_t Read(char* buffer, std::size_t room);
  uint64_t Size() const { return size_; }
  // Reads on from offset; false when the file cannot move there.
  bool Seek(uint64_t offset);

 private:
  std::unique_ptr<platform::InputFile> file_;
  uint64_t size_ = 0;
  uint64_t read_ = 0;  // bytes read, or the offset sought
  std::size_t maxSize_ = 0;
};

// Why the bytes are not CP932 text the program can read and write back
// unchanged (a NUL byte, a UTF-8 byte-order mark, UTF-8 text, a byte CP932
// does not define), naming the line; empty when they are.
std::string Cp932TextProblem(std::string_view bytes);

}  // namespace tarnwick
