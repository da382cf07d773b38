#include "backitem/profile_file.h"

#include "backitem/ini_file.h"
#include "common/collation.h"
#include "common/errors.h"
#include "common/input_file.h"
#include "common/text_codec.h"
#include "platform/files.h"

namespace tarnwick {
namespace {

constexpr std::size_t kNpos = std::string::npos;
constexpr std::size_t kMaxValueChars = 2047;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The section name of a header line "[name]", or false.
bool HeaderName(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  std::size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {
  std::string bytes;
  try {
    if (!ReadInputFile(path_, bytes)) return;
    problem_ = Cp932TextProblem(bytes);
  } catch (const EInOutError& e) {
    problem_ = e.what();
  }
  if (!problem_.empty()) return;
  std::string text = Cp932ToUtf8(bytes);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    lines_.push_back(text.substr(pos, end - pos));
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

std::size_t ProfileFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (HeaderName(lines_[i], name) && SameTextIgnoreCase(name, section)) return i;
  }
  return kNpos;
}

std::size_t ProfileFile::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  std::string_view name;
  while (i < lines_.size() && !HeaderName(lines_[i], name)) ++i;
  return i;
}

std::size_t ProfileFile::FindKey(std::size_t header, std::string_view key) const {
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view line = Trim(lines_[i]);
    if (line.empty() || line.front() == ';') continue;
    std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && SameTextIgnoreCase(Trim(line.substr(0, eq)), key)) {
      return i;
    }
  }
  return kNpos;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  std::size_t header = FindSection(section);
  std::size_t line = header == kNpos ? kNpos : FindKey(header, key);
  if (line == kNpos) return std::string(Utf8LeadingChars(defaultValue, kMaxValueChars));
  std::string_view value = Trim(std::string_view(lines_[line]).substr(lines_[line].find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(Utf8LeadingChars(value, kMaxValueChars));
}

int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                 int32_t defaultValue) const {
  int32_t value = 0;
  return ParseIniInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  modified_ = true;
  std::size_t header = FindSection(section);
  if (header == kNpos) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(line);
    return;
  }
  if (std::size_t existing = FindKey(header, key); existing != kNpos) {
    lines_[existing] = line;
    return;
  }
  // After the section's last non-blank line, so a blank separator stays last.
  std::size_t at = SectionEnd(header);
  while (at > header + 1 && Trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
  std::size_t header = FindSection(section);
  std::size_t line = header == kNpos ? kNpos : FindKey(header, key);
  if (line == kNpos) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
  modified_ = true;
}

int ProfileFile::Flush() {
  if (!modified_) return 0;
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  int error = platform::ReplaceFileContents(path_, Utf8ToCp932(text));
  if (error == 0) modified_ = false;
  return error;
}

}  // namespace tarnwick
