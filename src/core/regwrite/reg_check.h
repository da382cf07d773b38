// Reading a written REG file back before it takes its place: RegWriter
// records what it wrote (key paths, and each value as the registry holds
// it), and the file is read as an import reads it and compared with that
// record, step by step. What the loss report already names is excused.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"

namespace tarnwick {

// A written file that does not read back as what was written. The message
// names the file and the first difference.
class ERegCheckFailed : public TarnwickError {
 public:
  using TarnwickError::TarnwickError;
};

// What one REG file holds, in the order an import reads it. A value's bytes
// are kept as their size, a digest and the first few bytes, which is what
// a difference is shown with.
class WrittenRecord {
 public:
  enum class Kind : uint8_t {
    Key,        // a key line
    DeleteKey,  // a deletion line
    Value,      // a value line: name, type and the bytes the registry holds
    Dropped,    // a value (or line) an import passes over, as a loss says
  };
  static constexpr std::size_t kShownBytes = 16;

  struct Entry {
    Kind kind = Kind::Key;
    bool loose = false;  // a value a loss says the file changes: any value may stand there
    uint32_t type = 0;
    // 32 bits hold any offset: a REG file is at most 100 MiB.
    uint32_t nameAt = 0, nameSize = 0;  // the key path or value name, in names_
    uint32_t dataSize = 0;
    uint32_t shownAt = 0;  // the first bytes, in shown_
    uint64_t digest = 0;
  };

  // Where a key line starts in the file, for a check that reads the file
  // in pieces.
  struct KeyLine {
    std::size_t entry = 0;
    uint32_t offset = 0;
  };

  void Clear();
  void Key(std::u16string_view path, bool deletion, uint32_t offset);
  void Value(std::u16string_view name, uint32_t type, std::string_view bytes, bool loose);
  void Dropped();
  // What a file cut back to its last complete item holds.
  void MarkComplete() { mark_ = entries_.size(); }
  std::size_t Mark() const { return mark_; }

  const std::vector<Entry>& Entries() const { return entries_; }
  const std::vector<KeyLine>& KeyLines() const { return keyLines_; }
  std::u16string_view Name(const Entry& e) const {
    return std::u16string_view(names_).substr(e.nameAt, e.nameSize);
  }
  // The first bytes of a value, at most kShownBytes.
  std::string_view Shown(const Entry& e) const {
    return std::string_view(shown_).substr(e.shownAt,
                                           std::min(std::size_t{e.dataSize}, kShownBytes));
  }

 private:
  std::vector<Entry> entries_;
  std::vector<KeyLine> keyLines_;  // in file order
  std::u16string names_;
  std::string shown_;
  std::size_t mark_ = 0;
};

// A digest of a value's bytes: a difference in them shows with near certainty.
uint64_t DataDigest(std::string_view bytes);

struct RegCheckCounts {
  std::size_t keys = 0;
  std::size_t values = 0;
};

// Reads the file at path, written as a REG file of the given version, and
// compares it with the first `entries` entries of record. shownName names
// the file in the message. Throws ERegCheckFailed at the first difference or
// when the file cannot be read back.
RegCheckCounts CheckRegFile(const std::string& path, const std::string& shownName, int version,
                            const WrittenRecord& record, std::size_t entries);

// "検証済み: キー 12、値 48".
std::string CheckedCountsText(const RegCheckCounts& counts);

}  // namespace tarnwick
