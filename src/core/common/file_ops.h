// File operations with the semantics the REG file protocol relies on: a
// rename never replaces an existing file (as on Windows), and failures come
// back as errno values for the caller to ignore or report.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Renames from to to unless to exists. Returns 0 or the errno of the failure
// (EEXIST when to exists).
int RenameNoReplace(const std::string& from, const std::string& to);
// Deletes a file (not a folder). Returns 0 or the errno of the failure.
int DeleteFile(const std::string& path);
bool FileExists(const std::string& path);

// Replaces the file's contents so that a crash or a full disk never leaves
// half a file: writes a temporary file in the same folder, flushes it and
// renames it over the old one, keeping the old file's permissions. A file
// without write permission is refused with EACCES, as a read-only file is on
// Windows. Follows a symbolic link to the file it names. Returns 0 or errno.
int ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace tarnwick
