#include "synthetic_registry.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tarnwick::bench {
namespace {

// Layout: Software\Bench\G###\Item#####, and every fifth item carries a chain
// Options\Advanced\Profile below it, so the tree reaches five levels.
constexpr std::size_t kKeysPerGroup = 1000;
constexpr std::size_t kMaxGroups = 999;
constexpr std::uint32_t kFirstKeySeconds = 1700000000;
constexpr std::uint64_t kFileTimeUnixEpoch = 11644473600ull;  // seconds 1601 -> 1970

// Size knobs, chosen so that the version 5 export of 50,000 keys is about 90 MB.
constexpr std::uint32_t kMaxAsciiText = 100;
constexpr std::uint32_t kMaxJapaneseText = 30;
constexpr std::uint32_t kMaxBinary = 200;
constexpr std::uint32_t kMaxNone = 16;

// Every character is in CP932; ソ and 表 have 0x5C as their second byte there.
constexpr std::u16string_view kJapanese =
    u"日本語設定履歴表示名前値文字列東京大阪株式会社情報保存読込書出登録編集検索終了開始能力"
    u"ソフトウェアデータファイルフォルダバックアップレジストリキー項目一覧選択確認取消変更削除"
    u"追加作成更新説明";
constexpr std::array<std::string_view, 24> kWords = {
    "alpha",  "beta",    "gamma",   "delta",  "config", "window", "recent", "default",
    "sample", "backup",  "profile", "user",   "local",  "remote", "server", "client",
    "font",   "display", "history", "option", "cache",  "theme",  "plugin", "version"};
constexpr std::array<std::u16string_view, 22> kValueNames = {u"DisplayName", u"InstallLocation",
                                                             u"Version",     u"Publisher",
                                                             u"Flags",       u"LastUsed",
                                                             u"WindowPos",   u"RecentFiles",
                                                             u"Options",     u"Path",
                                                             u"Language",    u"Theme",
                                                             u"UserName",    u"Timeout",
                                                             u"Counter",     u"Cache",
                                                             u"Data",        u"Mode",
                                                             u"表示名",      u"設定",
                                                             u"履歴",        u"保存先"};
constexpr std::array<std::u16string_view, 3> kChainNames = {u"Options", u"Advanced", u"Profile"};

enum Type : std::uint32_t {
  kNone = 0,
  kSz = 1,
  kExpandSz = 2,
  kBinary = 3,
  kDword = 4,
  kMultiSz = 7,
  kQword = 11,
};
// Each key takes five consecutive entries, starting one further each key.
constexpr std::array<Type, 7> kTypeCycle = {kSz,     kExpandSz, kMultiSz, kDword,
                                            kBinary, kQword,    kNone};

// splitmix64: the same sequence on every platform and library.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // In [lo, hi].
  std::uint32_t Range(std::uint32_t lo, std::uint32_t hi) {
    return lo + static_cast<std::uint32_t>(Next() % (hi - lo + 1));
  }
  bool OneIn(std::uint32_t n) { return Next() % n == 0; }

 private:
  std::uint64_t state_;
};

struct Value {
  std::u16string name;
  Type type = kNone;
  std::u16string text;  // string types, without the final NUL
  std::string bytes;    // other types
};

bool IsHexDigit(char16_t c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char16_t FoldAscii(char16_t c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c;
}

// wineserver's order: lower-case fold, unit by unit, shorter first. The
// generated names are ASCII or caseless kana and kanji, so folding ASCII is enough.
bool FoldLess(std::u16string_view a, std::u16string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char16_t x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

void AppendHex(std::string& out, std::uint32_t value, int minDigits) {
  char buffer[16];
  int n = std::snprintf(buffer, sizeof buffer, "%0*x", minDigits, value);
  out.append(buffer, static_cast<std::size_t>(n));
}

// As wineserver writes names and string data: \x escapes above 0x7F (four
// digits when an ASCII hex digit follows), C or octal escapes below 0x20, a
// backslash before '\' and the two escape characters. A NUL as the last unit
// is left out. Returns the number of characters written.
std::size_t AppendEscaped(std::string& out, std::u16string_view units, char esc1, char esc2) {
  static constexpr char kCEscapes[] = ".......abtnvfr.............e....";
  const std::size_t start = out.size();
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    const bool hasNext = i + 1 < units.size();
    const char16_t next = hasNext ? units[i + 1] : 0;
    if (c > 127) {
      out += "\\x";
      AppendHex(out, c, hasNext && next < 128 && IsHexDigit(next) ? 4 : 1);
    } else if (c < 32) {
      if (c == 0 && !hasNext) continue;
      char buffer[8];
      int n = kCEscapes[c] != '.'
                  ? std::snprintf(buffer, sizeof buffer, "\\%c", kCEscapes[c])
                  : std::snprintf(buffer, sizeof buffer,
                                  hasNext && next >= '0' && next <= '7' ? "\\%03o" : "\\%o",
                                  static_cast<unsigned>(c));
      out.append(buffer, static_cast<std::size_t>(n));
    } else {
      if (c == '\\' || c == esc1 || c == esc2) out += '\\';
      out += static_cast<char>(c);
    }
  }
  return out.size() - start;
}

// Byte list with wineserver's wrap: count starts at the characters already on
// the line, and a line is broken after a comma that takes it past 76.
void AppendHexBytes(std::string& out, std::string_view bytes, std::size_t count) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    AppendHex(out, static_cast<unsigned char>(bytes[i]), 2);
    count += 2;
    if (i + 1 < bytes.size()) {
      out += ',';
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
}

class TreeWriter {
 public:
  TreeWriter(std::uint64_t seed, SyntheticTree& tree) : rng_(seed), tree_(tree) {}

  std::string& Out() { return out_; }

  void Header() {
    out_ +=
        "WINE REGISTRY Version 2\n"
        ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
        "\n"
        "#arch=win64\n";
  }

  void Key(std::u16string_view path, std::size_t depth) {
    const std::uint32_t seconds = kFirstKeySeconds + static_cast<std::uint32_t>(tree_.keys);
    const std::uint64_t fileTime = (seconds + kFileTimeUnixEpoch) * 10000000ull;
    out_ += "\n[";
    AppendEscaped(out_, path, '[', ']');
    out_ += "] " + std::to_string(seconds) + "\n#time=";
    AppendHex(out_, static_cast<std::uint32_t>(fileTime >> 32), 1);
    AppendHex(out_, static_cast<std::uint32_t>(fileTime), 8);
    out_ += '\n';

    MakeValues();
    for (const Value& value : values_) WriteValue(value);
    tree_.values += values_.size();
    tree_.maxDepth = std::max(tree_.maxDepth, depth);
    ++tree_.keys;
  }

  std::u16string JapaneseText(std::uint32_t minLen, std::uint32_t maxLen) {
    std::u16string text;
    std::uint32_t n = rng_.Range(minLen, maxLen);
    for (std::uint32_t i = 0; i < n; ++i) text += kJapanese[rng_.Next() % kJapanese.size()];
    return text;
  }

 private:
  std::u16string AsciiText(std::uint32_t minLen, std::uint32_t maxLen) {
    std::uint32_t target = rng_.Range(minLen, maxLen);
    std::u16string text;
    if (rng_.OneIn(4)) text = u"C:\\Program Files\\Bench\\";
    while (text.size() < target) {
      if (!text.empty() && text.back() != u'\\') text += rng_.OneIn(6) ? u'\\' : u' ';
      for (char c : kWords[rng_.Next() % kWords.size()]) text += static_cast<char16_t>(c);
    }
    if (rng_.OneIn(32)) text += u" \"quoted\"";
    return text;
  }

  std::u16string Text(std::uint32_t asciiMax, std::uint32_t japaneseMax) {
    ++tree_.stringValues;
    if (rng_.OneIn(5)) {
      ++tree_.japaneseStrings;
      std::u16string text = JapaneseText(2, japaneseMax);
      if (rng_.OneIn(4)) text += u" 2.0";
      return text;
    }
    return AsciiText(4, asciiMax);
  }

  std::string RandomBytes(std::size_t n) {
    std::string bytes(n, '\0');
    for (char& b : bytes) b = static_cast<char>(rng_.Next() & 0xFF);
    return bytes;
  }

  void MakeValues() {
    values_.clear();
    std::array<bool, kValueNames.size()> used{};
    while (values_.size() < kValuesPerKey) {
      std::size_t i = rng_.Next() % kValueNames.size();
      if (used[i]) continue;
      used[i] = true;
      values_.push_back(Value{std::u16string(kValueNames[i]), kNone, {}, {}});
    }
    if (rng_.OneIn(8)) values_[0].name.clear();  // the default value
    std::sort(values_.begin(), values_.end(),
              [](const Value& a, const Value& b) { return FoldLess(a.name, b.name); });

    for (std::size_t slot = 0; slot < values_.size(); ++slot) {
      Value& v = values_[slot];
      v.type = kTypeCycle[(tree_.keys + slot) % kTypeCycle.size()];
      switch (v.type) {
        case kSz:
          v.text = Text(kMaxAsciiText, kMaxJapaneseText);
          break;
        case kExpandSz:
          v.text = u"%ProgramFiles%\\Bench\\";
          v.text += Text(kMaxAsciiText / 2, kMaxJapaneseText / 2);
          break;
        case kMultiSz: {
          std::uint32_t parts = rng_.Range(1, 4);
          for (std::uint32_t p = 0; p < parts; ++p) {
            v.text += Text(kMaxAsciiText / 3, kMaxJapaneseText / 3);
            v.text += u'\0';  // each part's end; the list's own end is the final NUL
          }
          break;
        }
        case kDword:
          v.bytes = RandomBytes(4);
          break;
        case kQword:
          v.bytes = RandomBytes(8);
          break;
        case kBinary:
          v.bytes = RandomBytes(rng_.Range(0, kMaxBinary));
          break;
        case kNone:
          v.bytes = RandomBytes(rng_.Range(0, kMaxNone));
          break;
      }
    }
  }

  void WriteValue(const Value& v) {
    std::size_t count = 0;
    if (v.name.empty()) {
      out_ += "@=";
      count = 2;
    } else {
      out_ += '"';
      count = 1 + AppendEscaped(out_, v.name, '"', '"');
      out_ += "\"=";
      count += 2;
    }
    switch (v.type) {
      case kSz:
      case kExpandSz:
      case kMultiSz: {
        if (v.type == kExpandSz) out_ += "str(2):";
        if (v.type == kMultiSz) out_ += "str(7):";
        out_ += '"';
        std::u16string data = v.text + u'\0';
        AppendEscaped(out_, data, '"', '"');
        out_ += "\"\n";
        return;
      }
      case kDword: {
        std::uint32_t dw = 0;
        std::memcpy(&dw, v.bytes.data(), sizeof dw);  // little-endian, as stored
        out_ += "dword:";
        AppendHex(out_, dw, 8);
        out_ += '\n';
        return;
      }
      case kBinary:
        out_ += "hex:";
        count += 4;
        break;
      default: {
        std::size_t before = out_.size();
        out_ += "hex(";
        AppendHex(out_, v.type, 1);
        out_ += "):";
        count += out_.size() - before;
        break;
      }
    }
    AppendHexBytes(out_, v.bytes, count);
    out_ += '\n';
  }

  Rng rng_;
  SyntheticTree& tree_;
  std::string out_;
  std::vector<Value> values_;
};

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error(path.string() + ": " + std::strerror(errno));
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int error = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) throw std::runtime_error(path.string() + ": " + std::strerror(error));
}

std::string EmptyRegFile(std::string_view root) {
  return "WINE REGISTRY Version 2\n;; All keys relative to " + std::string(root) +
         "\n\n#arch=win64\n";
}

std::u16string ThreeDigits(std::size_t n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%03zu", n);
  return std::u16string(buffer, buffer + std::strlen(buffer));
}

std::u16string FiveDigits(std::size_t n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%05zu", n);
  return std::u16string(buffer, buffer + std::strlen(buffer));
}

}  // namespace

std::string SyntheticUserReg(std::size_t keyCount, std::uint64_t seed, SyntheticTree& tree) {
  tree = SyntheticTree();
  TreeWriter writer(seed, tree);
  writer.Out().reserve(keyCount * 640 + 256);
  writer.Header();

  const std::size_t groups = std::clamp<std::size_t>(keyCount / kKeysPerGroup, 1, kMaxGroups);
  for (std::size_t g = 0; g < groups; ++g) {
    std::size_t budget = keyCount / groups + (g < keyCount % groups ? 1 : 0);
    if (budget == 0) continue;
    std::u16string group = u"Software\\Bench\\G";
    group += ThreeDigits(g);
    writer.Key(group, 1);
    --budget;
    // Fixed-width numbers keep file order and wineserver's order the same; a
    // Japanese suffix sorts after the digits, so it does not disturb them.
    for (std::size_t item = 0; budget > 0; ++item) {
      std::u16string path = group;
      path += u"\\Item";
      path += FiveDigits(item);
      if (item % 10 == 3) {
        path += u'_';
        path += writer.JapaneseText(2, 3);
      }
      writer.Key(path, 2);
      --budget;
      std::size_t chain = item % 5 == 0 ? 3 : item % 5 == 2 ? 1 : 0;
      for (std::size_t c = 0; c < chain && budget > 0; ++c) {
        path += u"\\";
        path += kChainNames[c];
        writer.Key(path, 3 + c);
        --budget;
      }
    }
  }
  tree.userRegBytes = writer.Out().size();
  return std::move(writer.Out());
}

SyntheticTree WriteSyntheticPrefix(const std::string& dir, std::size_t keyCount, std::uint64_t seed,
                                   bool userRegOnly) {
  const std::filesystem::path folder(dir);
  std::filesystem::create_directories(folder);
  SyntheticTree tree;
  const std::string user = SyntheticUserReg(keyCount, seed, tree);
  WriteFile(folder / "user.reg", user);
  tree.fileBytes = user.size();
  if (!userRegOnly) {
    const std::string system = EmptyRegFile("\\\\Machine");
    const std::string userdef = EmptyRegFile("\\\\User\\\\.Default");
    WriteFile(folder / "system.reg", system);
    WriteFile(folder / "userdef.reg", userdef);
    tree.fileBytes += system.size() + userdef.size();
  }
  return tree;
}

}  // namespace tarnwick::bench
