// The settings file as a profile file: read and written key by key, every
// other line (comments included) kept as it was. Names match without regard
// to letter case; a value in single or double quotes is read without them;
// values are read up to 2047 characters. Changes are kept in memory until
// Flush replaces the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class ProfileFile {
 public:
  // Reads the file; a missing file reads as empty, and so does one that
  // cannot be read, which Problem() then names.
  explicit ProfileFile(std::string path);

  const std::string& Path() const { return path_; }
  // Why the file could not be read (see input_file.h); empty when it was.
  const std::string& Problem() const { return problem_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  // Changes the key's line in place, or adds the key at the end of its
  // section, or the section at the end of the file.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void DeleteKey(std::string_view section, std::string_view key);

  // Writes the file when something changed. Returns 0 or the errno of the failure.
  int Flush();

 private:
  // Index of the section's header line, or npos.
  std::size_t FindSection(std::string_view section) const;
  // End of the section starting at header: the next header or the end.
  std::size_t SectionEnd(std::size_t header) const;
  std::size_t FindKey(std::size_t header, std::string_view key) const;

  std::string path_;
  std::string problem_;
  std::vector<std::string> lines_;  // UTF-8, without line ends
  bool modified_ = false;
};

}  // namespace tarnwick
