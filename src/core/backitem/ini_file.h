// The INI dialect of the data file: the whole file is read into memory,
// edited there and written back in one piece (CP932, CR LF, an empty line
// after each section). Sections and keys match without regard to letter
// case, the first match winning; unknown sections and keys are kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

class IniFile {
 public:
  IniFile() = default;
  // Parses CP932 file bytes. A NUL ends the text.
  static IniFile Parse(std::string_view cp932Bytes);
  // Reads a file; a file that does not exist reads as empty. Throws
  // EInOutError when it exists but cannot be read, is not a regular file, or
  // is not CP932 text (see input_file.h).
  static IniFile Load(const std::string& path);
  // The file's bytes: CP932, every line ending in CR LF.
  std::string Serialize() const;

  // The keys of a section, in file order (empty for a missing section).
  std::vector<std::string> ReadSection(std::string_view section) const;
  // Every line of a section as key and value, in file order, keys that occur
  // twice included (a line without "=" has an empty value).
  std::vector<std::pair<std::string, std::string>> ReadSectionLines(std::string_view section) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // Decimal, or hexadecimal after "$", "0x" or "0X"; the default when unreadable.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  // Any integer other than 0 is true.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Adds the line at the end of the section without looking for the key, for
  // a caller that knows the section has no such key.
  void AppendString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void EraseSection(std::string_view section);

 private:
  struct Line {
    std::string key;
    std::string value;
    bool hasValue = true;  // false for a line without "="
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };

  const Section* FindSection(std::string_view name) const;
  Section& SectionForWrite(std::string_view name);
  static const Line* FindLine(const Section& section, std::string_view key);

  std::vector<Section> sections_;
};

// Parses an INI integer: decimal, or hexadecimal after "$", "0x" or "0X".
bool ParseIniInteger(std::string_view text, int32_t& value);

}  // namespace tarnwick
