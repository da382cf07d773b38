// REG text: turns a key path (a key with its whole subtree, or one value) into
// the lines of a registry export file and hands them to the output file. Also
// keeps the run's progress accounting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_store.h"
#include "regwrite/export_losses.h"

namespace tarnwick {

class ProgressPort;
class RegOutputFile;
class RegistryKey;
class WrittenRecord;
class RegistryStore;
struct KeyPathParts;

// The export settings that shape the text.
struct RegTextOptions {
  bool FullRestore = false;    // a deletion line before each key tree
  bool NewLineImport = false;  // version 5: strings with line breaks in hex form
  bool AddComment = false;     // a comment line before each item's first key path
};

// "[name]" or "[name - comment]".
std::string ItemCaption(std::string_view name, std::string_view comment);
// Appends a value name or string data, escaped for REG text of the given version.
void AppendEscapedRegString(std::u16string& out, std::u16string_view text, int regVersion);
// The percentage as shown: rounded to the nearest integer, ties to even.
int RoundPercent(double percent);

class RegWriter {
 public:
  // Reads through keys of its own, opened from the store.
  RegWriter(RegistryStore& store, RegOutputFile& file, ProgressPort& progress);

  // Settings of the run. RegVersion comes from the output file.
  RegTextOptions Options;
  // The registry has a Unicode API (Windows NT and every store the program
  // reads). Version 5 then reads strings in the wide form, so that no
  // character is lost to the system code page.
  bool UnicodeRegistry = true;

  // What the run could not keep, collected as it writes.
  ExportLosses Losses;
  // When set, every key and value written is recorded here, so that the
  // file can be read back and checked.
  WrittenRecord* Record = nullptr;

  // Progress accounting, set up by the export run.
  unsigned ProgressLevel = 0;  // keys down to this depth count for progress
  double ProgressPercent = 0;  // accumulated percentage
  int KeyCount = 1;            // keys counted for the current top-level key path
  int TotalKeyCount = 1;       // key paths over all items of the run

  void RegWriteHeader();
  // Writes one key path of an item, KeyIndex being its index within the item.
  // Returns true when the key path was missing and nothing was written.
  bool RegWriteKey(const std::string& keyPath, const std::string& itemName,
                   const std::string& itemComment, int keyIndex);

 private:
  int RegVersion() const;
  bool WideReads() const { return RegVersion() == 5 && UnicodeRegistry; }
  void CountKeys(const RegistryKey& key, unsigned level, bool subKeysReachable);
  void AddKeyProgress();
  void MissingKeyProgress(unsigned depth);
  void WriteKey(const RegistryKey* key, unsigned depth, const std::string* singleValue,
                bool subKeysReachable);
  void WriteValueLine(const RegistryKey* key, const std::string& name);
  bool WriteValueData(const RegistryKey* key, const std::string& name);
  bool ReadRaw(const RegistryKey* key, const std::string& name);
  bool AppendHexForm(const RegistryKey* key, const std::string& name);
  void Lose(LossKind kind, const std::string* value, std::string reason = {});
  bool WideFitsCp932(const RegistryKey* key, const std::string& name);
  void RecordHexString(const RegistryKey* key, const std::string& name);

  RegistryStore& store_;
  RegOutputFile& file_;
  ProgressPort& progress_;
  std::u16string keyName_;     // the key being written, as its line names it
  std::u16string line_;        // the line being built, reused
  std::u16string scratch_;     // a value name being converted, reused
  RegValue raw_;               // the value being written, reused
  RegValue wide_;              // a string's wide data, reused
  bool dataFitsCp932_ = true;  // a quoted string's text, checked as it is built
  // The value being written, as the record keeps it.
  uint32_t recordType_ = 0;
  const std::string* recordData_ = nullptr;
  std::string dword_;
  bool valueLoose_ = false;    // a loss says an import gives other data or another name
  bool valueDropped_ = false;  // a loss says an import passes the value over
};

}  // namespace tarnwick
