// Reading a REG file as the registry editor imports it: REGEDIT4 in CP932 or
// version 5 in UTF-16LE, and what the import would do to the registry, step
// by step. Lines an importer passes over without a word (a key line without
// its bracket, a value of an unknown type, a broken continuation) are kept
// as problems with their line numbers, so that nobody trusts such a file
// blindly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"
#include "registry/registry_store.h"

namespace tarnwick {

// The largest REG file read, and the longest line in characters: well above
// what the program writes (100 MiB files, values of a few MiB).
inline constexpr std::size_t kMaxRegReadSize = 256u << 20;
inline constexpr std::size_t kMaxRegLineLength = 16u << 20;

// A file no importer would read: no header, an unsupported format, a file or
// line over its limit. The message names the file (or "REG ファイル") and
// the line.
class ERegReadError : public TarnwickError {
 public:
  using TarnwickError::TarnwickError;
};

struct RegImportStep {
  enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
  Kind kind = Kind::CreateKey;
  // The key, its root in the long form ("HKEY_CURRENT_USER\Software\X"),
  // empty components dropped as the registry drops them.
  std::string key;
  std::string valueName;  // SetValue and DeleteValue; "" is the default value
  RegValue value;         // SetValue: the type and the bytes the import stores
  std::size_t line = 0;   // 1-based
};

struct RegReadProblem {
  std::size_t line = 0;
  std::string text;  // why an import passes over the line, in Japanese
};

struct RegImport {
  int version = 5;       // 4 (REGEDIT4) or 5
  bool unicode = false;  // UTF-16LE with a byte-order mark, else CP932
  std::vector<RegImportStep> steps;
  std::vector<RegReadProblem> problems;
};

// Reads the bytes of a REG file. fileName only names it in messages. Throws
// ERegReadError for a file an importer would not read at all.
RegImport ReadRegText(std::string_view bytes, const std::string& fileName);
// Reads a REG file from disk: a regular file of at most kMaxRegReadSize bytes.
// Throws ERegReadError when there is no such file or as above, EInOutError
// when it cannot be read.
RegImport ReadRegFile(const std::string& path);

// What a reading tells, step by step, for callers that check a file as they
// read it rather than keep its steps. Key paths are as the line gives them
// (RegKeyName gives the form RegImportStep uses); names and bytes are valid
// only during the call.
class RegReadSink {
 public:
  virtual ~RegReadSink() = default;
  virtual void Header(int version) = 0;
  virtual void Key(std::u16string_view path, bool deletion, std::size_t line) = 0;
  virtual void Value(std::u16string_view name, uint32_t type, std::string_view bytes,
                     std::size_t line) = 0;
  virtual void DeleteValue(std::u16string_view name, std::size_t line) = 0;
  virtual void Problem(std::size_t line, std::string text) = 0;
};

// Reads the bytes of a REG file into sink; true when it is UTF-16. Throws as
// ReadRegText does.
bool ReadRegText(std::string_view bytes, const std::string& fileName, RegReadSink& sink);
// Gives up to room bytes of a file at buffer and returns how many; 0 at its end.
using RegReadFill = std::function<std::size_t(char* buffer, std::size_t room)>;
// Reads a REG file piece by piece, as ReadRegText reads it whole, through a
// buffer of its own; true when it is UTF-16. The caller keeps the size to
// kMaxRegReadSize.
bool ReadRegStream(const RegReadFill& fill, const std::string& fileName, RegReadSink& sink);
// Reads the lines that follow the header, from the start of a line on: the
// rest of a file whose format is known. Line numbers count from there.
// UTF-16 only on a little-endian machine.
void ReadRegLines(const RegReadFill& fill, bool unicode, const std::string& fileName,
                  RegReadSink& sink);
// Reads the REG file at path into sink, piece by piece; fileName names it in
// messages. True when it is UTF-16. Throws as ReadRegFile does.
bool ReadRegFile(const std::string& path, const std::string& fileName, RegReadSink& sink);
// A key line's path as RegImportStep names it: the root in the long form,
// empty components dropped. path must start with a registry root.
std::string RegKeyName(std::u16string_view path);

// "<file> の <line> 行目: <text>", as messages and reports show a problem.
std::string RegReadProblemText(const std::string& fileName, const RegReadProblem& problem);

}  // namespace tarnwick
