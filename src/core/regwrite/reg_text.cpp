#include "regwrite/reg_text.h"

#include <cmath>

#include "common/errors.h"
#include "common/key_path.h"
#include "common/text_codec.h"
#include "registry/registry.h"
#include "regwrite/progress.h"
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

// Closes the accessor's current key when a write or a cancel unwinds.
class CurrentKeyCloser {
 public:
  explicit CurrentKeyCloser(TRegistry& registry) : registry_(registry) {}
  ~CurrentKeyCloser() { registry_.CloseKey(); }

 private:
  TRegistry& registry_;
};

void AppendAscii(std::u16string& out, std::string_view ascii) {
  for (char c : ascii) out.push_back(static_cast<unsigned char>(c));
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
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

std::u16string EscapeRegString(std::u16string_view text, int regVersion) {
  std::u16string out;
  out.reserve(text.size() + 8);
  AppendEscapedRegString(out, text, regVersion);
  return out;
}

int RoundPercent(double percent) {
  if (!(percent > 0)) return 0;  // also catches NaN
  if (percent > 100) return 100;
  return static_cast<int>(std::nearbyint(percent));  // the default rounding mode: ties to even
}

RegWriter::RegWriter(TRegistry& registry, RegOutputFile& file, ProgressPort& progress,
                     MessagePump& pump)
    : registry_(registry), file_(file), progress_(progress), pump_(pump) {}

int RegWriter::RegVersion() const {
  return file_.RegVersion();
}

void RegWriter::RegWriteHeader() {
  file_.RegWriteHeader();
}

void RegWriter::CountKeys(const std::string& relPath, unsigned level) {
  if (level >= ProgressLevel) return;
  std::vector<std::string> names;
  registry_.OpenKeyReadOnly(relPath);
  registry_.GetKeyNames(names);
  registry_.CloseKey();
  KeyCount += static_cast<int>(names.size());
  for (const std::string& name : names) CountKeys(relPath + "\\" + name, level + 1);
}

void RegWriter::AddKeyProgress() {
  // Guards keep a misconfigured run from dividing by zero.
  ProgressPercent +=
      100.0 / (TotalKeyCount > 0 ? TotalKeyCount : 1) / (KeyCount > 0 ? KeyCount : 1);
}

bool RegWriter::RegWriteKey(const std::string& keyPath, const std::string& itemName,
                            const std::string& itemComment, unsigned depth, int keyIndex) {
  pump_.ProcessMessages();

  const std::string& fullPath = keyPath;
  std::string relPath = keyPath;
  RemoveRootName(relPath);
  bool singleValue = false;
  std::string valueName;
  if (depth == 0 && ValueSeparatorPos(relPath) > 0) {
    singleValue = true;
    valueName = KeyPathValueName(relPath);
    RemoveValueName(relPath);
  }

  TRegRootKey root;
  FindRootKey(fullPath, root);
  registry_.SetRootKey(root.RootKey);

  std::u16string keyName = Utf8ToUtf16(root.LongName);
  if (fullPath.find('\\') != std::string::npos) keyName.push_back(u'\\');
  AppendUtf8AsUtf16(keyName, relPath);

  if (depth == 0) {
    KeyCount = 1;
    if (!singleValue) CountKeys(relPath, 0);
  }

  CurrentKeyCloser closer(registry_);
  bool missing = !registry_.KeyExists(relPath);
  if (!missing && singleValue) {
    registry_.OpenKeyReadOnly(relPath);
    missing = !registry_.ValueExists(valueName);
    registry_.CloseKey();
  }
  if (missing) {
    if (depth <= ProgressLevel) AddKeyProgress();
    progress_.SetProgress(RoundPercent(ProgressPercent));
    return true;
  }

  if (depth == 0) {
    if (Options.AddComment && keyIndex == 0) {
      file_.WriteRegLine(u"; " + Utf8ToUtf16(ItemCaption(itemName, itemComment)));
    }
    if (Options.FullRestore && !singleValue) file_.WriteRegLine(u"[-" + keyName + u"]\r\n");
  }
  file_.WriteRegLine(u"[" + keyName + u"]");

  registry_.OpenKeyReadOnly(relPath);
  std::vector<std::string> names;
  if (singleValue) {
    names.push_back(valueName);
  } else {
    registry_.GetValueNames(names);
  }
  for (const std::string& name : names) {
    WriteValueLine(name);
    progress_.CheckCancel();
  }
  // The same open lists the subkeys; the key is closed before any recursion.
  names.clear();
  if (!singleValue) registry_.GetKeyNames(names);
  registry_.CloseKey();
  file_.WriteRegLine(u"");

  if (depth <= ProgressLevel) {
    AddKeyProgress();
    progress_.SetProgress(RoundPercent(ProgressPercent));
  }
  for (const std::string& name : names) {
    RegWriteKey(fullPath + "\\" + name, std::string(), std::string(), depth + 1, keyIndex);
  }
  return false;
}

// Builds and writes the line of one value. A value that can no longer be read
// (it vanished after the key was listed) is left out rather than written with
// data that was never read.
void RegWriter::WriteValueLine(const std::string& name) {
  const int version = RegVersion();
  line_.clear();
  if (name.empty()) {
    line_ += u"@=";
  } else {
    line_.push_back(u'"');
    AppendEscapedRegString(line_, Utf8ToUtf16(name), version);
    line_ += u"\"=";
  }

  switch (registry_.GetDataType(name)) {
    case TRegDataType::rdString: {
      if (version == 5 && Options.NewLineImport && HasLineBreak(registry_.ReadString(name))) {
        if (!AppendHexForm(name)) return;
        break;
      }
      std::u16string text;
      if (WideReads()) {
        if (!ReadWideString(name, text)) return;
      } else {
        text = Utf8ToUtf16(registry_.ReadString(name));
      }
      line_.push_back(u'"');
      AppendEscapedRegString(line_, text, version);
      line_.push_back(u'"');
      break;
    }
    case TRegDataType::rdInteger: {
      uint32_t value = 0;
      try {
        value = registry_.ReadInteger(name);
      } catch (const ERegistryException&) {
        uint32_t type = 0, size = 0;
        TextForm form = WideReads() ? TextForm::Wide : TextForm::Narrow;
        if (!registry_.QueryValueInfo(name, form, type, size) || size <= 4) throw;
        if (!AppendHexForm(name)) return;
        break;
      }
      line_ += u"dword:";
      AppendAscii(line_, IntToLowerHex(value, 8));
      break;
    }
    default:
      if (!AppendHexForm(name)) return;
      break;
  }
  file_.WriteRegLine(line_);
}

bool RegWriter::ReadRaw(const std::string& name, uint32_t& type, std::string& data) const {
  TextForm form = WideReads() ? TextForm::Wide : TextForm::Narrow;
  uint32_t size = 0;
  RegValue value;
  if (!registry_.QueryValueInfo(name, form, type, size) ||
      !registry_.QueryValue(name, form, size, value)) {
    return false;
  }
  data = std::move(value.data);
  return true;
}

// The text of a string read in the wide form: up to its first zero unit.
bool RegWriter::ReadWideString(const std::string& name, std::u16string& text) const {
  uint32_t type = 0;
  std::string data;
  if (!ReadRaw(name, type, data)) return false;
  text = WideTextUpToNul(data);
  return true;
}

// Appends the hex form of a value's raw data to line_, writing full lines as
// it wraps; false when the value cannot be read.
bool RegWriter::AppendHexForm(const std::string& name) {
  uint32_t type = 0;
  std::string data;
  if (!ReadRaw(name, type, data)) return false;
  const int version = RegVersion();
  if (!WideReads() && version == 5 && IsStringType(type)) {
    data = Utf16ToLeBytes(Cp932ToUtf16(data));
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

  std::size_t length = version == 4 ? Cp932Length(line_) : line_.size();
  const std::size_t n = data.size();
  for (std::size_t i = 0; i < n; ++i) {
    line_.append(kHex.entries[static_cast<unsigned char>(data[i])], 3);
    length += 3;
    if (length > kHexLineLimit && i < n - 1) {
      line_.push_back(u'\\');
      file_.WriteRegLine(line_);
      line_.assign(u"  ");
      length = 2;
    }
  }
  if (!line_.empty() && line_.back() == u',') line_.pop_back();
  return true;
}

}  // namespace tarnwick
