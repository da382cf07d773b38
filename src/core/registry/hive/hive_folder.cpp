#include "registry/hive/hive_folder.h"

#include <array>

#include "common/text_codec.h"
#include "platform/files.h"
#include "registry/name_fold.h"

namespace tarnwick {
namespace {

std::string Join(const std::string& dir, std::string_view name) {
  std::string path = dir;
  if (path.empty() || path.back() != '/') path += '/';
  return path.append(name);
}

bool Exists(const std::string& path) {
  return !path.empty() && platform::FileExists(path);
}

}  // namespace

std::string FindEntry(const std::string& dir, std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) {
    return "";
  }
  std::string exact = Join(dir, name);
  if (Exists(exact)) return exact;
  if (dir.empty()) return "";
  const std::u16string wanted = Utf8ToUtf16(name);
  for (const std::string& entry : platform::FolderEntries(dir)) {
    if (CompareFoldedUpper(Utf8ToUtf16(entry), wanted) == 0) return Join(dir, entry);
  }
  return "";
}

std::string FindPath(const std::string& dir, std::span<const std::string_view> names) {
  std::string path = dir;
  for (std::string_view name : names) {
    path = FindEntry(path, name);
    if (path.empty()) break;
  }
  return path;
}

bool FindWindowsInstallation(const std::string& dir, WindowsInstallation& found) {
  static constexpr std::array<std::string_view, 2> kConfig = {"System32", "config"};
  found = {};
  auto holdsSoftware = [](const std::string& config) {
    return !config.empty() && Exists(FindEntry(config, "SOFTWARE"));
  };
  auto isWindowsFolder = [&](const std::string& windows) {
    found.windows = windows;
    found.config = FindPath(windows, kConfig);
    return holdsSoftware(found.config);
  };
  if (std::string windows = FindEntry(dir, "Windows");
      !windows.empty() && isWindowsFolder(windows)) {
    found.root = dir;
    return true;
  }
  if (isWindowsFolder(dir)) {
    std::string parent = dir;
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    std::size_t slash = parent.rfind('/');
    found.root = slash == std::string::npos ? "." : slash == 0 ? "/" : parent.substr(0, slash);
    return true;
  }
  found = {};
  if (std::string config = FindEntry(dir, "config"); holdsSoftware(config)) {
    found.config = config;
    return true;
  }
  // A Wine prefix is never taken for a copy of config.
  if (holdsSoftware(dir) && !Exists(FindEntry(dir, "system.reg"))) {
    found.config = dir;
    return true;
  }
  return false;
}

}  // namespace tarnwick
