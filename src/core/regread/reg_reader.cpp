#include "regread/reg_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/input_file.h"
#include "common/key_path.h"
#include "common/text_codec.h"

namespace tarnwick {

namespace {

using Text = std::u16string_view;

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

struct HexDigits {
  signed char value[128];
  constexpr HexDigits() : value() {
    for (int c = 0; c < 128; ++c) {
      value[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                 : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                 : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                                        : -1;
    }
  }
};
constexpr HexDigits kHexDigits;

int HexDigit(char16_t c) {
  return c < 128 ? kHexDigits.value[c] : -1;
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

// UTF-16LE bytes of units into out, reusing its buffer.
void AssignLeBytes(std::string& out, Text units) {
  out.resize(units.size() * 2);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out.data(), units.data(), out.size());
  } else {
    char* p = out.data();
    for (char16_t unit : units) {
      *p++ = static_cast<char>(unit & 0xFF);
      *p++ = static_cast<char>(unit >> 8);
    }
  }
}

// The first quote or backslash at or after from; the size when there is none.
std::size_t QuoteOrBackslash(Text text, std::size_t from) {
  std::size_t i = from;
#if defined(__SSE2__)
  // Eight units a step: names and strings are mostly plain runs.
  for (; i + 8 <= text.size(); i += 8) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(chunk, _mm_set1_epi16('"')),
                                                    _mm_cmpeq_epi16(chunk, _mm_set1_epi16('\\'))));
    if (mask) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  while (i < text.size() && text[i] != u'"' && text[i] != u'\\') ++i;
  return i;
}

// The text of a quoted name or string from just after its opening quote, with
// its escapes replaced; end is set after the closing quote. False when the
// quote is never closed or an escape is one no importer accepts.
bool Unescape(Text text, std::size_t& at, std::u16string& out, std::u16string& oddEscapes) {
  out.clear();
  while (at < text.size()) {
    // The run up to the next quote or backslash, at once.
    std::size_t run = QuoteOrBackslash(text, at);
    out.append(text.data() + at, run - at);
    at = run;
    if (at == text.size()) return false;
    if (text[at] == u'"') {
      ++at;
      return true;
    }
    if (++at == text.size()) return false;
    char16_t c = text[at++];
    switch (c) {
      case u'n':
        out.push_back(u'\n');
        break;
      case u'r':
        out.push_back(u'\r');
        break;
      case u'0':
        --at;
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

// The root's long name when path starts with a registry root (in any case),
// else empty; hasSubKey tells whether a non-empty component follows it.
std::string_view RootOf(Text path, bool& hasSubKey) {
  std::size_t slash = path.find(u'\\');
  Text root = path.substr(0, slash);
  std::string_view name;
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
  for (std::size_t i = slash + 1; i < path.size() && !hasSubKey; ++i) hasSubKey = path[i] != u'\\';
  return name;
}

// Reads the lines of a REG file and tells the sink what an import would do.
// Buffers are reused line after line, so that a large file costs no
// allocation per line.
class Reader {
 public:
  Reader(RegReadSink& sink, bool unicode, const std::string& fileName)
      : sink_(sink), unicode_(unicode), fileName_(fileName) {}

  void Header(Text line) {
    std::size_t at = SkipBlanks(line, 0);
    Text header = line.substr(at);
    if (header == u"REGEDIT4") {
      sink_.Header(4);
    } else if (header == u"Windows Registry Editor Version 5.00") {
      sink_.Header(5);
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
        name_.clear();
        return ValueLine(line, at + 1);
      case u'"': {
        ++at;
        if (!UnescapeChecked(line, at, name_)) return Problem("値の名前の引用符が閉じていません");
        return ValueLine(line, at);
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
  void Problem(std::string text) { sink_.Problem(number_, std::move(text)); }

  bool UnescapeChecked(Text line, std::size_t& at, std::u16string& out) {
    odd_.clear();
    bool closed = Unescape(line, at, out, odd_);
    for (char16_t c : odd_) {
      Problem("不明なエスケープ \\" + Utf16ToUtf8(Text(&c, 1)) + " は文字そのものとして読まれます");
    }
    return closed;
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
    haveKey_ = false;
    if (RootOf(path, hasSubKey).empty()) return Problem("ルートキーの名前が正しくありません");
    if (deletion) {
      if (!hasSubKey) return Problem("ルートキーは削除されません");
      sink_.Key(path, true, number_);
      return;
    }
    haveKey_ = true;
    sink_.Key(path, false, number_);
  }

  void ValueLine(Text line, std::size_t at) {
    at = SkipBlanks(line, at);
    if (at == line.size() || line[at] != u'=') return Problem("「=」がありません");
    at = SkipBlanks(line, at + 1);
    std::size_t end = line.size();
    while (end > at && IsBlank(line[end - 1])) --end;
    Text data = line.substr(0, end);
    if (!haveKey_) return Problem("値を置くキーがありません");
    valueLine_ = number_;
    type_ = kRegNone;
    data_.clear();
    if (at < data.size() && data[at] == u'-') {
      if (!EndsHere(data, at + 1)) return Problem("値の削除の行が正しくありません");
      sink_.DeleteValue(Text(name_), valueLine_);
      return;
    }
    if (StartsWith(data, at, u"\"")) return StringData(data, at + 1);
    if (StartsWith(data, at, u"dword:")) return DwordData(data, at + 6);
    if (StartsWith(data, at, u"hex:")) {
      type_ = kRegBinary;
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
      type_ = static_cast<uint32_t>(type);
      return HexData(data, at + 2);
    }
    Problem("不明なデータ型です");
  }

  void StringData(Text data, std::size_t at) {
    if (!UnescapeChecked(data, at, text_) || !EndsHere(data, at)) {
      return Problem("文字列が正しくありません");
    }
    text_.push_back(u'\0');
    AssignLeBytes(data_, text_);
    sink_.Value(Text(name_), kRegSz, std::string_view(data_), valueLine_);
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
    sink_.Value(Text(name_), kRegDword, std::string_view(bytes, 4), valueLine_);
  }

  // Comma-separated bytes, perhaps ending in a backslash that continues them
  // on the next line.
  void HexData(Text data, std::size_t at) {
    continuing_ = false;
    while (at < data.size()) {
      // The usual "xx," first, in a tight loop; it reads as the general case.
      const std::size_t start = data_.size();
      data_.resize(start + (data.size() - at) / 3 + 1);
      char* out = data_.data() + start;
      const char16_t* d = data.data();
      for (const std::size_t size = data.size(); at + 2 < size; at += 3) {
        const char16_t c0 = d[at], c1 = d[at + 1];
        if (d[at + 2] != u',' || ((c0 | c1) & ~0x7F) != 0) break;
        const int high = kHexDigits.value[c0], low = kHexDigits.value[c1];
        if ((high | low) < 0) break;
        *out++ = static_cast<char>(high << 4 | low);
      }
      // The usual ends: a last byte, or the backslash that continues.
      if (at + 2 == data.size() && ((d[at] | d[at + 1]) & ~0x7F) == 0 &&
          (kHexDigits.value[d[at]] | kHexDigits.value[d[at + 1]]) >= 0) {
        *out++ = static_cast<char>(kHexDigits.value[d[at]] << 4 | kHexDigits.value[d[at + 1]]);
        at += 2;
      }
      data_.resize(static_cast<std::size_t>(out - data_.data()));
      if (at + 1 == data.size() && d[at] == u'\\') {
        continuing_ = true;
        return;
      }
      if (at == data.size()) break;
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
      data_.push_back(static_cast<char>(byte));
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
    std::string& data = data_;
    uint32_t type = type_;
    if ((type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) && !data.empty()) {
      if (unicode_) {
        std::size_t even = data.size() & ~std::size_t{1};
        if (even == 0 || data[even - 1] != 0 || data[even - 2] != 0) {
          data.resize(even);
          data.append(2, '\0');
        }
      } else {
        if (data.back() != 0) data.push_back('\0');
        if (wide_.size() < data.size()) wide_.resize(data.size());
        AssignLeBytes(data, Text(wide_.data(), Cp932ToUtf16Units(data, wide_.data())));
      }
    }
    sink_.Value(Text(name_), type, std::string_view(data), valueLine_);
  }

  RegReadSink& sink_;
  bool unicode_;
  const std::string& fileName_;
  std::size_t number_ = 0;
  bool haveKey_ = false;  // a key line set where values go
  std::u16string name_;   // the value being read
  uint32_t type_ = kRegNone;
  std::string data_;
  std::size_t valueLine_ = 0;
  std::u16string text_;  // a quoted string, reused
  std::u16string wide_;  // a REGEDIT4 string in hex form, widened; only grows
  std::u16string odd_;   // escapes no importer knows, in one line
  bool continuing_ = false;
};

// Collects what the reader tells as RegImport steps.
class ImportSink : public RegReadSink {
 public:
  explicit ImportSink(RegImport& out) : out_(out) {}
  void Header(int version) override { out_.version = version; }
  void Key(Text path, bool deletion, std::size_t line) override {
    key_ = RegKeyName(path);
    out_.steps.push_back(
        {deletion ? RegImportStep::Kind::DeleteKey : RegImportStep::Kind::CreateKey,
         key_,
         {},
         {},
         line});
  }
  void Value(Text name, uint32_t type, std::string_view bytes, std::size_t line) override {
    out_.steps.push_back({RegImportStep::Kind::SetValue, key_, Utf16ToUtf8(name),
                          RegValue{type, std::string(bytes)}, line});
  }
  void DeleteValue(Text name, std::size_t line) override {
    out_.steps.push_back({RegImportStep::Kind::DeleteValue, key_, Utf16ToUtf8(name), {}, line});
  }
  void Problem(std::size_t line, std::string text) override {
    out_.problems.push_back({line, std::move(text)});
  }

 private:
  RegImport& out_;
  std::string key_;
};

// The first CR, LF or NUL at or after from; the size when there is none.
template <typename Char>
std::size_t LineBreak(std::basic_string_view<Char> text, std::size_t from) {
#if defined(__SSE2__)
  // Sixteen bytes a step: a line is mostly long runs of other characters.
  constexpr std::size_t kStep = 16 / sizeof(Char);
  const Char* p = text.data();
  std::size_t i = from;
  for (; i + kStep <= text.size(); i += kStep) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i hits;
    if constexpr (sizeof(Char) == 1) {
      hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\r')),
                                       _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n'))),
                          _mm_cmpeq_epi8(chunk, _mm_setzero_si128()));
    } else {
      hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(chunk, _mm_set1_epi16('\r')),
                                       _mm_cmpeq_epi16(chunk, _mm_set1_epi16('\n'))),
                          _mm_cmpeq_epi16(chunk, _mm_setzero_si128()));
    }
    if (const int mask = _mm_movemask_epi8(hits)) {
      return i +
             static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / sizeof(Char);
    }
  }
  from = i;
#endif
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

bool HasByteOrderMark(std::string_view bytes) {
  return bytes.size() >= 2 && bytes[0] == '\xff' && bytes[1] == '\xfe';
}

void CheckReadSize(std::size_t bytes, const std::string& fileName) {
  if (bytes > kMaxRegReadSize) {
    throw ERegReadError(fileName + ": REG ファイルが大きすぎます (256 MiB まで読めます)");
  }
}

// Gives the reader one line, or the header; a REGEDIT4 line is converted
// from CP932 into `converted`, which only grows, line after line.
template <typename Char>
void ReadLine(Reader& reader, std::basic_string_view<Char> line, std::size_t number, bool header,
              std::u16string& converted) {
  Text utf16;
  if constexpr (sizeof(Char) == 1) {
    if (converted.size() < line.size()) converted.resize(line.size());
    utf16 = Text(converted.data(), Cp932ToUtf16Units(line, converted.data()));
  } else {
    utf16 = line;
  }
  if (header) {
    reader.Header(utf16);
  } else {
    reader.Line(utf16, number);
  }
}

template <typename Char>
void ReadLines(std::basic_string_view<Char> text, bool unicode, const std::string& fileName,
               RegReadSink& sink) {
  Reader reader(sink, unicode, fileName);
  std::u16string converted;
  ForEachLine(text, fileName, [&](std::basic_string_view<Char> line, std::size_t number) {
    ReadLine(reader, line, number, number == 1, converted);
  });
  reader.Finish();
}

constexpr std::size_t kStreamChunk = 256 * 1024;  // bytes

// The lines of a file read piece by piece through a buffer of its own, as
// ForEachLine gives them from the whole text, each handed to a reader. The
// first is the header, unless the lines are those that follow it.
template <typename Char>
class LineStream {
 public:
  LineStream(const RegReadFill& fill, const std::string& fileName, RegReadSink& sink, bool unicode,
             bool header = true)
      : fill_(fill), fileName_(fileName), reader_(sink, unicode, fileName), header_(header) {}

  // first: the bytes already read, after any byte-order mark.
  void Read(std::string_view first) {
    buffer_.resize(std::max(kStreamChunk / sizeof(Char), first.size() / sizeof(Char) + 1));
    std::memcpy(buffer_.data(), first.data(), first.size());
    bytes_ = first.size();
    for (;;) {
      if (Lines()) break;
      // What is left is a line not yet complete: moved to the front, and
      // the buffer grows when it fills.
      const std::size_t used = start_ * sizeof(Char);
      std::memmove(Raw(), Raw() + used, bytes_ - used);
      bytes_ -= used;
      start_ = 0;
      if (bytes_ + sizeof(Char) > buffer_.size() * sizeof(Char)) buffer_.resize(buffer_.size() * 2);
      const std::size_t got = fill_(Raw() + bytes_, buffer_.size() * sizeof(Char) - bytes_);
      eof_ = got == 0;
      bytes_ += got;
    }
    reader_.Finish();
  }

 private:
  char* Raw() { return reinterpret_cast<char*>(buffer_.data()); }

  // Hands on the complete lines; true at the end of the file.
  bool Lines() {
    const std::size_t units = bytes_ / sizeof(Char);
    const std::basic_string_view<Char> text(buffer_.data(), units);
    for (;;) {
      const std::size_t end = LineBreak(text, start_);
      // A CR at the end of what is read may have its LF in the next piece.
      const bool complete = end < units && !(text[end] == Char('\r') && end + 1 == units && !eof_);
      if (!complete && !eof_) return false;
      if (end - start_ > kMaxRegLineLength) {
        throw ERegReadError(fileName_ + " の " + Number(number_) + " 行目: 行が長すぎます");
      }
      if (end < units && text[end] == Char(0)) {
        throw ERegReadError(fileName_ + " の " + Number(number_) + " 行目: NUL 文字があります");
      }
      Line(text.substr(start_, end - start_));
      if (end == units) return true;
      start_ =
          end + (text[end] == Char('\r') && end + 1 < units && text[end + 1] == Char('\n') ? 2 : 1);
      ++number_;
      if (start_ == units && eof_) return true;
    }
  }

  void Line(std::basic_string_view<Char> line) {
    ReadLine(reader_, line, number_, header_, converted_);
    header_ = false;
  }

  const RegReadFill& fill_;
  const std::string& fileName_;
  Reader reader_;
  std::vector<Char> buffer_;
  std::size_t bytes_ = 0;   // bytes in buffer_
  std::size_t start_ = 0;   // the unit where the next line starts
  std::size_t number_ = 1;  // its number
  bool eof_ = false;
  bool header_;
  std::u16string converted_;
};

}  // namespace

// "HKEY_...\A\B" with its root in the long form and empty components
// dropped, for a path that starts with a root.
std::string RegKeyName(std::u16string_view path) {
  bool hasSubKey = false;
  std::string name(RootOf(path, hasSubKey));
  std::size_t slash = path.find(u'\\');
  if (!hasSubKey) return name;
  for (std::size_t start = slash + 1; start <= path.size();) {
    std::size_t end = path.find(u'\\', start);
    if (end == Text::npos) end = path.size();
    if (end > start) {
      name += '\\';
      name += Utf16ToUtf8(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return name;
}

bool ReadRegText(std::string_view bytes, const std::string& fileName, RegReadSink& sink) {
  CheckReadSize(bytes.size(), fileName);
  if (HasByteOrderMark(bytes)) {
    std::u16string text = LeBytesToUtf16(bytes.substr(2));
    ReadLines(Text(text), true, fileName, sink);
    return true;
  }
  ReadLines(bytes, false, fileName, sink);
  return false;
}

bool ReadRegStream(const RegReadFill& fill, const std::string& fileName, RegReadSink& sink) {
  std::vector<char> bytes(kStreamChunk);
  std::size_t have = 0;
  for (std::size_t got; have < 2 && (got = fill(bytes.data() + have, bytes.size() - have)) > 0;) {
    have += got;
  }
  const bool unicode = HasByteOrderMark(std::string_view(bytes.data(), have));
  if (std::endian::native != std::endian::little && unicode) {
    // UTF-16LE is not the text in memory: read whole.
    for (std::size_t got; (got = fill(bytes.data() + have, bytes.size() - have)) > 0;) {
      have += got;
      if (have == bytes.size()) bytes.resize(bytes.size() * 2);
    }
    ReadRegText(std::string_view(bytes.data(), have), fileName, sink);
    return true;
  }
  if (unicode) {
    LineStream<char16_t> lines(fill, fileName, sink, true);
    lines.Read(std::string_view(bytes.data() + 2, have - 2));
  } else {
    LineStream<char> lines(fill, fileName, sink, false);
    lines.Read(std::string_view(bytes.data(), have));
  }
  return unicode;
}

RegImport ReadRegText(std::string_view bytes, const std::string& fileName) {
  RegImport out;
  out.unicode = HasByteOrderMark(bytes);
  ImportSink sink(out);
  ReadRegText(bytes, fileName, sink);
  return out;
}

void ReadRegLines(const RegReadFill& fill, bool unicode, const std::string& fileName,
                  RegReadSink& sink) {
  if (unicode) {
    LineStream<char16_t>(fill, fileName, sink, true, false).Read(std::string_view("", 0));
  } else {
    LineStream<char>(fill, fileName, sink, false, false).Read(std::string_view("", 0));
  }
}

bool ReadRegFile(const std::string& path, const std::string& fileName, RegReadSink& sink) {
  InputPieces file;
  if (!file.Open(path, kMaxRegReadSize)) throw ERegReadError(fileName + ": ファイルがありません");
  return ReadRegStream([&](char* buffer, std::size_t room) { return file.Read(buffer, room); },
                       fileName, sink);
}

RegImport ReadRegFile(const std::string& path) {
  RegImport out;
  ImportSink sink(out);
  out.unicode = ReadRegFile(path, path, sink);
  return out;
}

std::string RegReadProblemText(const std::string& fileName, const RegReadProblem& problem) {
  return fileName + " の " + Number(problem.line) + " 行目: " + problem.text;
}

}  // namespace tarnwick
