#include "registry/wine/wine_reg_parser.h"

#include <bit>
#include <cstring>

#include "registry/wine/wine_reg_text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";

// Appends units as UTF-16LE bytes.
void AppendLe(std::string& out, const char16_t* units, std::size_t count) {
  std::size_t at = out.size();
  out.resize(at + 2 * count);
  if constexpr (std::endian::native == std::endian::little) {
    if (count) std::memcpy(out.data() + at, units, 2 * count);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      out[at + 2 * i] = static_cast<char>(units[i] & 0xFF);
      out[at + 2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
  }
}

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsWineSpace(*p)) ++p;
  return p;
}

bool StartsWith(const char* p, const char* end, std::string_view prefix) {
  return static_cast<std::size_t>(end - p) >= prefix.size() &&
         std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

constexpr std::size_t kKeysPerIdleCall = 4096;

class Parser {
 public:
  Parser(std::string_view text, const std::function<void()>& idle) : text_(text), idle_(idle) {}

  WineRegFile Run() {
    file_.valid = ReadLines();
    file_.root->FinishBuild();
    return std::move(file_);
  }

 private:
  // False when the file is refused: a wrong header or architecture.
  bool ReadLines() {
    if (!NextLine() || std::string_view(line_, lineEnd_ - line_) != kHeader) return false;
    while (NextLine()) {
      const char* p = SkipSpace(line_, lineEnd_);
      if (p == lineEnd_) continue;
      switch (*p) {
        case '[':
          KeyLine(p + 1);
          if (idle_ && file_.keyLines % kKeysPerIdleCall == 0) idle_();
          break;
        case '@':
        case '"':
          if (key_) {
            ValueLine(p);
          } else {
            Issue("Value without key");
          }
          break;
        case '#':
          if (key_) {
            KeyOption(p);
          } else if (!GlobalOption(p)) {
            return false;
          }
          break;
        case ';':
          break;
        default:
          Issue("Unrecognized input");
          break;
      }
    }
    return true;
  }

  // The next line without its "\n" and one "\r" before it; a NUL byte ends
  // the text, as it ends wineserver's C string.
  bool NextLine() {
    if (pos_ >= text_.size()) return false;
    std::size_t nl = text_.find('\n', pos_);
    bool newline = nl != std::string_view::npos;
    std::string_view line = text_.substr(pos_, newline ? nl - pos_ : std::string_view::npos);
    pos_ += line.size() + 1;
    if (newline && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = line.substr(0, line.find('\0'));
    line_ = line.data();
    lineEnd_ = line.data() + line.size();
    ++lineNo_;
    return true;
  }

  void Issue(const char* what) {
    if (file_.issues.size() < WineRegFile::kMaxIssues) file_.issues.push_back({lineNo_, what});
    ++file_.issueCount;
  }

  // Room for the decoded text of the rest of the line from p.
  char16_t* Scratch(const char* p) {
    auto units = static_cast<std::size_t>(lineEnd_ - p) + 1;
    if (scratch_.size() < units) scratch_.resize(units);
    return scratch_.data();
  }

  // "[path] seconds": the path is relative to the branch root; "[]" is the
  // root itself, as is a path whose first unit is NUL (wineserver tests the
  // first unit of the C string). Empty names between backslashes are skipped.
  void KeyLine(const char* p) {
    ++file_.keyLines;
    key_ = nullptr;
    char16_t* units = Scratch(p);
    std::size_t count = UnescapeWineText(p, lineEnd_, ']', units);
    if (count == kWineBadText) return Issue("Malformed key");
    if (count == 0 || units[0] == 0) {
      key_ = file_.root.get();
      return;
    }
    std::u16string_view path(units, count);
    std::size_t depth = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (path[i] != '\\' && (i == 0 || path[i - 1] == '\\')) ++depth;
    }
    if (depth > kWineMaxKeyDepth) return Issue("Malformed key");

    // Consecutive key lines share their leading names: the keys of the last
    // path are reused while the names match, without a search.
    WineKey* node = file_.root.get();
    depth = 0;
    while (!path.empty()) {
      std::size_t cut = path.find(u'\\');
      std::u16string_view name = path.substr(0, cut);
      path.remove_prefix(cut == std::u16string_view::npos ? path.size() : cut + 1);
      if (name.empty()) continue;
      if (name.size() > kMaxKeyNameUnits) return Issue("Error creating key");
      FoldNameInto(name, folded_);
      if (depth < chain_.size() && chain_[depth]->Folded() == folded_) {
        node = chain_[depth];
      } else {
        chain_.resize(depth);
        node = &node->SubKey(name, folded_);
        chain_.push_back(node);
      }
      ++depth;
    }
    key_ = node;
  }

  // '@' or '"name"', '=' with optional white space around it, then the data.
  // The value exists once its name is read: bad data leave it REG_NONE.
  void ValueLine(const char* p) {
    std::u16string_view name;
    if (*p == '@') {
      ++p;
    } else {
      ++p;
      char16_t* units = Scratch(p);
      std::size_t count = UnescapeWineText(p, lineEnd_, '"', units);
      if (count == kWineBadText) return Issue("Malformed value name");
      name = std::u16string_view(units, count);
    }
    p = SkipSpace(p, lineEnd_);
    if (p == lineEnd_ || *p != '=') return Issue("Malformed value name");
    p = SkipSpace(p + 1, lineEnd_);
    if (name.size() > kMaxValueNameUnits) return;
    WineValue& value = key_->Value(name);
    value.data.clear();
    if (ValueData(p, value)) return;
    Issue("Malformed value");
    value.type = kRegNone;
    value.data.clear();
  }

  // The data tags in the order wineserver tries them.
  bool ValueData(const char* p, WineValue& value) {
    if (StartsWith(p, lineEnd_, "\"")) return StringData(p + 1, kRegSz, value);
    if (StartsWith(p, lineEnd_, "str:\"")) return StringData(p + 5, kRegSz, value);
    if (StartsWith(p, lineEnd_, "str(2):\"")) return StringData(p + 8, kRegExpandSz, value);
    if (StartsWith(p, lineEnd_, "str(7):\"")) return StringData(p + 8, kRegMultiSz, value);
    if (StartsWith(p, lineEnd_, "hex:")) return HexData(p + 4, kRegBinary, value);
    if (StartsWith(p, lineEnd_, "dword:")) {
      const char* stop;
      auto dword = static_cast<uint32_t>(ParseHexNumber(p + 6, lineEnd_, &stop));
      for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<char>(dword >> (8 * i)));
      value.type = kRegDword;
      return true;
    }
    if (StartsWith(p, lineEnd_, "hex(")) {
      const char* stop;
      auto type = static_cast<uint32_t>(ParseHexNumber(p + 4, lineEnd_, &stop));
      if (!StartsWith(stop, lineEnd_, "):")) return false;
      return HexData(stop + 2, type, value);
    }
    return false;
  }

  // String data: the decoded units plus one NUL.
  bool StringData(const char* p, uint32_t type, WineValue& value) {
    char16_t* units = Scratch(p);
    std::size_t count = UnescapeWineText(p, lineEnd_, '"', units);
    if (count == kWineBadText) return false;
    units[count] = 0;
    AppendLe(value.data, units, count + 1);
    value.type = type;
    return true;
  }

  // A byte list; a '\' after it continues the list on the next line, whatever
  // that line holds. Anything else after the list makes the data malformed.
  bool HexData(const char* p, uint32_t type, WineValue& value) {
    for (;;) {
      p = ParseHexBytes(p, lineEnd_, value.data);
      if (!p) return false;
      p = SkipSpace(p, lineEnd_);
      if (p == lineEnd_) break;
      if (*p != '\\' || !NextLine()) return false;
      p = SkipSpace(line_, lineEnd_);
    }
    value.type = type;
    return true;
  }

  // Options after a key line. "#time=" and "#class=" are read by wineserver
  // but not kept here: the store has no use for times and classes.
  void KeyOption(const char* p) {
    if (StartsWith(p, lineEnd_, "#link")) key_->SetLink();
  }

  // Options before the first key. Only "#arch=" is known; a file naming an
  // unknown architecture, or one other than an earlier line named, is refused.
  bool GlobalOption(const char* p) {
    if (!StartsWith(p, lineEnd_, "#arch=")) return true;
    std::string_view arch(p + 6, lineEnd_ - (p + 6));
    WineArch named = arch == "win32"   ? WineArch::Win32
                     : arch == "win64" ? WineArch::Win64
                                       : WineArch::Unknown;
    if (named == WineArch::Unknown) {
      Issue("Unknown architecture");
      return false;
    }
    if (file_.arch != WineArch::Unknown && file_.arch != named) {
      Issue("Mismatched architecture");
      return false;
    }
    file_.arch = named;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  const char* line_ = nullptr;
  const char* lineEnd_ = nullptr;
  std::size_t lineNo_ = 0;
  WineRegFile file_;
  WineKey* key_ = nullptr;       // the key of the current section; null after a bad key line
  std::vector<WineKey*> chain_;  // the keys of the last key path, one per level
  std::vector<char16_t> scratch_;
  std::u16string folded_;
  const std::function<void()>& idle_;
};

}  // namespace

WineRegFile ParseWineRegistry(std::string_view text, const std::function<void()>& idle) {
  return Parser(text, idle).Run();
}

}  // namespace tarnwick
