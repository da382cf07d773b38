#include "registry/hive/hive_store.h"

#include <array>
#include <cstdio>
#include <map>
#include <optional>

#include "common/errors.h"
#include "common/key_path.h"
#include "common/text_codec.h"
#include "registry/hive/hive_folder.h"
#include "registry/hive/hive_key.h"
#include "registry/hive/hive_profiles.h"

namespace tarnwick {
namespace {

// The hives of config/ that HKLM mounts, spelled as Windows lists them.
constexpr std::array<std::u16string_view, 4> kMachineHives = {u"SAM", u"SECURITY", u"SOFTWARE",
                                                              u"SYSTEM"};

// The number a DWORD value holds; fallback when it is missing or no DWORD.
uint32_t DwordOr(const HiveNamespace& registry, HiveRef key, std::u16string_view name,
                 uint32_t fallback) {
  RegValue value;
  if (!registry.QueryValue(key, name, value) || value.type != kRegDword || value.data.size() != 4) {
    return fallback;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(value.data.data());
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

std::u16string Numbered(const char* format, uint32_t number) {
  char name[16];
  std::snprintf(name, sizeof name, format, number);
  return Utf8ToUtf16(name);
}

// SYSTEM\CurrentControlSet -> ControlSet<Select\Current>, and below it
// Hardware Profiles\Current -> Hardware Profiles\<IDConfigDB's CurrentConfig>,
// both links that Windows makes at boot and never stores.
void LinkCurrentControlSet(HiveNamespace& registry, HiveRef system) {
  HiveRef select, controlSet;
  std::vector<std::u16string> path = {u"SELECT"};
  uint32_t current =
      registry.Walk(system, path, select) ? DwordOr(registry, select, u"Current", 1) : 1;
  path = {FoldUpperName(Numbered("ControlSet%03u", current))};
  if (!registry.Walk(system, path, controlSet)) return;
  registry.Link(system, u"CurrentControlSet", controlSet);

  HiveRef idConfig, profiles, profile;
  path = {u"CONTROL", u"IDCONFIGDB"};
  uint32_t config = registry.Walk(controlSet, path, idConfig)
                        ? DwordOr(registry, idConfig, u"CurrentConfig", 1)
                        : 1;
  path = {u"HARDWARE PROFILES"};
  if (!registry.Walk(controlSet, path, profiles)) return;
  path = {FoldUpperName(Numbered("%04u", config))};
  if (registry.Walk(profiles, path, profile)) registry.Link(profiles, u"Current", profile);
}

std::string ProfileNames(const std::vector<HiveProfile>& profiles) {
  std::string names;
  for (const HiveProfile& profile : profiles) {
    if (!IsUserSid(profile.sid) || profile.userHive.empty()) continue;
    names += (names.empty() ? "" : ", ") + profile.folderName;
  }
  return names;
}

// The profile that HKCU stands for: the one -u names, by folder name or
// SID, else the only one of a person's account; null when there is none.
// Profiles without NTUSER.DAT are not chosen.
const HiveProfile* ChooseUser(const std::vector<HiveProfile>& profiles, const std::string& user,
                              const std::string& folder) {
  if (!user.empty()) {
    const std::u16string wanted = FoldUpperName(Utf8ToUtf16(user));
    for (auto name : {&HiveProfile::folderName, &HiveProfile::sid}) {
      for (const HiveProfile& profile : profiles) {
        if (!profile.userHive.empty() && FoldUpperName(Utf8ToUtf16(profile.*name)) == wanted) {
          return &profile;
        }
      }
    }
    throw ERegistrySourceError("ユーザー プロファイル '" + user + "' が見つかりません: " + folder +
                               " (プロファイル: " + ProfileNames(profiles) + ")");
  }
  const HiveProfile* only = nullptr;
  int count = 0;
  for (const HiveProfile& profile : profiles) {
    if (!profile.userHive.empty() && IsUserSid(profile.sid) && count++ == 0) only = &profile;
  }
  if (count > 1) {
    throw ERegistrySourceError(
        "ユーザー プロファイルが複数あります。-u でどのプロファイルを読むか指定してください: " +
        ProfileNames(profiles) + " (" + folder + ")");
  }
  return only;
}

// Why HKCU has no profile, when none was chosen.
std::string NoUserReason(const std::vector<HiveProfile>& profiles,
                         const WindowsInstallation& installation) {
  if (installation.root.empty()) {
    return "config フォルダーだけなので、ユーザー プロファイルがありません";
  }
  std::string reasons;
  for (const HiveProfile& profile : profiles) {
    if (!IsUserSid(profile.sid) || profile.missing.empty()) continue;
    reasons += (reasons.empty() ? "" : "; ") + profile.missing;
  }
  return reasons.empty() ? "ユーザー プロファイルがありません" : reasons;
}

}  // namespace

struct HiveStore::State {
  std::shared_ptr<HiveNamespace> registry;
  std::optional<HiveRef> currentUser;
  std::optional<HiveRef> userClasses;     // the current user's UsrClass.dat
  std::optional<HiveRef> machineClasses;  // SOFTWARE\Classes
  std::optional<HiveRef> system;
  // Why the current user's keys, or the user's classes, are not there.
  std::string currentUserMissing, userClassesMissing;
  // Why a profile's hives are not in HKU, by the folded names they would have there.
  std::map<std::u16string, std::string> usersMissing;

  static std::unique_ptr<State> Load(const std::string& folder, const std::string& user);
};

std::unique_ptr<HiveStore::State> HiveStore::State::Load(const std::string& folder,
                                                         const std::string& user) {
  WindowsInstallation installation;
  if (!FindWindowsInstallation(folder, installation)) {
    throw ERegistrySourceError("Windows のインストール フォルダーではありません: " + folder);
  }
  auto state = std::make_unique<State>();
  state->registry = std::make_shared<HiveNamespace>();
  HiveNamespace& registry = *state->registry;
  auto open = [&](const std::string& path) {
    return registry.AddFile(std::make_unique<HiveFile>(path));
  };
  // A profile's hive that cannot be read leaves out only that user's keys.
  auto openUserHive = [&](const std::string& path, std::string& why) -> std::optional<uint32_t> {
    try {
      return open(path);
    } catch (const ERegistrySourceError& e) {
      why = e.what();
      return std::nullopt;
    }
  };

  std::optional<HiveRef> software;
  for (std::u16string_view name : kMachineHives) {
    std::string path = FindEntry(installation.config, Utf16ToUtf8(name));
    if (path.empty()) continue;
    uint32_t file = open(path);
    registry.Mount(HiveNamespace::kMachine, name, file);
    if (name == u"SOFTWARE") software = registry.RootOf(file);
    if (name == u"SYSTEM") state->system = registry.RootOf(file);
  }
  if (std::string path = FindEntry(installation.config, "DEFAULT"); !path.empty()) {
    registry.Mount(HiveNamespace::kUsers, u".DEFAULT", open(path));
  }
  if (state->system) LinkCurrentControlSet(registry, *state->system);
  HiveRef classes;
  std::vector<std::u16string> path = {u"CLASSES"};
  if (registry.Walk(*software, path, classes)) state->machineClasses = classes;

  installation.drive = SystemDrive(registry, *software);
  std::vector<HiveProfile> profiles = FindProfiles(registry, *software, installation);
  const HiveProfile* chosen = ChooseUser(profiles, user, folder);
  if (!chosen) {
    state->currentUserMissing = NoUserReason(profiles, installation);
    state->userClassesMissing = state->currentUserMissing;
  }
  for (const HiveProfile& profile : profiles) {
    const std::u16string sid = Utf8ToUtf16(profile.sid);
    const std::u16string classesName = sid + u"_Classes";
    std::string why = profile.missing;
    std::optional<uint32_t> file;
    if (!profile.userHive.empty()) file = openUserHive(profile.userHive, why);
    if (!file) {
      state->usersMissing[FoldUpperName(sid)] = why;
      state->usersMissing[FoldUpperName(classesName)] = why;
      if (&profile == chosen) state->currentUserMissing = state->userClassesMissing = why;
      continue;
    }
    registry.Mount(HiveNamespace::kUsers, sid, *file);
    std::optional<HiveRef> userClasses;
    std::optional<uint32_t> classesFile;
    why = profile.classesMissing;
    if (!profile.classesHive.empty()) classesFile = openUserHive(profile.classesHive, why);
    if (classesFile) {
      registry.Mount(HiveNamespace::kUsers, classesName, *classesFile);
      userClasses = registry.RootOf(*classesFile);
      HiveRef softwareKey;
      path = {u"SOFTWARE"};
      if (registry.Walk(registry.RootOf(*file), path, softwareKey)) {
        registry.Link(softwareKey, u"Classes", *userClasses);
      }
    } else if (!why.empty()) {
      state->usersMissing[FoldUpperName(classesName)] = why;
      if (&profile == chosen) state->userClassesMissing = why;
    }
    if (&profile == chosen) {
      state->currentUser = registry.RootOf(*file);
      state->userClasses = userClasses;
    }
  }
  return state;
}

HiveStore::HiveStore(std::string folder, std::string user)
    : folder_(std::move(folder)), user_(std::move(user)), state_(State::Load(folder_, user_)) {}

HiveStore::~HiveStore() = default;

// HKCR is Windows' merge, simplified as Windows documents it: a key exists
// when the user's or the machine's key exists; its values are the user's
// key's when that exists, else the machine's, never a mix; its subkeys are
// the union of both sides in sorted order, a name on both sides once.
std::unique_ptr<RegistryKey> HiveStore::OpenKey(uint32_t root, std::string_view path, uint32_t) {
  std::vector<std::u16string> folded;
  std::vector<std::string> spelled;
  if (!FoldHivePath(path, folded, &spelled)) return nullptr;
  const State& state = *state_;
  const HiveNamespace& registry = *state.registry;
  std::string rootName;
  for (const TRegRootKey& row : RootKeys) {
    if (row.RootKey == root) rootName = row.LongName;
  }
  std::string name = rootName;
  for (const std::string& spelledName : spelled) name.append("\\").append(spelledName);
  // The keys of a profile that could not be read are reported, as missing.
  auto missing = [&](const std::string& why) { registry.Report({name, std::nullopt, why}); };
  std::optional<HiveRef> top, under;
  switch (root) {
    case kHKeyLocalMachine:
      top = HiveNamespace::kMachine;
      break;
    case kHKeyUsers:
      top = HiveNamespace::kUsers;
      if (folded.empty()) {
        for (const auto& [_, why] : state.usersMissing) missing(why);
      } else if (auto user = state.usersMissing.find(folded.front());
                 user != state.usersMissing.end()) {
        missing(user->second);
      }
      break;
    case kHKeyCurrentUser:
      top = state.currentUser;
      if (!top) {
        missing(state.currentUserMissing);
      } else if (!state.userClassesMissing.empty() && folded.size() >= 2 &&
                 folded[0] == u"SOFTWARE" && folded[1] == u"CLASSES") {
        missing(state.userClassesMissing);
      }
      break;
    case kHKeyClassesRoot:
      top = state.userClasses ? state.userClasses : state.machineClasses;
      if (state.userClasses) under = state.machineClasses;
      if (!state.userClassesMissing.empty()) missing(state.userClassesMissing);
      break;
    case kHKeyCurrentConfig: {
      static const std::vector<std::u16string> kCurrentConfig = {u"CURRENTCONTROLSET",
                                                                 u"HARDWARE PROFILES", u"CURRENT"};
      HiveRef config;
      if (state.system && registry.Walk(*state.system, kCurrentConfig, config)) top = config;
      break;
    }
    default:
      break;
  }
  if (!top) return nullptr;
  HiveKeyPlace place{rootName, {*top}};
  if (under) place.chain.push_back(*under);
  return HiveRegistryKey::Open(state.registry, *top, under, folded, spelled, place);
}

void HiveStore::Refresh(const std::function<void()>&) {
  for (const auto& file : state_->registry->Files()) {
    if (!(StampOf(file->Path()) == file->Stamp())) {
      state_ = State::Load(folder_, user_);  // on failure the old hives stay
      return;
    }
  }
}

std::vector<StoreProblem> HiveStore::TakeProblems() {
  return state_->registry->TakeProblems();
}

std::vector<std::string> HiveStore::SourceNotes() const {
  std::vector<std::string> notes;
  for (const auto& file : state_->registry->Files()) {
    for (const std::string& note : file->Notes()) {
      notes.push_back(note + " (このまま読むので、最後の変更が入っていないかもしれません)");
    }
  }
  return notes;
}

std::vector<std::string> HiveStore::SourceFiles() const {
  std::vector<std::string> files;
  for (const auto& file : state_->registry->Files()) files.push_back(file->Path());
  return files;
}

}  // namespace tarnwick
