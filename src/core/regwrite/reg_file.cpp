#include "regwrite/reg_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>

#include "common/errors.h"
#include "common/file_ops.h"
#include "common/text_codec.h"

namespace tarnwick {

RegOutputFile::RegOutputFile(uint32_t sizeCap)
    : sizeCap_(sizeCap), buffer_(std::make_unique<char[]>(kRegFileBufferSize)) {}

RegOutputFile::~RegOutputFile() {
  if (fd_ >= 0) close(fd_);
}

void RegOutputFile::BackupRegFile(const std::string& f) {
  if (!createBackup_) return;
  RenameNoReplace(BackupName(f), RotationName(f));
  DeleteFile(BackupName(f));
  RenameNoReplace(f, BackupName(f));
}

void RegOutputFile::OpenRegFile(const std::string& f) {
  if (fd_ >= 0) close(fd_);
  used_ = 0;
  fd_ = open(f.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) throw MakeInOutError(errno);
}

void RegOutputFile::RegWriteHeader() {
  if (regVersion_ == 4) {
    writtenBytes_ = 0;
    WriteRegLine(u"REGEDIT4\r\n");
  } else {
    writtenBytes_ = 2;
    Append("\xFF\xFE", 2);
    WriteRegLine(u"Windows Registry Editor Version 5.00\r\n");
  }
}

void RegOutputFile::WriteRegLine(std::u16string_view line) {
  std::size_t bytes = 0;
  if (regVersion_ == 4) {
    encoded_.clear();
    AppendUtf16AsCp932(encoded_, line);
    encoded_.append("\r\n");
    Append(encoded_.data(), encoded_.size());
    bytes = encoded_.size();
  } else {
    if constexpr (std::endian::native == std::endian::little) {
      // UTF-16 in memory already is the file's byte order.
      Append(reinterpret_cast<const char*>(line.data()), line.size() * 2);
    } else {
      encoded_.clear();
      for (char16_t unit : line) {
        encoded_.push_back(static_cast<char>(unit & 0xFF));
        encoded_.push_back(static_cast<char>(unit >> 8));
      }
      Append(encoded_.data(), encoded_.size());
    }
    Append("\r\0\n\0", 4);
    bytes = line.size() * 2 + 4;
  }
  writtenBytes_ += static_cast<uint32_t>(bytes);
  if (writtenBytes_ > sizeCap_) {
    throw ERegFileTooLarge("REGファイルが100Miバイトを超えたので、書き出しを中止します");
  }
}

void RegOutputFile::Append(const char* bytes, std::size_t n) {
  while (n > 0) {
    std::size_t chunk = std::min(n, kRegFileBufferSize - used_);
    std::memcpy(buffer_.get() + used_, bytes, chunk);
    used_ += chunk;
    bytes += chunk;
    n -= chunk;
    if (used_ == kRegFileBufferSize) Flush();
  }
}

void RegOutputFile::Flush() {
  std::size_t done = 0;
  while (done < used_) {
    ssize_t n = write(fd_, buffer_.get() + done, used_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = n < 0 ? errno : ENOSPC;
      used_ = 0;
      throw MakeInOutError(error);
    }
    done += static_cast<std::size_t>(n);
  }
  used_ = 0;
}

void RegOutputFile::CloseRegFile() {
  if (fd_ < 0) return;
  int error = 0;
  try {
    Flush();
  } catch (const EInOutError&) {
    close(fd_);
    fd_ = -1;
    throw;
  }
  if (close(fd_) != 0 && errno != EINTR) error = errno;
  fd_ = -1;
  if (error != 0) throw MakeInOutError(error);
}

void RegOutputFile::FinishRegFile(const std::string& f) {
  if (!regFileWritten_) {
    int error = DeleteFile(f);
    if (error != 0 && error != ENOENT) throw MakeInOutError(error);
  }
  if (createBackup_) {
    if (!regFileWritten_) {
      RenameNoReplace(BackupName(f), f);
      DeleteFile(BackupName(f));
      RenameNoReplace(RotationName(f), BackupName(f));
    }
    DeleteFile(RotationName(f));
  }
}

void RegOutputFile::WriteRegFile(const std::string& f, const std::function<void()>& writeKeys) {
  regFileWritten_ = false;
  BackupRegFile(f);
  OpenRegFile(f);
  try {
    RegWriteHeader();
    writeKeys();
  } catch (...) {
    CloseRegFile();
    FinishRegFile(f);
    throw;
  }
  CloseRegFile();
  FinishRegFile(f);
}

}  // namespace tarnwick
