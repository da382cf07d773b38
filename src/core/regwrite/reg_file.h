// A REG output file: written line by line through a buffer in the file's
// encoding (REGEDIT4 in CP932, version 5 in UTF-16LE after a byte-order
// mark), capped at 100 MiB. A file is written under a temporary name beside
// its final one and takes its place only when complete, so that the earlier
// file (and its one backup copy) survive any failure, cancel or crash.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace tarnwick {

inline constexpr uint32_t kRegFileSizeCap = 104857600;  // 100 MiB
// Large enough that writing costs little next to building the text.
inline constexpr std::size_t kRegFileBufferSize = 64 * 1024;

// Reads a written file back before it takes its place.
class RegFileCheck {
 public:
  virtual ~RegFileCheck() = default;
  virtual void Begin() = 0;         // a new file is begun
  virtual void MarkComplete() = 0;  // what is written so far is what a failure keeps
  // Checks the closed file at path, written for target: all of it, or when
  // partial what was complete at the last mark. Throws when it does not read
  // back as written.
  virtual void Check(const std::string& path, const std::string& target, bool partial) = 0;
};

class RegOutputFile {
 public:
  // sizeCap: the largest file written in full; the line that passes it ends the file.
  explicit RegOutputFile(uint32_t sizeCap = kRegFileSizeCap);
  ~RegOutputFile();  // closes quietly if still open
  RegOutputFile(const RegOutputFile&) = delete;
  RegOutputFile& operator=(const RegOutputFile&) = delete;

  // 4 or 5; selects the encoding.
  void SetRegVersion(int version) { regVersion_ = version; }
  int RegVersion() const { return regVersion_; }
  void SetCreateBackup(bool on) { createBackup_ = on; }
  bool CreateBackup() const { return createBackup_; }
  // Files a REG file may never replace or remove: the program's own inputs.
  void SetProtectedFiles(std::vector<std::string> files) { protected_ = std::move(files); }
  // True once a key path of this file has been written.
  void SetRegFileWritten(bool written) { regFileWritten_ = written; }
  bool RegFileWritten() const { return regFileWritten_; }
  uint32_t WrittenBytes() const { return writtenBytes_; }
  // Checks each file before it takes the place of the earlier one: a file
  // that fails is removed, and the earlier file and its backup stay.
  void SetCheck(RegFileCheck* check) { check_ = check; }

  static std::string BackupName(const std::string& f) { return f + ".bak"; }
  static std::string RotationName(const std::string& f) { return f + ".bak.tmp"; }
  static std::string TemporaryName(const std::string& f) { return f + ".tarnwick-tmp"; }

  // The whole life of one file f: refuse a target that is not a regular
  // file or is one of the protected files; write the header and run
  // writeKeys into the temporary file; then put it in place. writeKeys sets
  // RegFileWritten as key paths land and calls MarkComplete after each item.
  //  - Some key written: with CreateBackup the earlier f becomes the backup
  //    (the earlier backup goes), and the new file replaces f. When the
  //    backup cannot be made, nothing is replaced and EInOutError is thrown.
  //  - No key written: f and its backup stay as they were.
  //  - writeKeys throws: the file keeps what was complete at the last mark
  //    (placed as above when that holds a key and passes the check), and
  //    the error goes on.
  //  - The check fails: f and its backup stay as they were, and its error
  //    goes on.
  // Leftovers of a killed run (the temporary and rotation files) are removed.
  // A folder removed or moved meanwhile is reported as missing, and the
  // temporary file never stays behind, not even in the moved folder.
  void WriteRegFile(const std::string& f, const std::function<void()>& writeKeys);

  // What a failed write keeps: the bytes so far, with RegFileWritten.
  void MarkComplete();

  // The steps below, for WriteRegFile and for tests.
  // Creates or truncates path. Throws EInOutError.
  void OpenRegFile(const std::string& path);
  // Starts the byte count and writes the byte-order mark (version 5) and the
  // header line with its blank line.
  void RegWriteHeader();
  // Writes line and CR LF. Throws EInOutError when a write fails, and
  // ERegFileTooLarge after the line that took the file past the cap.
  void WriteRegLine(std::u16string_view line);
  // Flushes to the disk and closes; throws EInOutError when that fails.
  void CloseRegFile();

 private:
  void Open(const std::string& path, platform::OutputFile::Mode mode);
  void CloseFile();
  void RemoveTemporary(const std::string& temporary);
  void WriteTemporaryAndPlace(const std::string& target, const std::function<void()>& writeKeys);
  void Append(const char* bytes, std::size_t n);
  void Flush();
  void Abandon(const std::string& temporary);
  bool KeepComplete();
  void Place(const std::string& target, const std::string& temporary);

  uint32_t sizeCap_;
  int regVersion_ = 5;
  bool createBackup_ = false;
  bool regFileWritten_ = false;
  std::vector<std::string> protected_;
  RegFileCheck* check_ = nullptr;
  uint32_t writtenBytes_ = 0;
  platform::OutputFile file_;
  uint64_t fileBytes_ = 0;    // bytes handed to the file so far
  uint64_t syncedBytes_ = 0;  // of those, bytes whose write-back has been started
  uint64_t markBytes_ = 0;    // MarkComplete's file size
  bool markWritten_ = false;  // and its RegFileWritten
  std::size_t used_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::string encoded_;    // the current line in the file's encoding
  std::string lastPlace_;  // where the file was when it was closed
};

}  // namespace tarnwick
