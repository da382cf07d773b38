// A REG output file: created or truncated, written line by line through a
// buffer in the file's encoding (REGEDIT4 in CP932, version 5 in
// UTF-16LE after a byte-order mark), capped at 100 MiB, with one backup copy
// of the file it replaces that is put back when the run writes no key.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr uint32_t kRegFileSizeCap = 104857600;  // 100 MiB
// Large enough that writing costs little next to building the text.
inline constexpr std::size_t kRegFileBufferSize = 64 * 1024;

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
  // True once a key path of this file has been written.
  void SetRegFileWritten(bool written) { regFileWritten_ = written; }
  bool RegFileWritten() const { return regFileWritten_; }
  uint32_t WrittenBytes() const { return writtenBytes_; }

  static std::string BackupName(const std::string& f) { return f + ".bak"; }
  static std::string RotationName(const std::string& f) { return f + ".bak.tmp"; }

  // Before f is opened: moves the earlier backup aside and f to its backup
  // name. Failures are ignored. Does nothing without CreateBackup.
  void BackupRegFile(const std::string& f);
  // Creates or truncates f. Throws EInOutError.
  void OpenRegFile(const std::string& f);
  // Starts the byte count and writes the byte-order mark (version 5) and the
  // header line with its blank line.
  void RegWriteHeader();
  // Writes line and CR LF. Throws EInOutError when a write fails, and
  // ERegFileTooLarge after the line that took the file past the cap.
  void WriteRegLine(std::u16string_view line);
  // Flushes and closes; throws EInOutError when that fails.
  void CloseRegFile();
  // After f is closed: deletes f when no key was written (throws EInOutError
  // when that fails), then restores the earlier file and backup, and removes
  // the rotation file.
  void FinishRegFile(const std::string& f);

  // The whole life of one file: back up, open, write the header, run
  // writeKeys (which sets RegFileWritten as key paths land), and then, also
  // when writeKeys throws, close and finish. RegFileWritten starts false.
  void WriteRegFile(const std::string& f, const std::function<void()>& writeKeys);

 private:
  void Append(const char* bytes, std::size_t n);
  void Flush();

  uint32_t sizeCap_;
  int regVersion_ = 5;
  bool createBackup_ = false;
  bool regFileWritten_ = false;
  uint32_t writtenBytes_ = 0;
  int fd_ = -1;
  std::size_t used_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::string encoded_;  // the current line in the file's encoding
};

}  // namespace tarnwick
