#include "registry/hive/hive_profiles.h"

#include <array>
#include <cctype>
#include <cstdlib>

#include "common/text_codec.h"
#include "platform/files.h"

namespace tarnwick {
namespace {

constexpr std::array<std::u16string_view, 4> kProfileList = {u"MICROSOFT", u"WINDOWS NT",
                                                             u"CURRENTVERSION", u"PROFILELIST"};

bool Exists(const std::string& path) {
  return !path.empty() && platform::FileExists(path);
}

std::string RealPath(const std::string& path) {
  return platform::RealPath(path);
}

// True when path, its links followed, is inside the folder root (already real).
bool Inside(const std::string& realRoot, const std::string& path) {
  std::string real = RealPath(path);
  if (real.empty() || realRoot.empty()) return false;
  return realRoot == "/" || real.starts_with(realRoot + "/");
}

char16_t Upper(char16_t letter) {
  return letter >= u'a' && letter <= u'z' ? static_cast<char16_t>(letter - 0x20) : letter;
}

// Takes a leading %NAME% off path when NAME is name in any case.
bool TakeVariable(std::u16string_view& path, std::u16string_view name) {
  if (path.size() < name.size() + 2 || path[0] != u'%' || path[name.size() + 1] != u'%') {
    return false;
  }
  if (FoldUpperName(path.substr(1, name.size())) != FoldUpperName(name)) return false;
  path.remove_prefix(name.size() + 2);
  return true;
}

// UsrClass.dat where Vista and later keep it, else where XP did.
std::string ClassesHive(const std::string& folder) {
  static constexpr std::array<std::string_view, 5> kModern = {"AppData", "Local", "Microsoft",
                                                              "Windows", "UsrClass.dat"};
  static constexpr std::array<std::string_view, 5> kXp = {"Local Settings", "Application Data",
                                                          "Microsoft", "Windows", "UsrClass.dat"};
  for (std::span<const std::string_view> names : {std::span(kModern), std::span(kXp)}) {
    if (std::string path = FindPath(folder, names); Exists(path)) return path;
  }
  return "";
}

}  // namespace

bool IsUserSid(std::string_view sid) {
  return sid.size() > 9 && FoldUpperName(Utf8ToUtf16(sid.substr(0, 9))) == u"S-1-5-21-";
}

char16_t SystemDrive(const HiveNamespace& registry, HiveRef software) {
  std::vector<std::u16string> path(kProfileList.begin(), kProfileList.end() - 1);
  HiveRef currentVersion;
  RegValue systemRoot;
  if (!registry.Walk(software, path, currentVersion) ||
      !registry.QueryValue(currentVersion, u"SystemRoot", systemRoot) ||
      (systemRoot.type != kRegSz && systemRoot.type != kRegExpandSz)) {
    return u'C';
  }
  std::u16string text = LeBytesToUtf16(systemRoot.data);
  if (text.size() < 2 || text[1] != u':' || text[0] >= 0x80 ||
      !std::isalpha(static_cast<unsigned char>(text[0]))) {
    return u'C';
  }
  return Upper(text[0]);
}

std::string ProfileFolder(std::u16string_view path, const WindowsInstallation& installation) {
  while (!path.empty() && (path.back() == 0 || path.back() == u' ')) path.remove_suffix(1);
  if (installation.root.empty()) return "";
  std::string folder;
  if (TakeVariable(path, u"SystemDrive")) {
    folder = installation.root;
  } else if (TakeVariable(path, u"SystemRoot") || TakeVariable(path, u"windir")) {
    folder = installation.windows;
  } else if (path.size() >= 2 && path[1] == u':' && Upper(path[0]) == installation.drive) {
    folder = installation.root;
    path.remove_prefix(2);
  } else {
    return "";
  }
  while (!path.empty()) {
    std::size_t cut = path.find(u'\\');
    std::u16string_view name = path.substr(0, cut);
    path.remove_prefix(cut == std::u16string_view::npos ? path.size() : cut + 1);
    if (name.empty()) continue;
    folder = FindEntry(folder, Utf16ToUtf8(name));
    if (folder.empty()) return "";
  }
  return folder;
}

std::vector<HiveProfile> FindProfiles(const HiveNamespace& registry, HiveRef software,
                                      const WindowsInstallation& installation) {
  std::vector<HiveProfile> profiles;
  std::vector<std::u16string> path(kProfileList.begin(), kProfileList.end());
  HiveRef list;
  if (!registry.Walk(software, path, list)) return profiles;
  const std::string realRoot = installation.root.empty() ? "" : RealPath(installation.root);
  for (const HiveChild& entry : registry.SubKeys(list)->list) {
    if (entry.name.find('.') != std::string::npos) continue;
    RegValue imagePath;
    if (!registry.QueryValue(entry.ref, u"ProfileImagePath", imagePath)) continue;
    if (imagePath.type != kRegSz && imagePath.type != kRegExpandSz) continue;
    const std::u16string image = LeBytesToUtf16(imagePath.data);
    std::string shown = Utf16ToUtf8(image.substr(0, image.find(u'\0')));
    auto missing = [&](const char* why) {
      profiles.push_back({entry.name, "", "", "",
                          "ユーザー プロファイル " + shown + " を読めません (" + why + ")", ""});
    };
    std::string folder = ProfileFolder(image, installation);
    if (folder.empty()) {
      missing("インストール フォルダーの中にありません");
      continue;
    }
    std::string userHive = FindEntry(folder, "NTUSER.DAT");
    if (!Exists(userHive)) {
      missing("NTUSER.DAT がありません");
      continue;
    }
    if (!Inside(realRoot, userHive)) {
      missing("インストール フォルダーの外を指すシンボリック リンクです");
      continue;
    }
    std::string classes = ClassesHive(folder);
    std::string classesMissing;
    if (!classes.empty() && !Inside(realRoot, classes)) {
      classesMissing = "ユーザー プロファイル " + shown + " の UsrClass.dat を読めません (" +
                       "インストール フォルダーの外を指すシンボリック リンクです)";
      classes.clear();
    }
    std::string name = folder.substr(folder.rfind('/') + 1);
    profiles.push_back({entry.name, name, userHive, classes, "", classesMissing});
  }
  return profiles;
}

}  // namespace tarnwick
