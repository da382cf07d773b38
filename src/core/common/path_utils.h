// File path rules: how a file name from the data or settings file becomes a
// full path, and the small splitting helpers around it. The Windows rules are
// pure functions compiled everywhere, with the file system injected, so they
// are tested on any platform; the POSIX rules serve the Linux build. The
// functions at the end pick the native rules and are what the program calls.
// Text is UTF-8, so a separator byte is never part of a multibyte character.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tarnwick {

// The platform services the Windows rules need. The defaults are lexical and
// see no files; the Win32 build overrides both with the real API.
struct WinPathSystem {
  virtual ~WinPathSystem() = default;
  // The absolute form of path (GetFullPathName): '/' becomes '\', "." and ".."
  // segments go, a drive-relative "D:x" resolves against that drive's current
  // folder. Default: the current folder of every drive is its root, and a path
  // without a drive is only normalised.
  virtual std::string FullPathName(std::string_view path) const;
  // The stored name of the entry called name (any letter case) in folder,
  // which ends with '\'; nullopt when there is none. Default: never found.
  virtual std::optional<std::string> FindEntry(std::string_view folder,
                                               std::string_view name) const;
};

namespace winpath {

// "C:" for a path whose second character is ':', "\\server\share" for a UNC
// path, else "".
std::string ExtractFileDrive(std::string_view path);
// Up to and including the last '\' or ':'.
std::string ExtractFilePath(std::string_view path);
// The folder without its trailing '\', unless that is the root ("C:\", "\").
std::string ExtractFileDir(std::string_view path);
// After the last '\' or ':'.
std::string ExtractFileName(std::string_view path);
// From the last '.' of the file name on ("." for "data."), else "".
std::string ExtractFileExt(std::string_view path);
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// ExtractFilePath without the drive: "C:\dir\file" -> "\dir\", "C:file" -> "".
std::string ExtractPathNoDrive(std::string_view path);
// The full path of file name `name` with a data file's conventions: relative
// to baseDir (which ends with '\'), defaultExt added when the name has no
// extension, a rooted name on baseDir's drive, an empty name giving baseDir.
std::string ResolveFileName(std::string_view name, std::string_view defaultExt,
                            std::string_view baseDir, const WinPathSystem& system);
// The absolute path with every existing component in its stored letter case;
// components that do not exist stay as passed. "C:\" gives "C:".
std::string GetLongFileName(std::string_view path, const WinPathSystem& system);

}  // namespace winpath

namespace posixpath {

std::string ExtractFilePath(std::string_view path);  // up to and including the last '/'
std::string ExtractFileDir(std::string_view path);   // without the trailing '/' unless "/"
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path);
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// No drives on POSIX: the same as ExtractFilePath.
std::string ExtractPathNoDrive(std::string_view path);
// As the Windows rule: an absolute name stays as given, a relative one is
// joined to baseDir with "." and ".." removed lexically (symlinks untouched).
std::string ResolveFileName(std::string_view name, std::string_view defaultExt,
                            std::string_view baseDir);
// Unchanged: names are case-sensitive and have no short forms.
std::string GetLongFileName(std::string_view path);

}  // namespace posixpath

// The native rules.
inline constexpr char kPathDelim = platform::kWindows ? '\\' : '/';
// The system's answers on Windows; elsewhere the lexical defaults.
const WinPathSystem& NativeWinPathSystem();
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileDir(std::string_view path);
std::string ExtractFileName(std::string_view path);
std::string ExtractFileExt(std::string_view path);
std::string ChangeFileExt(std::string_view path, std::string_view ext);
std::string ExtractPathNoDrive(std::string_view path);
std::string ResolveFileName(std::string_view name, std::string_view defaultExt,
                            std::string_view baseDir);
std::string GetLongFileName(std::string_view path);

}  // namespace tarnwick
