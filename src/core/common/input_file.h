// Reading the program's own input files (the data file and the settings
// file): only a regular file is read, never a folder, a device or a FIFO, up
// to a size no real file of the kind reaches, and its text must be CP932.
#pragma once

#include <cstddef>
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

// For files read piece by piece: opens path as ReadInputFile does, false
// when there is no such file, and reads the next piece into buffer, counting
// total against maxSize; 0 at the end. Both throw as ReadInputFile does.
bool OpenInputFile(platform::InputFile& file, const std::string& path, std::size_t maxSize);
std::size_t ReadInputPiece(platform::InputFile& file, char* buffer, std::size_t room,
                           std::size_t& total, std::size_t maxSize);

// Why the bytes are not CP932 text the program can read and write back
// unchanged (a NUL byte, a UTF-8 byte-order mark, UTF-8 text, a byte CP932
// does not define), naming the line; empty when they are.
std::string Cp932TextProblem(std::string_view bytes);

}  // namespace tarnwick
