#include "common/path_utils.h"

#include <algorithm>
#include <vector>

#include "platform/paths.h"

namespace tarnwick {
namespace {

constexpr std::string_view kWinDelims = "\\:";
constexpr std::string_view kPosixDelims = "/";

std::string FilePath(std::string_view path, std::string_view delims) {
  std::size_t pos = path.find_last_of(delims);
  return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string FileDir(std::string_view path, std::string_view delims, char sep) {
  std::size_t pos = path.find_last_of(delims);
  if (pos == std::string_view::npos) return {};
  // Keep the separator of a root: "C:\", "\", "/".
  bool root = pos == 0 || delims.find(path[pos - 1]) != std::string_view::npos;
  return std::string(path.substr(0, path[pos] == sep && !root ? pos : pos + 1));
}

std::string FileName(std::string_view path, std::string_view delims) {
  std::size_t pos = path.find_last_of(delims);
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

// Position of the '.' that starts the extension, or npos.
std::size_t ExtPos(std::string_view path, std::string_view delims) {
  std::size_t dot = path.rfind('.');
  std::size_t delim = path.find_last_of(delims);
  if (dot == std::string_view::npos) return dot;
  return delim != std::string_view::npos && delim > dot ? std::string_view::npos : dot;
}

std::string FileExt(std::string_view path, std::string_view delims) {
  std::size_t pos = ExtPos(path, delims);
  return pos == std::string_view::npos ? std::string() : std::string(path.substr(pos));
}

std::string ChangeExt(std::string_view path, std::string_view ext, std::string_view delims) {
  std::string result(path.substr(0, ExtPos(path, delims)));
  return result += ext;
}

// root (empty, or ending with sep) followed by the segments of rest without
// empty, "." and ".." segments. ".." stops at a root; with no root (a relative
// path) a leading ".." is kept. A trailing separator of rest is kept.
std::string JoinNormalized(std::string_view root, std::string_view rest, char sep) {
  std::vector<std::string_view> segments;
  for (std::size_t start = 0; start <= rest.size();) {
    std::size_t end = std::min(rest.find(sep, start), rest.size());
    std::string_view segment = rest.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty() && segments.back() != "..") {
        segments.pop_back();
      } else if (root.empty()) {
        segments.push_back(segment);
      }
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string result(root);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) result += sep;
    result += segments[i];
  }
  if (!segments.empty() && !rest.empty() && rest.back() == sep) result += sep;
  return result;
}

bool SameAsciiIgnoreCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::string WinPathSystem::FullPathName(std::string_view path) const {
  std::string p(path);
  std::replace(p.begin(), p.end(), '/', '\\');
  std::string drive = winpath::ExtractFileDrive(p);
  std::string_view rest = std::string_view(p).substr(drive.size());
  if (drive.starts_with("\\\\")) {
    return rest.empty() ? drive : JoinNormalized(drive + '\\', rest, '\\');
  }
  // A drive letter: "D:x" resolves against D:'s current folder, here its root.
  if (!drive.empty()) return JoinNormalized(drive + '\\', rest, '\\');
  return JoinNormalized(rest.starts_with('\\') ? "\\" : "", rest, '\\');
}

std::optional<std::string> WinPathSystem::FindEntry(std::string_view, std::string_view) const {
  return std::nullopt;
}

namespace winpath {

std::string ExtractFileDrive(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (!path.starts_with("\\\\")) return {};
  std::size_t serverEnd = path.find('\\', 2);
  if (serverEnd == std::string_view::npos) return std::string(path);
  return std::string(path.substr(0, path.find('\\', serverEnd + 1)));
}

std::string ExtractFilePath(std::string_view path) {
  return FilePath(path, kWinDelims);
}
std::string ExtractFileDir(std::string_view path) {
  return FileDir(path, kWinDelims, '\\');
}
std::string ExtractFileName(std::string_view path) {
  return FileName(path, kWinDelims);
}
std::string ExtractFileExt(std::string_view path) {
  return FileExt(path, kWinDelims);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  return ChangeExt(path, ext, kWinDelims);
}

std::string ExtractPathNoDrive(std::string_view path) {
  std::string dir = ExtractFilePath(path);
  return dir.erase(0, std::min(dir.size(), ExtractFileDrive(path).size()));
}

std::string ResolveFileName(std::string_view name, std::string_view defaultExt,
                            std::string_view baseDir, const WinPathSystem& system) {
  if (name.empty()) return std::string(baseDir);
  std::string n(name);
  if (ExtractFileExt(n).empty()) n += defaultExt;

  std::string result;
  if (n.starts_with('\\') || n.find(':') != std::string::npos) {
    std::string drive = ExtractFileDrive(n);
    std::string baseDrive = ExtractFileDrive(baseDir);
    if (!drive.empty() && !SameAsciiIgnoreCase(drive, baseDrive)) {
      result = system.FullPathName(n);
    } else {
      // The base folder's spelling of the drive wins.
      std::string dir = ExtractPathNoDrive(n);
      if (!dir.starts_with('\\')) dir.insert(0, ExtractPathNoDrive(baseDir));
      result = baseDrive + dir + ExtractFileName(n);
    }
  } else {
    result = system.FullPathName(std::string(baseDir) + n);
  }
  return GetLongFileName(result, system);
}

std::string GetLongFileName(std::string_view path, const WinPathSystem& system) {
  if (path.empty()) return {};
  bool trailing = path.ends_with('\\');
  std::string_view rest = trailing ? path.substr(0, path.size() - 1) : path;
  if (rest.size() == 2 && rest[1] == ':') return std::string(rest);

  std::size_t sep = rest.rfind('\\');
  std::size_t driveSize = ExtractFileDrive(rest).size();
  // The drive itself (a UNC server or share too) is never looked up.
  if (sep == std::string_view::npos || sep < driveSize) return std::string(path);

  std::string_view name = rest.substr(sep + 1);
  std::optional<std::string> stored;
  if (!name.empty()) stored = system.FindEntry(rest.substr(0, sep + 1), name);
  std::string result = GetLongFileName(rest.substr(0, sep), system);
  result += '\\';
  result += stored ? *stored : std::string(name);
  if (trailing) result += '\\';
  return result;
}

}  // namespace winpath

namespace posixpath {

std::string ExtractFilePath(std::string_view path) {
  return FilePath(path, kPosixDelims);
}
std::string ExtractFileDir(std::string_view path) {
  return FileDir(path, kPosixDelims, '/');
}
std::string ExtractFileName(std::string_view path) {
  return FileName(path, kPosixDelims);
}
std::string ExtractFileExt(std::string_view path) {
  return FileExt(path, kPosixDelims);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  return ChangeExt(path, ext, kPosixDelims);
}

std::string ExtractPathNoDrive(std::string_view path) {
  return ExtractFilePath(path);
}

std::string ResolveFileName(std::string_view name, std::string_view defaultExt,
                            std::string_view baseDir) {
  if (name.empty()) return std::string(baseDir);
  std::string n(name);
  if (ExtractFileExt(n).empty()) n += defaultExt;
  if (n.starts_with('/')) return n;
  std::string joined = std::string(baseDir) + n;
  return JoinNormalized(joined.starts_with('/') ? "/" : "", joined, '/');
}

std::string GetLongFileName(std::string_view path) {
  return std::string(path);
}

}  // namespace posixpath

namespace {

// The Windows rules with the system's answers.
class NativeWin : public WinPathSystem {
 public:
  std::string FullPathName(std::string_view path) const override {
    return platform::WinFullPathName(path);
  }
  std::optional<std::string> FindEntry(std::string_view folder,
                                       std::string_view name) const override {
    return platform::WinFindEntry(folder, name);
  }
};

}  // namespace

const WinPathSystem& NativeWinPathSystem() {
  static const NativeWin native;
  static const WinPathSystem lexical;
  return platform::kWindows ? static_cast<const WinPathSystem&>(native) : lexical;
}

std::string ResolveFileName(std::string_view name, std::string_view defaultExt,
                            std::string_view baseDir) {
  return platform::kWindows
             ? winpath::ResolveFileName(name, defaultExt, baseDir, NativeWinPathSystem())
             : posixpath::ResolveFileName(name, defaultExt, baseDir);
}

std::string GetLongFileName(std::string_view path) {
  return platform::kWindows ? winpath::GetLongFileName(path, NativeWinPathSystem())
                            : posixpath::GetLongFileName(path);
}

std::string ExtractFilePath(std::string_view path) {
  return platform::kWindows ? winpath::ExtractFilePath(path) : posixpath::ExtractFilePath(path);
}
std::string ExtractFileDir(std::string_view path) {
  return platform::kWindows ? winpath::ExtractFileDir(path) : posixpath::ExtractFileDir(path);
}
std::string ExtractFileName(std::string_view path) {
  return platform::kWindows ? winpath::ExtractFileName(path) : posixpath::ExtractFileName(path);
}
std::string ExtractFileExt(std::string_view path) {
  return platform::kWindows ? winpath::ExtractFileExt(path) : posixpath::ExtractFileExt(path);
}
std::string ExtractPathNoDrive(std::string_view path) {
  return platform::kWindows ? winpath::ExtractPathNoDrive(path)
                            : posixpath::ExtractPathNoDrive(path);
}
std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  return platform::kWindows ? winpath::ChangeFileExt(path, ext)
                            : posixpath::ChangeFileExt(path, ext);
}

}  // namespace tarnwick
