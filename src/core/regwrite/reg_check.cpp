#include "regwrite/reg_check.h"

#include <bit>

#include "common/text_codec.h"
#include "platform/files.h"
#include "regread/reg_reader.h"

namespace tarnwick {
namespace {

using Entry = WrittenRecord::Entry;
using Kind = WrittenRecord::Kind;

constexpr std::size_t kShownBytes = 16;

std::string HexPreview(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < kShownBytes; ++i) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (i > 0) text += ',';
    text += digits[b >> 4];
    text += digits[b & 0xF];
  }
  if (bytes.size() > kShownBytes) text += ",…";
  return text;
}

std::string ValueText(std::u16string_view name, uint32_t type, std::string_view bytes) {
  return "値 " + (name.empty() ? std::string("@") : "'" + ShownName(Utf16ToUtf8(name)) + "'") +
         " (種類 " + std::to_string(type) + "、" + std::to_string(bytes.size()) +
         " バイト: " + HexPreview(bytes) + ")";
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
  CheckSink(const WrittenRecord& record, std::size_t end, int version, const std::string& shownName)
      : record_(record),
        entries_(record.Entries()),
        end_(end),
        version_(version),
        shownName_(shownName) {}

  void Header(int version) override {
    if (version != version_) {
      Fail("キー: (見出し)", "1 行目: バージョン " + std::to_string(version) + " の見出し",
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
        (!e->loose && (e->type != type || record_.Name(*e) != name || record_.Data(*e) != bytes))) {
      Fail(Where(e ? record_.Name(*e) : name), LineText(line) + ValueText(name, type, bytes),
           Expected(e));
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
    if (e->kind == Kind::Value) return ValueText(record_.Name(*e), e->type, record_.Data(*e));
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
  std::size_t next_ = 0;
  int version_;
  const std::string& shownName_;
  const Entry* key_ = nullptr;  // the last key line matched
  RegCheckCounts counts_;
};

// The file's bytes, in storage that a version 5 file's text can be read
// from as UTF-16 without a copy.
std::u16string ReadBack(const std::string& path, std::size_t& size) {
  platform::InputFile file;
  if (int error = file.Open(path)) throw MakeInOutError(error);
  const uint64_t expected = file.Status().size;
  if (expected > kMaxRegReadSize) {
    throw ERegReadError(path + ": REG ファイルが大きすぎます (256 MiB まで読めます)");
  }
  std::u16string units((expected + 2) / 2, u'\0');
  char* bytes = reinterpret_cast<char*>(units.data());
  const std::size_t room = units.size() * 2;
  size = 0;
  while (size < room) {
    std::size_t got = 0;
    if (int error = file.Read(bytes + size, room - size, got)) throw MakeInOutError(error);
    if (got == 0) break;
    size += got;
  }
  return units;
}

}  // namespace

void WrittenRecord::Clear() {
  entries_.clear();
  names_.clear();
  data_.clear();
  mark_ = 0;
}

void WrittenRecord::Key(std::u16string_view path, bool deletion) {
  entries_.push_back(
      {deletion ? Kind::DeleteKey : Kind::Key, false, 0, names_.size(), path.size(), 0, 0});
  names_.append(path);
}

void WrittenRecord::Value(std::u16string_view name, uint32_t type, std::string_view bytes,
                          bool loose) {
  entries_.push_back(
      {Kind::Value, loose, type, names_.size(), name.size(), data_.size(), bytes.size()});
  names_.append(name);
  data_.append(bytes);
}

void WrittenRecord::Dropped() {
  entries_.push_back({Kind::Dropped, true, 0, 0, 0, 0, 0});
}

RegCheckCounts CheckRegFile(const std::string& path, const std::string& shownName, int version,
                            const WrittenRecord& record, std::size_t entries) {
  CheckSink sink(record, entries, version, shownName);
  try {
    std::size_t size = 0;
    const std::u16string units = ReadBack(path, size);
    const std::u16string_view text(units.data(), size / 2);
    if (std::endian::native == std::endian::little && !text.empty() && text[0] == u'\xFEFF') {
      ReadRegUtf16(text.substr(1), shownName, sink);
    } else {
      ReadRegText(std::string_view(reinterpret_cast<const char*>(units.data()), size), shownName,
                  sink);
    }
  } catch (const ERegCheckFailed&) {
    throw;
  } catch (const TarnwickError& e) {
    throw ERegCheckFailed("書き出した REG ファイルを読み返せないので、書き出しを中止しました: " +
                          shownName + "\r\n" + e.what());
  }
  return sink.Finish();
}

std::string CheckedCountsText(const RegCheckCounts& counts) {
  return "検証済み: キー " + std::to_string(counts.keys) + "、値 " + std::to_string(counts.values);
}

}  // namespace tarnwick
