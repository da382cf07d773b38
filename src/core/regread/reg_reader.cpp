#include "regread/reg_reader.h"

#include <utility>

#include "common/input_file.h"
#include "common/key_path.h"
#include "common/text_codec.h"

namespace tarnwick {

namespace {

using Text = std::u16string_view;

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::size_t SkipBlanks(Text text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

// True when only blanks, or blanks and a comment, follow.
bool EndsHere(Text text, std::size_t at) {
  at = SkipBlanks(text, at);
  return at == text.size() || text[at] == u';';
}

bool StartsWith(Text text, std::size_t at, Text prefix) {
  return text.substr(at, prefix.size()) == prefix;
}

char16_t FoldAscii(char16_t c) {
  return c >= u'a' && c <= u'z' ? c - 0x20 : c;
}

std::string Number(std::size_t n) {
  return std::to_string(n);
}

// The text of a quoted name or string from just after its opening quote, with
// its escapes replaced; end is set after the closing quote. False when the
// quote is never closed or an escape is one no importer accepts.
bool Unescape(Text text, std::size_t& at, std::u16string& out, std::u16string& oddEscapes) {
  out.clear();
  for (; at < text.size(); ++at) {
    char16_t c = text[at];
    if (c == u'"') {
      ++at;
      return true;
    }
    if (c != u'\\') {
      out.push_back(c);
      continue;
    }
    if (++at == text.size()) return false;
    switch (c = text[at]) {
      case u'n':
        out.push_back(u'\n');
        break;
      case u'r':
        out.push_back(u'\r');
        break;
      case u'0':
        return false;
      case u'\\':
      case u'"':
        out.push_back(c);
        break;
      default:
        // Taken as the character itself, with a warning.
        oddEscapes.push_back(c);
        out.push_back(c);
    }
  }
  return false;
}

// Parses a number as strtoul does in base 16: blanks, a sign, "0x", digits.
// consumed is false when there are no digits.
unsigned long ParseHexNumber(Text text, std::size_t& at, bool& consumed) {
  std::size_t p = at;
  while (p < text.size() && (IsBlank(text[p]) || text[p] == u'\n' || text[p] == u'\r' ||
                             text[p] == u'\v' || text[p] == u'\f')) {
    ++p;
  }
  bool negative = false;
  if (p < text.size() && (text[p] == u'+' || text[p] == u'-')) negative = text[p++] == u'-';
  if (p + 2 < text.size() && text[p] == u'0' && (text[p + 1] == u'x' || text[p + 1] == u'X') &&
      HexDigit(text[p + 2]) >= 0) {
    p += 2;
  }
  unsigned long value = 0;
  bool overflow = false;
  std::size_t digits = p;
  for (int d; p < text.size() && (d = HexDigit(text[p])) >= 0; ++p) {
    if (value > (~0ul >> 4)) overflow = true;
    value = value << 4 | static_cast<unsigned long>(d);
  }
  consumed = p != digits;
  if (!consumed) return 0;
  at = p;
  if (overflow) return ~0ul;
  return negative ? 0ul - value : value;
}

class Reader {
 public:
  Reader(RegImport& out, const std::string& fileName) : out_(out), fileName_(fileName) {}

  void Header(Text line) {
    std::size_t at = SkipBlanks(line, 0);
    Text header = line.substr(at);
    if (header == u"REGEDIT4") {
      out_.version = 4;
    } else if (header == u"Windows Registry Editor Version 5.00") {
      out_.version = 5;
    } else if (header == u"REGEDIT") {
      throw ERegReadError(fileName_ + ": Windows 3.1 形式の REG ファイルは読めません");
    } else {
      throw ERegReadError(fileName_ +
                          " の 1 行目: REG ファイルの見出し (\"REGEDIT4\" または \"Windows "
                          "Registry Editor Version 5.00\") がありません");
    }
  }

  void Line(Text line, std::size_t number) {
    number_ = number;
    if (continuing_) return Continuation(line);
    std::size_t at = SkipBlanks(line, 0);
    if (at == line.size() || line[at] == u';') return;
    switch (line[at]) {
      case u'[':
        return KeyLine(line, at + 1);
      case u'@':
        return ValueLine(line, at + 1, std::u16string());
      case u'"': {
        ++at;
        std::u16string name;
        if (!UnescapeChecked(line, at, name)) return Problem("値の名前の引用符が閉じていません");
        return ValueLine(line, at, name);
      }
      default:
        Problem("読み込まれない行です");
    }
  }

  void Finish() {
    // A file that ends inside a continuation still sets the value.
    if (continuing_) SetHexValue();
  }

 private:
  void Problem(std::string text) { out_.problems.push_back({number_, std::move(text)}); }

  bool UnescapeChecked(Text line, std::size_t& at, std::u16string& out) {
    std::u16string odd;
    bool closed = Unescape(line, at, out, odd);
    for (char16_t c : odd) {
      Problem("不明なエスケープ \\" + Utf16ToUtf8(Text(&c, 1)) + " は文字そのものとして読まれます");
    }
    return closed;
  }

  // "HKEY_...\A\B" with its root in the long form and empty components
  // dropped; empty when the root is not a registry root.
  static std::string KeyName(Text path, bool& hasSubKey) {
    std::size_t slash = path.find(u'\\');
    Text root = path.substr(0, slash);
    std::string name;
    for (const TRegRootKey& row : RootKeys) {
      if (root.size() != row.LongName.size()) continue;
      bool same = true;
      for (std::size_t i = 0; same && i < root.size(); ++i) {
        same = FoldAscii(root[i]) == static_cast<char16_t>(row.LongName[i]);
      }
      if (same) name = row.LongName;
    }
    hasSubKey = false;
    if (name.empty() || slash == Text::npos) return name;
    for (std::size_t start = slash + 1; start <= path.size();) {
      std::size_t end = path.find(u'\\', start);
      if (end == Text::npos) end = path.size();
      if (end > start) {
        name += '\\';
        name += Utf16ToUtf8(path.substr(start, end - start));
        hasSubKey = true;
      }
      start = end + 1;
    }
    return name;
  }

  void KeyLine(Text line, std::size_t at) {
    std::size_t close = line.rfind(u']');
    if (at == line.size() || IsBlank(line[at]) || close == Text::npos || close < at) {
      // The importer keeps the key it had: values that follow go there.
      return Problem("キーの行が正しくありません");
    }
    if (!EndsHere(line, close + 1)) Problem("「]」の後の文字は読み込まれません");
    Text path = line.substr(at, close - at);
    bool deletion = !path.empty() && path[0] == u'-';
    if (deletion) path.remove_prefix(1);
    bool hasSubKey = false;
    std::string key = KeyName(path, hasSubKey);
    key_.clear();
    if (key.empty()) return Problem("ルートキーの名前が正しくありません");
    if (deletion) {
      if (!hasSubKey) return Problem("ルートキーは削除されません");
      out_.steps.push_back({RegImportStep::Kind::DeleteKey, std::move(key), {}, {}, number_});
      return;
    }
    key_ = key;
    out_.steps.push_back({RegImportStep::Kind::CreateKey, std::move(key), {}, {}, number_});
  }

  void ValueLine(Text line, std::size_t at, std::u16string name) {
    at = SkipBlanks(line, at);
    if (at == line.size() || line[at] != u'=') return Problem("「=」がありません");
    at = SkipBlanks(line, at + 1);
    std::size_t end = line.size();
    while (end > at && IsBlank(line[end - 1])) --end;
    Text data = line.substr(0, end);
    if (key_.empty()) return Problem("値を置くキーがありません");
    pending_ = {RegImportStep::Kind::SetValue, key_, Utf16ToUtf8(name), {}, number_};
    if (at < data.size() && data[at] == u'-') {
      if (!EndsHere(data, at + 1)) return Problem("値の削除の行が正しくありません");
      pending_.kind = RegImportStep::Kind::DeleteValue;
      out_.steps.push_back(std::move(pending_));
      return;
    }
    if (StartsWith(data, at, u"\"")) return StringData(data, at + 1);
    if (StartsWith(data, at, u"dword:")) return DwordData(data, at + 6);
    if (StartsWith(data, at, u"hex:")) {
      pending_.value.type = kRegBinary;
      return HexData(data, at + 4);
    }
    if (StartsWith(data, at, u"hex(")) {
      at += 4;
      // "hex(0x...)" is refused; otherwise the number is read as strtoul does.
      if (at + 1 < data.size() && (data[at + 1] == u'x' || data[at + 1] == u'X')) {
        return Problem("データ型が正しくありません");
      }
      bool consumed = false;
      unsigned long type = ParseHexNumber(data, at, consumed);
      if (!StartsWith(data, at, u"):") || type > 0xffffffffu) {
        return Problem("データ型が正しくありません");
      }
      pending_.value.type = static_cast<uint32_t>(type);
      return HexData(data, at + 2);
    }
    Problem("不明なデータ型です");
  }

  void StringData(Text data, std::size_t at) {
    std::u16string text;
    if (!UnescapeChecked(data, at, text) || !EndsHere(data, at)) {
      return Problem("文字列が正しくありません");
    }
    text.push_back(u'\0');
    pending_.value = {kRegSz, Utf16ToLeBytes(text)};
    out_.steps.push_back(std::move(pending_));
  }

  void DwordData(Text data, std::size_t at) {
    at = SkipBlanks(data, at);
    uint32_t value = 0;
    std::size_t digits = 0;
    for (int d; at < data.size() && (d = HexDigit(data[at])) >= 0; ++at, ++digits) {
      value = value << 4 | static_cast<uint32_t>(d);
    }
    if (digits == 0 || digits > 8 || !EndsHere(data, at))
      return Problem("DWORD 値が正しくありません");
    char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    pending_.value = {kRegDword, std::string(bytes, 4)};
    out_.steps.push_back(std::move(pending_));
  }

  // Comma-separated bytes, perhaps ending in a backslash that continues them
  // on the next line.
  void HexData(Text data, std::size_t at) {
    continuing_ = false;
    while (at < data.size()) {
      bool consumed = false;
      unsigned long byte = ParseHexNumber(data, at, consumed);
      if (!consumed) {
        at = SkipBlanks(data, at);
        if (at < data.size() && data[at] == u'\\') {
          if (!EndsHere(data, at + 1)) return Problem("16 進データの行が正しくありません");
          continuing_ = true;
          return;
        }
        if (at == data.size() || data[at] == u';') break;
        return Problem("16 進データの行が正しくありません");
      }
      if (byte > 0xff) return Problem("16 進データの行が正しくありません");
      pending_.value.data.push_back(static_cast<char>(byte));
      if (at < data.size() && data[at] != u',') {
        if (!EndsHere(data, at)) return Problem("16 進データの行が正しくありません");
        break;
      }
      if (at < data.size()) ++at;
    }
    SetHexValue();
  }

  void Continuation(Text line) {
    std::size_t at = SkipBlanks(line, 0);
    if (at == line.size() || line[at] == u';') return;  // passed over, still continuing
    if (HexDigit(line[at]) < 0) {
      // The importer drops the value and reads on after this line.
      continuing_ = false;
      return Problem("16 進データの続きの行が正しくないので、値もこの行も読み込まれません");
    }
    HexData(line, at);
  }

  // Strings in hex form end in a NUL as the importer stores them; a REGEDIT4
  // file's bytes are CP932 text, stored as UTF-16.
  void SetHexValue() {
    continuing_ = false;
    std::string& data = pending_.value.data;
    uint32_t type = pending_.value.type;
    if ((type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) && !data.empty()) {
      if (out_.unicode) {
        std::size_t even = data.size() & ~std::size_t{1};
        if (even == 0 || data[even - 1] != 0 || data[even - 2] != 0) {
          data.resize(even);
          data.append(2, '\0');
        }
      } else {
        if (data.back() != 0) data.push_back('\0');
        data = Utf16ToLeBytes(Cp932ToUtf16(data));
      }
    }
    out_.steps.push_back(std::move(pending_));
  }

  RegImport& out_;
  const std::string& fileName_;
  std::size_t number_ = 0;
  std::string key_;  // where values go; empty when nowhere
  RegImportStep pending_;
  bool continuing_ = false;
};

template <typename Char>
std::size_t LineBreak(std::basic_string_view<Char> text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == Char('\r') || text[i] == Char('\n') || text[i] == Char(0)) return i;
  }
  return text.size();
}

// Calls each(line, number) for every line: CR LF, CR and LF each end one.
template <typename Char, typename Each>
void ForEachLine(std::basic_string_view<Char> text, const std::string& fileName, Each each) {
  std::size_t number = 1;
  for (std::size_t start = 0; start <= text.size(); ++number) {
    std::size_t end = LineBreak(text, start);
    if (end - start > kMaxRegLineLength) {
      throw ERegReadError(fileName + " の " + Number(number) + " 行目: 行が長すぎます");
    }
    if (end < text.size() && text[end] == Char(0)) {
      throw ERegReadError(fileName + " の " + Number(number) + " 行目: NUL 文字があります");
    }
    each(text.substr(start, end - start), number);
    if (end == text.size()) break;
    start =
        end +
        (text[end] == Char('\r') && end + 1 < text.size() && text[end + 1] == Char('\n') ? 2 : 1);
    if (start == text.size()) break;
  }
}

}  // namespace

RegImport ReadRegText(std::string_view bytes, const std::string& fileName) {
  if (bytes.size() > kMaxRegReadSize) {
    throw ERegReadError(fileName + ": REG ファイルが大きすぎます (256 MiB まで読めます)");
  }
  RegImport out;
  out.unicode = bytes.size() >= 2 && bytes[0] == '\xff' && bytes[1] == '\xfe';
  Reader reader(out, fileName);
  auto each = [&](auto line, std::size_t number) {
    std::u16string converted;
    Text text;
    if constexpr (sizeof(line[0]) == 1) {
      converted = Cp932ToUtf16(line);
      text = converted;
    } else {
      text = line;
    }
    if (number == 1) {
      reader.Header(text);
    } else {
      reader.Line(text, number);
    }
  };
  if (out.unicode) {
    std::u16string text = LeBytesToUtf16(bytes.substr(2));
    ForEachLine(Text(text), fileName, each);
  } else {
    ForEachLine(bytes, fileName, each);
  }
  reader.Finish();
  return out;
}

RegImport ReadRegFile(const std::string& path) {
  std::string bytes;
  if (!ReadInputFile(path, bytes, kMaxRegReadSize))
    throw ERegReadError(path + ": ファイルがありません");
  return ReadRegText(bytes, path);
}

std::string RegReadProblemText(const std::string& fileName, const RegReadProblem& problem) {
  return fileName + " の " + Number(problem.line) + " 行目: " + problem.text;
}

}  // namespace tarnwick
