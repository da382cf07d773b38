// REG text: turns a key path (a key with its whole subtree, or one value) into
// the lines of a registry export file and hands them to the output file. Also
// keeps the run's progress accounting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class MessagePump;
class ProgressPort;
class RegOutputFile;
class TRegistry;

// The export settings that shape the text.
struct RegTextOptions {
  bool FullRestore = false;    // a deletion line before each key tree
  bool NewLineImport = false;  // version 5: strings with line breaks in hex form
  bool AddComment = false;     // a comment line before each item's first key path
};

// "[name]" or "[name - comment]".
std::string ItemCaption(std::string_view name, std::string_view comment);
// Escapes a value name or string data for REG text of the given version.
std::u16string EscapeRegString(std::u16string_view text, int regVersion);
void AppendEscapedRegString(std::u16string& out, std::u16string_view text, int regVersion);
// The percentage as shown: rounded to the nearest integer, ties to even.
int RoundPercent(double percent);

class RegWriter {
 public:
  RegWriter(TRegistry& registry, RegOutputFile& file, ProgressPort& progress, MessagePump& pump);

  // Settings of the run. RegVersion comes from the output file.
  RegTextOptions Options;
  // The registry has a Unicode API (Windows NT and every store the program
  // reads). Version 5 then reads strings in the wide form, so that no
  // character is lost to the system code page.
  bool UnicodeRegistry = true;

  // Progress accounting, set up by the export run.
  unsigned ProgressLevel = 0;  // keys down to this depth count for progress
  double ProgressPercent = 0;  // accumulated percentage
  int KeyCount = 1;            // keys counted for the current top-level key path
  int TotalKeyCount = 1;       // key paths over all items of the run

  void RegWriteHeader();
  // Writes one key path; Depth 0 for an item's key paths, KeyIndex the key
  // path's index within its item. Returns true when the key path was missing
  // and nothing was written.
  bool RegWriteKey(const std::string& keyPath, const std::string& itemName,
                   const std::string& itemComment, unsigned depth, int keyIndex);
  // Counts the keys below relPath down to ProgressLevel into KeyCount.
  void CountKeys(const std::string& relPath, unsigned level);

 private:
  int RegVersion() const;
  bool WideReads() const { return RegVersion() == 5 && UnicodeRegistry; }
  void AddKeyProgress();
  void WriteValueLine(const std::string& name);
  bool ReadRaw(const std::string& name, uint32_t& type, std::string& data) const;
  bool AppendHexForm(const std::string& name);
  bool ReadWideString(const std::string& name, std::u16string& text) const;

  TRegistry& registry_;
  RegOutputFile& file_;
  ProgressPort& progress_;
  MessagePump& pump_;
  std::u16string line_;  // the line being built, reused
};

}  // namespace tarnwick
