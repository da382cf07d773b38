#include "regwrite/reg_file.h"

#include <bit>
#include <cerrno>
#include <cstring>

#include "common/errors.h"
#include "common/path_utils.h"
#include "common/text_codec.h"

namespace tarnwick {
namespace {

// Write-back of a large file is started as it grows, so that the flush to
// the disk at its end has little left to wait for.
constexpr uint64_t kWriteBackChunk = 8u << 20;

bool IsSpecial(const platform::FileStatus& status) {
  return status.kind == platform::FileKind::Folder || status.kind == platform::FileKind::Other;
}

[[noreturn]] void Refuse(const std::string& text) {
  throw EInOutError(5, text);
}

bool FolderMissing(const std::string& target) {
  std::string folder = ExtractFilePath(target);
  return !folder.empty() && platform::StatusOf(folder).kind != platform::FileKind::Folder;
}

EInOutError FolderMissingError(const std::string& target) {
  return EInOutError(3, "書き出し先のフォルダーがありません: " + ExtractFilePath(target));
}

// The file that f names, checked before anything is written: a link is
// followed to its file; f, its backup, rotation and temporary names must be
// regular files where they exist, and none may be a protected file.
std::string ResolveTarget(const std::string& f, const std::vector<std::string>& protectedFiles) {
  std::string target = f;
  if (platform::StatusOf(f, false).kind == platform::FileKind::Link) {
    target = platform::RealPath(f);
    if (target.empty()) Refuse("REG ファイルのリンク先がありません: " + f);
  }
  for (const std::string& name :
       {target, RegOutputFile::BackupName(target), RegOutputFile::RotationName(target),
        RegOutputFile::TemporaryName(target)}) {
    if (IsSpecial(platform::StatusOf(name, false))) {
      Refuse("通常のファイルではないので、書き出しに使えません: " + name);
    }
    for (const std::string& input : protectedFiles) {
      if (!input.empty() && platform::SameFile(name, input)) {
        Refuse("プログラムが読み込むファイルなので、書き出しに使えません: " + name);
      }
    }
  }
  if (FolderMissing(target)) throw FolderMissingError(target);
  return target;
}

}  // namespace

RegOutputFile::RegOutputFile(uint32_t sizeCap)
    : sizeCap_(sizeCap), buffer_(std::make_unique<char[]>(kRegFileBufferSize)) {}

RegOutputFile::~RegOutputFile() = default;

void RegOutputFile::Open(const std::string& path, platform::OutputFile::Mode mode) {
  file_.Close();
  used_ = 0;
  fileBytes_ = syncedBytes_ = markBytes_ = 0;
  markWritten_ = false;
  lastPlace_.clear();
  if (int error = file_.Open(path, mode)) throw MakeInOutError(error);
}

void RegOutputFile::CloseFile() {
  if (file_.IsOpen()) lastPlace_ = file_.CurrentPath();
  file_.Close();
}

// Removes the temporary file, also where it went when its folder was moved.
void RegOutputFile::RemoveTemporary(const std::string& temporary) {
  platform::RemoveFile(temporary);
  if (!lastPlace_.empty() && lastPlace_ != temporary &&
      ExtractFileName(lastPlace_) == ExtractFileName(temporary)) {
    platform::RemoveFile(lastPlace_);
  }
}

void RegOutputFile::OpenRegFile(const std::string& path) {
  Open(path, platform::OutputFile::Mode::Truncate);
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
  if (int error = file_.Write(buffer_.get(), used_)) {
    used_ = 0;
    throw MakeInOutError(error);
  }
  fileBytes_ += used_;
  used_ = 0;
  if (fileBytes_ - syncedBytes_ >= kWriteBackChunk) {
    file_.StartWriteBack(syncedBytes_, fileBytes_ - syncedBytes_);
    syncedBytes_ = fileBytes_;
  }
}

void RegOutputFile::MarkComplete() {
  Flush();
  markBytes_ = fileBytes_;
  markWritten_ = regFileWritten_;
  if (check_) check_->MarkComplete();
}

void RegOutputFile::CloseRegFile() {
  if (!file_.IsOpen()) return;
  try {
    Flush();
  } catch (const EInOutError&) {
    CloseFile();
    throw;
  }
  int error = file_.Sync();
  if (file_.IsOpen()) lastPlace_ = file_.CurrentPath();
  if (int closeError = file_.Close(); error == 0) error = closeError;
  if (error != 0) throw MakeInOutError(error);
}

void RegOutputFile::Abandon(const std::string& temporary) {
  CloseFile();
  used_ = 0;
  RemoveTemporary(temporary);
}

// After writeKeys failed: cuts the file back to the last mark and closes it.
// False when nothing complete holds a key, or the file cannot be kept.
bool RegOutputFile::KeepComplete() {
  regFileWritten_ = markWritten_;
  if (!markWritten_ || !file_.IsOpen()) return false;
  used_ = 0;
  fileBytes_ = markBytes_;
  if (file_.Truncate(markBytes_) != 0) return false;
  try {
    CloseRegFile();
  } catch (const EInOutError&) {
    return false;
  }
  return true;
}

void RegOutputFile::WriteRegFile(const std::string& f, const std::function<void()>& writeKeys) {
  regFileWritten_ = false;
  const std::string target = ResolveTarget(f, protected_);
  try {
    WriteTemporaryAndPlace(target, writeKeys);
  } catch (const EInOutError& e) {
    // A folder removed or moved meanwhile fails a step as a missing name;
    // the folder is what the user has to know about.
    if (e.Code() == 3 && FolderMissing(target)) throw FolderMissingError(target);
    throw;
  }
}

void RegOutputFile::WriteTemporaryAndPlace(const std::string& target,
                                           const std::function<void()>& writeKeys) {
  const std::string temporary = TemporaryName(target);
  platform::RemoveFile(temporary);  // a killed run's
  Open(temporary, platform::OutputFile::Mode::CreateNew);
  if (check_) check_->Begin();
  try {
    RegWriteHeader();
    MarkComplete();
    writeKeys();
    MarkComplete();
  } catch (...) {
    bool keep = KeepComplete();
    try {
      if (keep && check_) check_->Check(temporary, target, true);
      if (keep) Place(target, temporary);
    } catch (...) {
      keep = false;  // the error that ended the writing is the one to report
    }
    if (!keep) Abandon(temporary);
    throw;
  }
  try {
    CloseRegFile();
    if (check_ && regFileWritten_) check_->Check(temporary, target, false);
  } catch (...) {
    Abandon(temporary);
    throw;
  }
  Place(target, temporary);
}

// Puts the closed temporary file in place of target, or removes it when it
// holds no key. Throws EInOutError, with target and its backup as they were,
// when the backup cannot be made or the file cannot be put in place.
void RegOutputFile::Place(const std::string& target, const std::string& temporary) {
  const std::string backup = BackupName(target), rotation = RotationName(target);
  if (createBackup_) platform::RemoveFile(rotation);  // a killed run's
  if (!regFileWritten_) {
    RemoveTemporary(temporary);
    return;
  }
  platform::CopyPermissions(target, temporary);
  bool rotated = false, linked = false;
  if (createBackup_) {
    // The earlier backup steps aside, and the earlier file becomes the
    // backup while it stays in place: a hard link, where the file system
    // has them.
    rotated = platform::RenameNoReplace(backup, rotation) == 0;
    if (platform::FileExists(target)) {
      int error = platform::MakeHardLink(target, backup);
      linked = error == 0;
      if (error != 0 && error != EEXIST) error = platform::RenameNoReplace(target, backup);
      if (error != 0) {
        if (rotated) platform::RenameNoReplace(rotation, backup);
        RemoveTemporary(temporary);
        throw EInOutError(MakeInOutError(error).Code(),
                          "バックアップ ファイルを作れないので、書き出しを中止しました: " + backup +
                              " (" + MakeInOutError(error).what() + ")");
      }
    }
  }
  if (int error = platform::RenameReplacing(temporary, target)) {
    if (linked) {
      platform::RemoveFile(backup);
    } else if (createBackup_) {
      platform::RenameNoReplace(backup, target);
    }
    if (rotated) platform::RenameNoReplace(rotation, backup);
    RemoveTemporary(temporary);
    throw MakeInOutError(error);
  }
  if (rotated) platform::RemoveFile(rotation);
}

}  // namespace tarnwick
