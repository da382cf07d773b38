#include "registry/wine/wine_reg_patch.h"

#include <cstring>
#include <vector>

#include "registry/wine/wine_key.h"
#include "registry/wine/wine_reg_parser.h"
#include "registry/wine/wine_reg_text.h"

namespace tarnwick {
namespace {

// The reader's limits: a longer key name drops the section, a longer value
// name the value line (its continuation lines are then not read).

bool StartsWith(const char* p, const char* end, std::string_view prefix) {
  return static_cast<std::size_t>(end - p) >= prefix.size() &&
         std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsWineSpace(*p)) ++p;
  return p;
}

// Walks the lines as the reader does: a line ends at "\n", one "\r" before it
// and everything from a NUL byte on are not part of its text.
class LineScanner {
 public:
  explicit LineScanner(std::string_view text) : text_(text) {}

  bool Next() {
    if (next_ >= text_.size()) return false;
    begin_ = next_;
    std::size_t nl = text_.find('\n', begin_);
    bool newline = nl != std::string_view::npos;
    std::string_view line = text_.substr(begin_, newline ? nl - begin_ : std::string_view::npos);
    next_ = newline ? nl + 1 : text_.size();
    if (newline && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = line.substr(0, line.find('\0'));
    p_ = line.data();
    end_ = line.data() + line.size();
    return true;
  }

  std::size_t Begin() const { return begin_; }  // where the line starts
  std::size_t After() const { return next_; }   // where the next line starts
  const char* p() const { return p_; }
  const char* end() const { return end_; }

 private:
  std::string_view text_;
  std::size_t begin_ = 0;
  std::size_t next_ = 0;
  const char* p_ = nullptr;
  const char* end_ = nullptr;
};

class SectionFinder {
 public:
  SectionFinder(std::string_view text, std::span<const std::u16string> folded,
                std::u16string_view valueName)
      : lines_(text), target_(folded), valueName_(FoldName(valueName)) {}

  WineSectionSpot Run() {
    if (!lines_.Next()) return spot_;  // the header
    while (lines_.Next()) {
      const char* p = SkipSpace(lines_.p(), lines_.end());
      if (p == lines_.end()) continue;
      std::size_t begin = lines_.Begin();
      if (*p == '[') {
        inKey_ = KeyLine(p + 1);
        inTarget_ = inKey_ && path_ == std::vector<std::u16string>(target_.begin(), target_.end());
        spot_.keyFound = spot_.keyFound || inTarget_;
      } else if ((*p == '@' || *p == '"') && inKey_) {
        bool matches = ValueLine(p);
        if (matches && inTarget_) {
          spot_.valueFound = true;
          spot_.valueBegin = begin;
          spot_.valueEnd = lines_.After();
        }
      }
      if (inTarget_) spot_.sectionEnd = lines_.After();
    }
    return spot_;
  }

 private:
  // Reads the path of a key line into path_; false when the reader drops it.
  bool KeyLine(const char* p) {
    path_.clear();
    std::u16string units(static_cast<std::size_t>(lines_.end() - p) + 1, u'\0');
    std::size_t count = UnescapeWineText(p, lines_.end(), ']', units.data());
    if (count == kWineBadText) return false;
    units.resize(count);
    if (units.empty() || units[0] == 0) return true;  // the branch root
    std::u16string_view rest = units;
    while (!rest.empty()) {
      std::size_t cut = rest.find(u'\\');
      std::u16string_view name = rest.substr(0, cut);
      rest.remove_prefix(cut == std::u16string_view::npos ? rest.size() : cut + 1);
      if (name.empty()) continue;
      if (name.size() > kMaxKeyNameUnits || path_.size() == kWineMaxKeyDepth) return false;
      path_.push_back(FoldName(name));
    }
    return true;
  }

  // Reads a value line and its continuation lines; true when it names the
  // value looked for.
  bool ValueLine(const char* p) {
    std::u16string name;
    if (*p == '@') {
      ++p;
    } else {
      ++p;
      name.resize(static_cast<std::size_t>(lines_.end() - p) + 1);
      std::size_t count = UnescapeWineText(p, lines_.end(), '"', name.data());
      if (count == kWineBadText) return false;
      name.resize(count);
    }
    p = SkipSpace(p, lines_.end());
    if (p == lines_.end() || *p != '=' || name.size() > kMaxValueNameUnits) return false;
    SkipContinuations(SkipSpace(p + 1, lines_.end()));
    return FoldName(name) == valueName_;
  }

  // Only hex data go on to the next line, after a backslash that follows the
  // byte list.
  void SkipContinuations(const char* p) {
    const char* end = lines_.end();
    if (StartsWith(p, end, "hex:")) {
      p += 4;
    } else if (StartsWith(p, end, "hex(")) {
      const char* stop;
      ParseHexNumber(p + 4, end, &stop);
      if (!StartsWith(stop, end, "):")) return;
      p = stop + 2;
    } else {
      return;
    }
    std::string bytes;
    for (;;) {
      bytes.clear();
      p = ParseHexBytes(p, lines_.end(), bytes);
      if (!p) return;
      p = SkipSpace(p, lines_.end());
      if (p == lines_.end() || *p != '\\' || !lines_.Next()) return;
      p = SkipSpace(lines_.p(), lines_.end());
    }
  }

  LineScanner lines_;
  std::span<const std::u16string> target_;
  std::u16string valueName_;
  std::vector<std::u16string> path_;
  bool inKey_ = false;
  bool inTarget_ = false;
  WineSectionSpot spot_;
};

}  // namespace

WineSectionSpot FindWineSection(std::string_view text, std::span<const std::u16string> folded,
                                std::u16string_view valueName) {
  return SectionFinder(text, folded, valueName).Run();
}

void AppendWineSection(std::string& text, std::string_view section) {
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += '\n';
  text += section;
}

void PutWineValueLine(std::string& text, std::span<const std::u16string> folded,
                      std::u16string_view valueName, std::string_view line,
                      std::string_view header) {
  WineSectionSpot spot = FindWineSection(text, folded, valueName);
  if (spot.valueFound) {
    text.replace(spot.valueBegin, spot.valueEnd - spot.valueBegin, line);
  } else if (spot.keyFound) {
    std::string insert(line);
    if (spot.sectionEnd > 0 && text[spot.sectionEnd - 1] != '\n') insert.insert(0, "\n");
    text.insert(spot.sectionEnd, insert);
  } else {
    AppendWineSection(text, std::string(header) + std::string(line));
  }
}

}  // namespace tarnwick
