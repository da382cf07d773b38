#include "regwrite/reg_check.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

#include "common/input_file.h"
#include "common/text_codec.h"
#include "regread/reg_reader.h"

namespace tarnwick {
namespace {

using Entry = WrittenRecord::Entry;
using Kind = WrittenRecord::Kind;

constexpr std::size_t kShownBytes = WrittenRecord::kShownBytes;

// shown: the first bytes of size, shown in hex.
std::string ValueText(std::u16string_view name, uint32_t type, std::string_view shown,
                      std::size_t size) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < shown.size() && i < kShownBytes; ++i) {
    auto b = static_cast<unsigned char>(shown[i]);
    if (i > 0) hex += ',';
    hex += digits[b >> 4];
    hex += digits[b & 0xF];
  }
  if (size > kShownBytes) hex += ",…";
  return "値 " + (name.empty() ? std::string("@") : "'" + ShownName(Utf16ToUtf8(name)) + "'") +
         " (種類 " + std::to_string(type) + "、" + std::to_string(size) + " バイト: " + hex + ")";
}

std::string KeyText(std::u16string_view path, bool deletion) {
  return (deletion ? "キーの削除 [-" : "キー [") + ShownName(Utf16ToUtf8(path)) + "]";
}

// The two key lines name the same key for an import.
bool SameKey(std::u16string_view written, std::u16string_view read, int version) {
  if (written == read) return true;
  const std::string name = RegKeyName(read);
  if (RegKeyName(written) == name) return true;
  // REGEDIT4 wrote '?' for what CP932 lacks, and the loss report says so.
  return version == 4 && RegKeyName(Cp932ToUtf16(Utf16ToCp932(written))) == name;
}

class CheckSink : public RegReadSink {
 public:
  // Checks the entries from begin to end.
  CheckSink(const WrittenRecord& record, std::size_t begin, std::size_t end, int version,
            const std::string& shownName)
      : record_(record),
        entries_(record.Entries()),
        end_(end),
        next_(begin),
        version_(version),
        shownName_(shownName) {}

  void Header(int version) override {
    if (version != version_) {
      Fail("見出し", "1 行目: バージョン " + std::to_string(version) + " の見出し",
           "バージョン " + std::to_string(version_) + " の見出し");
    }
  }

  void Key(std::u16string_view path, bool deletion, std::size_t line) override {
    const Entry* e = Next();
    const Kind kind = deletion ? Kind::DeleteKey : Kind::Key;
    if (!e || e->kind != kind || !SameKey(record_.Name(*e), path, version_)) {
      Fail(e && e->kind == Kind::Value
               ? Where(record_.Name(*e))
               : "キー: " + ShownName(Utf16ToUtf8(e ? record_.Name(*e) : path)),
           LineText(line) + KeyText(path, deletion), Expected(e));
    }
    ++next_;
    if (!deletion) {
      key_ = e;
      ++counts_.keys;
    }
  }

  void Value(std::u16string_view name, uint32_t type, std::string_view bytes,
             std::size_t line) override {
    const Entry* e = Next();
    if (!e || e->kind != Kind::Value ||
        (!e->loose && (e->type != type || e->dataSize != bytes.size() || record_.Name(*e) != name ||
                       e->digest != DataDigest(bytes)))) {
      Fail(Where(e ? record_.Name(*e) : name),
           LineText(line) + ValueText(name, type, bytes, bytes.size()), Expected(e));
    }
    ++next_;
    ++counts_.values;
  }

  void DeleteValue(std::u16string_view name, std::size_t line) override {
    const Entry* e = Next();
    Fail(Where(name), LineText(line) + "値の削除 '" + ShownName(Utf16ToUtf8(name)) + "'",
         Expected(e));
  }

  void Problem(std::size_t line, std::string text) override {
    // A value that a loss says an import passes over reads as such lines.
    if (next_ < end_ && entries_[next_].kind == Kind::Dropped) return;
    const Entry* e = Next();
    Fail(e && e->kind == Kind::Value ? Where(record_.Name(*e)) : KeyWhere(),
         LineText(line) + "読み込まれない行 (" + text + ")", Expected(e));
  }

  RegCheckCounts Finish() {
    if (const Entry* e = Next()) {
      Fail(e->kind == Kind::Value ? Where(record_.Name(*e)) : KeyWhere(), "(ファイルの終わり)",
           Expected(e));
    }
    return counts_;
  }

 private:
  // The next entry an import step must match, past dropped ones; null at the end.
  const Entry* Next() {
    while (next_ < end_ && entries_[next_].kind == Kind::Dropped) ++next_;
    return next_ < end_ ? &entries_[next_] : nullptr;
  }

  static std::string LineText(std::size_t line) { return std::to_string(line) + " 行目: "; }

  std::string Expected(const Entry* e) const {
    if (!e) return "(なし)";
    if (e->kind == Kind::Value) {
      return ValueText(record_.Name(*e), e->type, record_.Shown(*e), e->dataSize);
    }
    return KeyText(record_.Name(*e), e->kind == Kind::DeleteKey);
  }

  std::string KeyWhere() const {
    return "キー: " + (key_ ? ShownName(Utf16ToUtf8(record_.Name(*key_))) : std::string("(なし)"));
  }

  std::string Where(std::u16string_view value) const {
    return KeyWhere() + "、値: " +
           (value.empty() ? std::string("@") : "'" + ShownName(Utf16ToUtf8(value)) + "'");
  }

  [[noreturn]] void Fail(const std::string& where, const std::string& read,
                         const std::string& written) const {
    throw ERegCheckFailed(
        "書き出した REG ファイルを読み返すと、レジストリから読んだ内容と違うので、"
        "書き出しを中止しました: " +
        shownName_ + "\r\n" + where + "\r\nファイル: " + read + "\r\nレジストリ: " + written);
  }

  const WrittenRecord& record_;
  const std::vector<Entry>& entries_;
  std::size_t end_;
  std::size_t next_;
  int version_;
  const std::string& shownName_;
  const Entry* key_ = nullptr;  // the last key line matched
  RegCheckCounts counts_;
};

uint32_t Size32(std::size_t n) {
  return static_cast<uint32_t>(n);
}

}  // namespace

uint64_t DataDigest(std::string_view bytes) {
  // Eight bytes a step, each mixed in by a multiplication; two lanes over
  // long data, so that one multiplication need not wait for the other.
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  constexpr uint64_t kOther = 0xC2B2AE3D27D4EB4Full;
  const auto mix = [](uint64_t h, const char* p, uint64_t k) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * k;
    return h ^ (h >> 29);
  };
  uint64_t h = bytes.size() * kMultiplier;
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  if (n >= 32) {
    uint64_t g = ~h;
    for (; n >= 16; p += 16, n -= 16) {
      h = mix(h, p, kMultiplier);
      g = mix(g, p + 8, kOther);
    }
    h = (h ^ g) * kMultiplier;
  }
  for (; n >= 8; p += 8, n -= 8) h = mix(h, p, kMultiplier);
  uint64_t tail = 0;
  std::memcpy(&tail, p, n);
  h = (h ^ tail) * kMultiplier;
  return h ^ (h >> 32);
}

void WrittenRecord::Clear() {
  entries_.clear();
  keyLines_.clear();
  names_.clear();
  shown_.clear();
  mark_ = 0;
}

void WrittenRecord::Key(std::u16string_view path, bool deletion, uint32_t offset) {
  keyLines_.push_back({entries_.size(), offset});
  entries_.push_back({deletion ? Kind::DeleteKey : Kind::Key, false, 0, Size32(names_.size()),
                      Size32(path.size()), 0, 0, 0});
  names_.append(path);
}

void WrittenRecord::Value(std::u16string_view name, uint32_t type, std::string_view bytes,
                          bool loose) {
  entries_.push_back({Kind::Value, loose, type, Size32(names_.size()), Size32(name.size()),
                      Size32(bytes.size()), Size32(shown_.size()), DataDigest(bytes)});
  names_.append(name);
  shown_.append(bytes.substr(0, kShownBytes));
}

void WrittenRecord::Dropped() {
  entries_.push_back({Kind::Dropped, true, 0, 0, 0, 0, 0, 0});
}

namespace {

// Below this size a second reader would not pay for its thread.
constexpr uint64_t kCheckInTwoAbove = 1u << 20;

RegCheckCounts CheckInOrder(const std::string& path, const std::string& shownName, int version,
                            const WrittenRecord& record, std::size_t entries) {
  CheckSink sink(record, 0, entries, version, shownName);
  try {
    ReadRegFile(path, shownName, sink);
  } catch (const ERegCheckFailed&) {
    throw;
  } catch (const TarnwickError& e) {
    throw ERegCheckFailed("書き出した REG ファイルを読み返せないので、書き出しを中止しました: " +
                          shownName + "\r\n" + e.what());
  }
  return sink.Finish();
}

// Reads the file as two pieces side by side, split where a key line starts
// near its middle: the two halves of the record are checked at once, on two
// cores. Empty when the file is too small for that to pay. Throws at a
// difference in either piece, but the message need not name the first one.
std::optional<RegCheckCounts> CheckInTwo(const std::string& path, const std::string& shownName,
                                         int version, const WrittenRecord& record,
                                         std::size_t entries) {
  if constexpr (std::endian::native != std::endian::little) return std::nullopt;
  InputPieces head, tail;
  if (!head.Open(path, kMaxRegReadSize)) return std::nullopt;
  const uint64_t size = head.Size();
  const std::vector<WrittenRecord::KeyLine>& keys = record.KeyLines();
  auto split = std::lower_bound(
      keys.begin(), keys.end(), size / 2,
      [](const WrittenRecord::KeyLine& key, uint64_t at) { return key.offset < at; });
  if (size < kCheckInTwoAbove || split == keys.end() || split->entry == 0 ||
      split->entry >= entries || split->offset >= size || !tail.Open(path, size) ||
      !tail.Seek(split->offset)) {
    return std::nullopt;
  }
  RegCheckCounts tailCounts;
  std::exception_ptr tailError;
  std::thread tailReader;
  try {
    tailReader = std::thread([&] {
      try {
        CheckSink sink(record, split->entry, entries, version, shownName);
        ReadRegLines([&](char* buffer, std::size_t room) { return tail.Read(buffer, room); },
                     version == 5, shownName, sink);
        tailCounts = sink.Finish();
      } catch (...) {
        tailError = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    return std::nullopt;  // no thread to be had: read in order
  }
  RegCheckCounts headCounts;
  std::string end;  // the head's last bytes: it must end with a whole line
  try {
    CheckSink sink(record, 0, split->entry, version, shownName);
    uint64_t left = split->offset;
    ReadRegStream(
        [&](char* buffer, std::size_t room) {
          const std::size_t got = head.Read(buffer, std::min<uint64_t>(room, left));
          left -= got;
          end.append(buffer + (got > 2 ? got - 2 : 0), got > 2 ? 2 : got);
          if (end.size() > 2) end.erase(0, end.size() - 2);
          return got;
        },
        shownName, sink);
    headCounts = sink.Finish();
  } catch (...) {
    tailReader.join();
    throw;
  }
  tailReader.join();
  if (tailError) std::rethrow_exception(tailError);
  const std::string_view lineEnd = version == 5 ? std::string_view("\n\0", 2) : "\n";
  if (!std::string_view(end).ends_with(lineEnd)) return std::nullopt;
  return RegCheckCounts{headCounts.keys + tailCounts.keys, headCounts.values + tailCounts.values};
}

}  // namespace

RegCheckCounts CheckRegFile(const std::string& path, const std::string& shownName, int version,
                            const WrittenRecord& record, std::size_t entries) {
  try {
    if (std::optional<RegCheckCounts> counts =
            CheckInTwo(path, shownName, version, record, entries)) {
      return *counts;
    }
  } catch (const TarnwickError&) {
    // Read again in order below, which names the first difference and its line.
  }
  return CheckInOrder(path, shownName, version, record, entries);
}

std::string CheckedCountsText(const RegCheckCounts& counts) {
  return "検証済み: キー " + std::to_string(counts.keys) + "、値 " + std::to_string(counts.values);
}

}  // namespace tarnwick
