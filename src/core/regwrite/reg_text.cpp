#include "regwrite/reg_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/errors.h"
#include "common/key_path.h"
#include "common/ports.h"
#include "common/text_codec.h"
#include "registry/registry.h"
#include "regwrite/reg_check.h"
#include "regwrite/reg_file.h"

namespace tarnwick {
namespace {

constexpr std::size_t kHexLineLimit = 76;

// "xx," for every byte value, so the hex form appends three units at once.
struct HexTable {
  char16_t entries[256][3];
  constexpr HexTable() : entries() {
    constexpr char16_t digits[] = u"0123456789abcdef";
    for (int b = 0; b < 256; ++b) {
      entries[b][0] = digits[b >> 4];
      entries[b][1] = digits[b & 0xF];
      entries[b][2] = u',';
    }
  }
};
constexpr HexTable kHex;

void AppendAscii(std::u16string& out, std::string_view ascii) {
  for (char c : ascii) out.push_back(static_cast<unsigned char>(c));
}

bool HasLineBreak(std::u16string_view text) {
  return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

// A name no REG line can carry: a line break would end the line, and an
// importer stops reading at a NUL.
bool CarriesInRegLine(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// True when a line break in a quoted string is followed by what an importer
// reads as a line of its own: a key or deletion line, or a value line, each
// after optional blanks.
bool BreakStartsRegLine(std::u16string_view text) {
  for (std::size_t i = text.find_first_of(u"\r\n"); i != std::u16string_view::npos;
       i = text.find_first_of(u"\r\n", i + 1)) {
    const std::size_t start = text.find_first_not_of(u"\r\n \t", i);
    if (start == std::u16string_view::npos) return false;
    const char16_t c = text[start];
    if (c == u'[' || c == u'@' || c == u'"') return true;
  }
  return false;
}

// Why an import of the quoted form would not give back these UTF-16 bytes
// (the text up to the first NUL, with one NUL after it); null when it would.
const char* QuotedStringChange(std::string_view bytes) {
  if (bytes.size() % 2 != 0) return "バイト数が奇数です";
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == 0 && bytes[i + 1] == 0) {
      return i + 2 == bytes.size() ? nullptr : "NUL の後にもデータがあります";
    }
  }
  return "終わりの NUL がありません";
}

}  // namespace

std::string ItemCaption(std::string_view name, std::string_view comment) {
  std::string caption = "[" + std::string(name);
  if (!comment.empty()) caption += " - " + std::string(comment);
  return caption + "]";
}

void AppendEscapedRegString(std::u16string& out, std::u16string_view text, int regVersion) {
  for (char16_t c : text) {
    switch (c) {
      case u'\r':
        out += regVersion == 4 ? u"\\r" : u"\r";
        break;
      case u'\n':
        out += regVersion == 4 ? u"\\n" : u"\r\n";
        break;
      case u'"':
        out += u"\\\"";
        break;
      case u'\\':
        out += u"\\\\";
        break;
      default:
        out.push_back(c);
    }
  }
}

int RoundPercent(double percent) {
  if (!(percent > 0)) return 0;  // also catches NaN
  if (percent > 100) return 100;
  return static_cast<int>(std::nearbyint(percent));  // the default rounding mode: ties to even
}

RegWriter::RegWriter(RegistryStore& store, RegOutputFile& file, ProgressPort& progress)
    : store_(store), file_(file), progress_(progress) {}

int RegWriter::RegVersion() const {
  return file_.RegVersion();
}

void RegWriter::RegWriteHeader() {
  file_.RegWriteHeader();
}

void RegWriter::CountKeys(const RegistryKey& key, unsigned level, bool subKeysReachable) {
  progress_.ProcessMessages();
  std::vector<std::string> names;
  KeyReader(&key).GetKeyNames(names);
  KeyCount += static_cast<int>(names.size());
  if (!subKeysReachable || level + 1 >= ProgressLevel) return;
  for (const std::string& name : names) {
    if (auto subkey = OpenSubKeyReadOnly(key, name)) CountKeys(*subkey, level + 1, true);
  }
}

void RegWriter::AddKeyProgress() {
  // Guards keep a misconfigured run from dividing by zero.
  ProgressPercent +=
      100.0 / (TotalKeyCount > 0 ? TotalKeyCount : 1) / (KeyCount > 0 ? KeyCount : 1);
}

void RegWriter::MissingKeyProgress(unsigned depth) {
  if (depth <= ProgressLevel) AddKeyProgress();
  progress_.SetProgress(RoundPercent(ProgressPercent));
}

bool RegWriter::RegWriteKey(const std::string& keyPath, const std::string& itemName,
                            const std::string& itemComment, int keyIndex) {
  progress_.ProcessMessages();
  const KeyPathParts path = ParseKeyPath(keyPath);
  const uint32_t root = path.root.RootKey;
  // Below a path that ends in a backslash every subkey path has an empty
  // name in it, which no registry opens.
  const bool subKeysReachable = path.subPath.empty() || path.subPath.back() != '\\';
  keyName_.clear();
  AppendUtf8AsUtf16(keyName_, path.keyName);

  KeyCount = 1;
  if (!path.valueName && ProgressLevel > 0 && root != 0) {
    if (auto key = OpenKeyReadOnly(store_, root, path.subPath)) {
      CountKeys(*key, 0, subKeysReachable);
    }
  }

  std::unique_ptr<RegistryKey> key;
  bool missing = root == 0 || !store_.KeyExists(root, path.subPath);
  if (!missing) key = OpenKeyReadOnly(store_, root, path.subPath);
  if (!missing && path.valueName) missing = !KeyReader(key.get()).ValueExists(*path.valueName);
  if (missing) {
    // A key that opens without asking for any right exists: it was denied.
    if (root != 0 && !path.valueName && store_.OpenKey(root, path.subPath, 0)) {
      Lose(LossKind::UnreadableKey, nullptr, "アクセスが拒否されました");
    }
    MissingKeyProgress(0);
    return true;
  }

  if (Options.AddComment && keyIndex == 0) {
    // A line break from the data file would start a line of its own, which
    // an import would obey: the comment stays on its one line.
    line_.assign(u"; ");
    AppendUtf8AsUtf16(line_, ItemCaption(itemName, itemComment));
    std::replace_if(
        line_.begin(), line_.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
    file_.WriteRegLine(line_);
  }
  if (Options.FullRestore && !path.valueName) {
    const uint32_t at = file_.WrittenBytes();
    file_.WriteRegLine(u"[-" + keyName_ + u"]\r\n");
    if (Record) {
      // An import does not delete a root key, and passes such a line over.
      if (path.subPath.find_first_not_of('\\') == std::string::npos) {
        Record->Dropped();
      } else {
        Record->Key(keyName_, true, at);
      }
    }
  }
  WriteKey(key.get(), 0, path.valueName ? &*path.valueName : nullptr, subKeysReachable);
  return false;
}

// Writes the key named by keyName_ (its values, or the one value), then its
// subkeys depth first, each through a handle opened below this one.
void RegWriter::WriteKey(const RegistryKey* key, unsigned depth, const std::string* singleValue,
                         bool subKeysReachable) {
  line_.assign(u"[").append(keyName_).push_back(u']');
  const uint32_t at = file_.WrittenBytes();
  file_.WriteRegLine(line_);
  if (Record) Record->Key(keyName_, false, at);
  if (RegVersion() == 4) {
    // The key's own name; a parent's was told when it was written.
    std::u16string_view name = keyName_;
    if (depth > 0) name.remove_prefix(name.rfind(u'\\') + 1);
    if (!FitsCp932(name)) Lose(LossKind::NotInCp932, nullptr);
  }
  if (!key) Lose(LossKind::UnreadableKey, nullptr, "読み取りのために開けません");
  std::vector<std::string> names;
  if (singleValue) {
    names.push_back(*singleValue);
  } else if (key && !key->ValueNames(names)) {
    Lose(LossKind::UnreadableKey, nullptr, "値の一覧を読めません");
  }
  for (const std::string& name : names) {
    WriteValueLine(key, name);
    progress_.CheckCancel();
  }
  names.clear();
  if (!singleValue && key && !key->SubKeyNames(names)) {
    Lose(LossKind::UnreadableKey, nullptr, "サブキーの一覧を読めません");
  }
  file_.WriteRegLine(u"");

  if (depth <= ProgressLevel) {
    AddKeyProgress();
    progress_.SetProgress(RoundPercent(ProgressPercent));
  }
  const std::size_t nameLength = keyName_.size();
  for (const std::string& name : names) {
    progress_.ProcessMessages();
    keyName_.resize(nameLength);
    keyName_.push_back(u'\\');
    AppendUtf8AsUtf16(keyName_, name);
    if (!CarriesInRegLine(name)) {
      Lose(LossKind::UnsafeName, nullptr);
      MissingKeyProgress(depth + 1);
      continue;
    }
    if (!subKeysReachable || !key->SubKeyExists(name)) {
      // Listed by its parent: it was denied, or it went away meanwhile.
      Lose(LossKind::UnreadableKey, nullptr,
           !subKeysReachable ? "キー パスが \\ で終わっているので、たどれません"
           : key->OpenSubKey(name, 0) ? "アクセスが拒否されました"
                                      : "読む間になくなりました");
      MissingKeyProgress(depth + 1);
      continue;
    }
    WriteKey(OpenSubKeyReadOnly(*key, name).get(), depth + 1, nullptr, true);
  }
  keyName_.resize(nameLength);
}

// Builds and writes the line of one value. A value that can no longer be read
// (it vanished after the key was listed) is left out rather than written with
// data that was never read.
void RegWriter::WriteValueLine(const RegistryKey* key, const std::string& name) {
  if (!CarriesInRegLine(name)) {
    Lose(LossKind::UnsafeName, &name);
    return;
  }
  const int version = RegVersion();
  line_.clear();
  valueLoose_ = valueDropped_ = false;
  recordData_ = nullptr;
  bool nameFits = true;
  if (name.empty()) {
    line_ += u"@=";
    scratch_.clear();
  } else {
    line_.push_back(u'"');
    scratch_.clear();
    AppendUtf8AsUtf16(scratch_, name);
    AppendEscapedRegString(line_, scratch_, version);
    line_ += u"\"=";
    nameFits = version == 5 || FitsCp932(scratch_);
  }
  if (!WriteValueData(key, name)) {
    Lose(LossKind::UnreadableKey, &name, "値を読めません");
    return;
  }
  // The narrow data of a string in hex form shows '?' for what CP932
  // lacks; only then is the wide form read, to tell it from a real '?'.
  if (version == 4 && IsStringType(raw_.type) && raw_.data.find('?') != std::string::npos) {
    dataFitsCp932_ = WideFitsCp932(key, name);
  }
  if (!nameFits || !dataFitsCp932_) Lose(LossKind::NotInCp932, &name);
  file_.WriteRegLine(line_);
  if (!Record) return;
  if (valueDropped_) {
    Record->Dropped();
  } else {
    Record->Value(scratch_, recordType_, recordData_ ? std::string_view(*recordData_) : "",
                  valueLoose_);
  }
}

// Appends the data part of a value's line to line_; false when the value
// cannot be read. raw_ then holds what the hex form was made from.
bool RegWriter::WriteValueData(const RegistryKey* key, const std::string& name) {
  const KeyReader reader(key);
  const int version = RegVersion();

  raw_.type = kRegNone;
  dataFitsCp932_ = true;
  switch (reader.GetDataType(name)) {
    case TRegDataType::rdString: {
      // Strings are read in the wide form, whatever the version, so that
      // what an import would give back can be told.
      uint32_t size = 0;
      if (!reader.QueryValueInfo(name, TextForm::Wide, wide_.type, size) ||
          !reader.QueryValue(name, TextForm::Wide, size, wide_)) {
        // Narrow runs end on a failed read, with the registry's own error.
        if (!WideReads()) reader.ReadString(name);
        return false;
      }
      const std::u16string text = WideTextUpToNul(wide_.data);
      if (version == 5 && HasLineBreak(text)) {
        if (Options.NewLineImport) return AppendHexForm(key, name);
        if (BreakStartsRegLine(text)) {
          Lose(LossKind::HexForm, &name);
          return AppendHexForm(key, name);
        }
        Lose(LossKind::LineBreak, &name);
      }
      if (version == 4) dataFitsCp932_ = FitsCp932(text);
      if (const char* change = QuotedStringChange(wide_.data)) {
        Lose(LossKind::DataChanged, &name, change);
      }
      line_.push_back(u'"');
      AppendEscapedRegString(line_, text, version);
      line_.push_back(u'"');
      recordType_ = wide_.type;
      recordData_ = &wide_.data;
      return true;
    }
    case TRegDataType::rdInteger: {
      uint32_t value = 0;
      try {
        value = reader.ReadInteger(name);
      } catch (const ERegistryException&) {
        uint32_t type = 0, size = 0;
        TextForm form = WideReads() ? TextForm::Wide : TextForm::Narrow;
        if (!reader.QueryValueInfo(name, form, type, size) || size <= 4) throw;
        return AppendHexForm(key, name);
      }
      uint32_t type = 0, size = 0;
      const bool sized = reader.QueryValueInfo(name, TextForm::Wide, type, size);
      // An empty DWORD in the hex form, as the registry editor writes it:
      // imported, it is empty again.
      if (sized && size == 0) return AppendHexForm(key, name);
      if (sized && size != 4) {
        Lose(LossKind::DataChanged, &name, std::to_string(size) + " バイトの DWORD です");
      }
      line_ += u"dword:";
      AppendAscii(line_, IntToLowerHex(value, 8));
      if (Record) {
        dword_.resize(4);
        for (int i = 0; i < 4; ++i) dword_[i] = static_cast<char>(value >> (8 * i));
        recordType_ = kRegDword;
        recordData_ = &dword_;
      }
      return true;
    }
    default:
      return AppendHexForm(key, name);
  }
}

// True when the value's wide string data holds only characters CP932 has.
bool RegWriter::WideFitsCp932(const RegistryKey* key, const std::string& name) {
  const KeyReader reader(key);
  RegValue wide;
  uint32_t type = 0, size = 0;
  return !reader.QueryValueInfo(name, TextForm::Wide, type, size) ||
         !reader.QueryValue(name, TextForm::Wide, size, wide) ||
         FitsCp932(LeBytesToUtf16(wide.data));
}

// A REGEDIT4 string in hex form holds CP932 bytes, which an import stores
// as UTF-16: what it should give back is the registry's wide data.
void RegWriter::RecordHexString(const RegistryKey* key, const std::string& name) {
  const KeyReader reader(key);
  uint32_t size = 0;
  if (reader.QueryValueInfo(name, TextForm::Wide, wide_.type, size) &&
      reader.QueryValue(name, TextForm::Wide, size, wide_)) {
    recordData_ = &wide_.data;
  }
}

void RegWriter::Lose(LossKind kind, const std::string* value, std::string reason) {
  if (value && kind == LossKind::LineBreak) valueDropped_ = true;
  if (value && (kind == LossKind::NotInCp932 || kind == LossKind::DataChanged)) valueLoose_ = true;
  Losses.Add({kind, Utf16ToUtf8(keyName_),
              value ? std::optional<std::string>(*value) : std::nullopt, std::move(reason)});
}

// Reads the value's type and data into raw_, whose buffer is reused value
// after value.
bool RegWriter::ReadRaw(const RegistryKey* key, const std::string& name) {
  const KeyReader reader(key);
  TextForm form = WideReads() ? TextForm::Wide : TextForm::Narrow;
  uint32_t size = 0;
  return reader.QueryValueInfo(name, form, raw_.type, size) &&
         reader.QueryValue(name, form, size, raw_);
}

// Appends the hex form of a value's raw data to line_, writing full lines as
// it wraps; false when the value cannot be read.
bool RegWriter::AppendHexForm(const RegistryKey* key, const std::string& name) {
  if (!ReadRaw(key, name)) return false;
  const uint32_t type = raw_.type;
  std::string& data = raw_.data;
  const int version = RegVersion();
  if (!WideReads() && version == 5 && IsStringType(type)) {
    data = Utf16ToLeBytes(Cp932ToUtf16(data));
  }
  recordType_ = type;
  recordData_ = &data;
  if (Record && version == 4 && IsStringType(type)) RecordHexString(key, name);
  // An import ends string data in hex form with a NUL when it lacks one (a
  // unit in version 5, a byte before the conversion in REGEDIT4).
  if (IsStringType(type) && !data.empty()) {
    const std::size_t even = data.size() & ~std::size_t{1};
    const bool ended =
        version == 4 ? data.back() == 0 : even > 0 && data[even - 1] == 0 && data[even - 2] == 0;
    if (!ended) Lose(LossKind::DataChanged, &name, "終わりの NUL がありません");
  }
  // REGEDIT4's CP932 form has no room for the odd last byte of UTF-16 data.
  uint32_t wideType = 0, wideSize = 0;
  if (version == 4 && IsStringType(type) &&
      KeyReader(key).QueryValueInfo(name, TextForm::Wide, wideType, wideSize) && wideSize % 2) {
    Lose(LossKind::DataChanged, &name, "バイト数が奇数です");
  }

  if (type == 3) {
    line_ += u"hex:";
  } else {
    line_ += u"hex(";
    std::string digits = IntToLowerHex(type, 8);
    std::size_t first = digits.find_first_not_of('0');
    AppendAscii(line_, first == std::string::npos ? "0" : digits.substr(first));
    line_ += u"):";
  }

  // A line ends after the byte that takes it past the limit, unless that
  // byte is the last one.
  std::size_t length = version == 4 ? Cp932Length(line_) : line_.size();
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  const std::size_t n = data.size();
  for (std::size_t i = 0;;) {
    std::size_t room = length > kHexLineLimit ? 1 : (kHexLineLimit - length) / 3 + 1;
    std::size_t take = std::min(room, n - i);
    std::size_t at = line_.size();
    line_.resize(at + 3 * take);
    for (char16_t* out = line_.data() + at; take > 0; --take, ++i, out += 3) {
      std::memcpy(out, kHex.entries[bytes[i]], sizeof kHex.entries[0]);
    }
    if (i == n) break;
    line_.push_back(u'\\');
    file_.WriteRegLine(line_);
    line_.assign(u"  ");
    length = 2;
  }
  if (!line_.empty() && line_.back() == u',') line_.pop_back();
  return true;
}

}  // namespace tarnwick
