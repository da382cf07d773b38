// File operations with the semantics the REG file protocol relies on: a
// rename never replaces an existing file (as on Windows), and failures come
// back as errno values for the caller to ignore or report.
#pragma once

#include <string>

namespace tarnwick {

// Renames from to to unless to exists. Returns 0 or the errno of the failure
// (EEXIST when to exists).
int RenameNoReplace(const std::string& from, const std::string& to);
// Deletes a file (not a folder). Returns 0 or the errno of the failure.
int DeleteFile(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace tarnwick
