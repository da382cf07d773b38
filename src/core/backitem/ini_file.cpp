#include "backitem/ini_file.h"

#include <algorithm>
#include <cerrno>

#include "common/collation.h"
#include "common/errors.h"
#include "common/input_file.h"
#include "common/text_codec.h"

namespace tarnwick {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

bool ParseIniInteger(std::string_view text, int32_t& value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  uint64_t magnitude = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9'                 ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
    if (digit < 0) return false;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFu) return false;
  }
  // Decimal must fit a 32-bit integer; hexadecimal may use all 32 bits.
  if (base == 10 && magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) return false;
  int64_t signedValue = base == 16 ? static_cast<int32_t>(static_cast<uint32_t>(magnitude))
                                   : static_cast<int64_t>(magnitude);
  value = static_cast<int32_t>(negative ? -signedValue : signedValue);
  return true;
}

IniFile IniFile::Parse(std::string_view cp932Bytes) {
  std::string text = Cp932ToUtf8(cp932Bytes.substr(0, cp932Bytes.find('\0')));
  IniFile ini;
  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Lines end at CR LF, CR or LF.
    std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      ini.sections_.push_back(Section{std::string(Trim(line.substr(1, line.size() - 2))), {}});
      current = &ini.sections_.back();
      continue;
    }
    if (!current) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->lines.push_back(Line{std::string(line), "", false});
    } else {
      current->lines.push_back(Line{std::string(Trim(line.substr(0, eq))),
                                    std::string(Trim(line.substr(eq + 1))), true});
    }
  }
  return ini;
}

IniFile IniFile::Load(const std::string& path) {
  std::string bytes;
  if (!ReadInputFile(path, bytes)) return IniFile();
  if (std::string problem = Cp932TextProblem(bytes); !problem.empty()) {
    throw EInOutError(kErrorInvalidData, problem);
  }
  return Parse(bytes);
}

std::string IniFile::Serialize() const {
  std::string text;
  for (const Section& section : sections_) {
    text += "[" + section.name + "]\r\n";
    for (const Line& line : section.lines) {
      text += line.key;
      if (line.hasValue) text += "=" + line.value;
      text += "\r\n";
    }
    text += "\r\n";
  }
  return Utf8ToCp932(text);
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  for (const Section& section : sections_) {
    if (SameTextIgnoreCase(section.name, name)) return &section;
  }
  return nullptr;
}

const IniFile::Line* IniFile::FindLine(const Section& section, std::string_view key) {
  for (const Line& line : section.lines) {
    if (SameTextIgnoreCase(line.key, key)) return &line;
  }
  return nullptr;
}

IniFile::Section& IniFile::SectionForWrite(std::string_view name) {
  if (const Section* found = FindSection(name)) return const_cast<Section&>(*found);
  sections_.push_back(Section{std::string(name), {}});
  return sections_.back();
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section* found = FindSection(section)) {
    for (const Line& line : found->lines) keys.push_back(line.key);
  }
  return keys;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionLines(
    std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> lines;
  if (const Section* found = FindSection(section)) {
    for (const Line& line : found->lines) lines.emplace_back(line.key, line.value);
  }
  return lines;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  const Section* found = FindSection(section);
  const Line* line = found ? FindLine(*found, key) : nullptr;
  return std::string(line ? std::string_view(line->value) : defaultValue);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t defaultValue) const {
  int32_t value = 0;
  return ParseIniInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Section& target = SectionForWrite(section);
  if (const Line* line = FindLine(target, key)) {
    Line& existing = const_cast<Line&>(*line);
    existing.value = value;
    existing.hasValue = true;
    return;
  }
  target.lines.push_back(Line{std::string(key), std::string(value), true});
}

void IniFile::AppendString(std::string_view section, std::string_view key, std::string_view value) {
  SectionForWrite(section).lines.push_back(Line{std::string(key), std::string(value), true});
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(std::string_view section) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it) {
    if (SameTextIgnoreCase(it->name, section)) {
      sections_.erase(it);
      return;
    }
  }
}

}  // namespace tarnwick
