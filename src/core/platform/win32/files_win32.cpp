// Windows: every call takes a UTF-16 path, so Japanese names work whatever
// the system's ANSI code page is.
#include <atomic>
#include <cerrno>

#include "platform/files.h"
#include "platform/win32/wide_text.h"

namespace tarnwick::platform {
namespace {

// Closes a handle however the function ends.
struct HandleCloser {
  HANDLE handle;
  ~HandleCloser() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

HANDLE ToHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// A file time (100 ns steps since 1601) in nanoseconds since 1970.
int64_t Nanoseconds(FILETIME time) {
  const int64_t ticks =
      static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
  return (ticks - 116444736000000000) * 100;
}

FileStatus StatusOfHandle(HANDLE handle) {
  FileStatus status;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    status.kind = FileKind::Other;  // NUL, CON, a pipe
    return status;
  }
  if (!GetFileInformationByHandle(handle, &info)) return status;
  status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)       ? FileKind::Folder
                : (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? FileKind::Link
                                                                         : FileKind::Regular;
  status.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  status.volume = info.dwVolumeSerialNumber;
  status.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  status.modified = Nanoseconds(info.ftLastWriteTime);
  return status;
}

// Opens any entry, folders included, for a look at its attributes only.
HANDLE OpenForStatus(const std::string& path, bool followLinks) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, flags, nullptr);
}

std::wstring FullPathOf(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return full;
}

// The absolute name with its folder's links resolved, for comparing names
// of files that do not exist yet.
std::wstring CanonicalName(const std::string& path) {
  std::wstring full = FullPathOf(Widen(path));
  std::size_t slash = full.find_last_of(L'\\');
  if (slash == std::wstring::npos) return full;
  std::string folder = RealPath(Narrow(full.substr(0, slash + 1)));
  if (folder.empty()) return full;
  if (folder.back() != '\\') folder += '\\';
  return Widen(folder) + full.substr(slash + 1);
}

int WriteAll(HANDLE handle, const char* bytes, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, bytes, chunk, &written, nullptr)) return LastErrno();
    if (written == 0) return ENOSPC;
    bytes += written;
    size -= written;
  }
  return 0;
}

// A name no other file in the folder has, beside the file it stands for.
std::string TemporaryNameFor(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".tarnwick-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(counter++) + ".tmp";
}

}  // namespace

FileStatus StatusOf(const std::string& path, bool followLinks) {
  HANDLE handle = OpenForStatus(path, followLinks);
  if (handle != INVALID_HANDLE_VALUE) {
    HandleCloser closer{handle};
    return StatusOfHandle(handle);
  }
  // In use without sharing, or no access to its contents: it still exists.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return {};
  FileStatus status;
  status.kind =
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder : FileKind::Regular;
  status.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  status.modified = Nanoseconds(data.ftLastWriteTime);
  return status;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int WriteLockHeld(const std::string& path, bool& held) {
  held = false;
  return GetFileAttributesW(Widen(path).c_str()) == INVALID_FILE_ATTRIBUTES ? LastErrno() : 0;
}

unsigned long UserId() {
  return 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  FileStatus sa = StatusOf(a), sb = StatusOf(b);
  if (sa.kind != FileKind::Missing && sb.kind != FileKind::Missing && sa.index != 0) {
    return sa.volume == sb.volume && sa.index == sb.index;
  }
  std::wstring ca = CanonicalName(a), cb = CanonicalName(b);
  return CompareStringOrdinal(ca.c_str(), static_cast<int>(ca.size()), cb.c_str(),
                              static_cast<int>(cb.size()), TRUE) == CSTR_EQUAL;
}

std::string RealPath(const std::string& path) {
  HANDLE handle = OpenForStatus(path, true);
  if (handle == INVALID_HANDLE_VALUE) return std::string();
  HandleCloser closer{handle};
  DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  DWORD size = GetFinalPathNameByHandleW(handle, nullptr, 0, flags);
  if (size == 0) return std::string();
  std::wstring name(size, L'\0');
  size = GetFinalPathNameByHandleW(handle, name.data(), size, flags);
  name.resize(size);
  // "\\?\C:\x" and "\\?\UNC\server\share\x" in the form users know.
  if (name.starts_with(L"\\\\?\\UNC\\")) {
    name = L"\\\\" + name.substr(8);
  } else if (name.starts_with(L"\\\\?\\")) {
    name = name.substr(4);
  }
  return Narrow(name);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::string pattern = folder.empty() ? "*" : folder;
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') pattern += '\\';
  if (!folder.empty()) pattern += '*';
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(Widen(pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow(name));
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_WRITE_THROUGH) ? 0
                                                                                     : LastErrno();
}

int RenameReplacing(const std::string& from, const std::string& to) {
  // Not ReplaceFileW: the file replaced here may have a second name, the
  // backup, which must keep the old contents.
  return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : LastErrno();
}

int MakeHardLink(const std::string& existing, const std::string& name) {
  return CreateHardLinkW(Widen(name).c_str(), Widen(existing).c_str(), nullptr) ? 0 : LastErrno();
}

int RemoveFile(const std::string& path) {
  std::wstring wide = Widen(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return EISDIR;
  }
  return DeleteFileW(wide.c_str()) ? 0 : LastErrno();
}

void CopyPermissions(const std::string&, const std::string&) {
  // A new file takes its folder's access rules, as the file it replaces did.
}

int ReplaceFileContents(const std::string& path, std::string_view bytes) {
  std::string target = RealPath(path);
  if (target.empty()) target = path;
  std::wstring wideTarget = Widen(target);
  DWORD attributes = GetFileAttributesW(wideTarget.c_str());
  bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return EISDIR;
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) return EACCES;
  const std::string temporary = TemporaryNameFor(target);
  OutputFile file;
  int error = file.Open(temporary, OutputFile::Mode::CreateNew);
  if (error != 0) return error;
  error = file.Write(bytes.data(), bytes.size());
  if (error == 0) error = file.Sync();
  if (int closeError = file.Close(); error == 0) error = closeError;
  std::wstring wideTemporary = Widen(temporary);
  if (error == 0) {
    // ReplaceFileW keeps the old file's attributes and access rules.
    bool replaced = exists && ReplaceFileW(wideTarget.c_str(), wideTemporary.c_str(), nullptr,
                                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (!replaced) error = RenameReplacing(temporary, target);
  }
  if (error != 0) DeleteFileW(wideTemporary.c_str());
  return error;
}

InputFile::~InputFile() {
  if (handle_ != -1) CloseHandle(ToHandle(handle_));
}

int InputFile::Open(const std::string& path) {
  std::wstring wide = Widen(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return EISDIR;
  }
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastErrno();
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  return 0;
}

FileStatus InputFile::Status() const {
  return StatusOfHandle(ToHandle(handle_));
}

int InputFile::Read(char* buffer, std::size_t size, std::size_t& got) {
  DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD read = 0;
  if (!ReadFile(ToHandle(handle_), buffer, chunk, &read, nullptr)) return LastErrno();
  got = read;
  return 0;
}

int InputFile::Seek(uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(ToHandle(handle_), to, nullptr, FILE_BEGIN) ? 0 : LastErrno();
}

OutputFile::~OutputFile() {
  Close();
}

int OutputFile::Open(const std::string& path, Mode mode) {
  Close();
  HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              mode == Mode::Truncate ? CREATE_ALWAYS : CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastErrno();
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  return 0;
}

int OutputFile::Write(const char* bytes, std::size_t size) {
  return WriteAll(ToHandle(handle_), bytes, size);
}

void OutputFile::StartWriteBack(uint64_t, uint64_t) {
  // Windows writes back on its own; FlushFileBuffers at the end waits for it.
}

int OutputFile::Sync() {
  return FlushFileBuffers(ToHandle(handle_)) ? 0 : LastErrno();
}

int OutputFile::Truncate(uint64_t size) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(ToHandle(handle_), position, nullptr, FILE_BEGIN)) return LastErrno();
  return SetEndOfFile(ToHandle(handle_)) ? 0 : LastErrno();
}

std::string OutputFile::CurrentPath() const {
  // The file is open without FILE_SHARE_DELETE, so its folder cannot be
  // moved or removed meanwhile: the name it was opened under still holds.
  return {};
}

int OutputFile::Close() {
  if (handle_ == -1) return 0;
  bool closed = CloseHandle(ToHandle(handle_));
  handle_ = -1;
  return closed ? 0 : LastErrno();
}

}  // namespace tarnwick::platform
