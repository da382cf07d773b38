#include "registry/hive/hive_store.h"

#include <array>
#include <cstdio>
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
    if (!IsUserSid(profile.sid)) continue;
    names += (names.empty() ? "" : ", ") + profile.folderName;
  }
  return names;
}

// The profile that HKCU stands for: the one -u names, by folder name or
// SID, else the only one of a person's account.
const HiveProfile& ChooseUser(const std::vector<HiveProfile>& profiles, const std::string& user,
                              const std::string& folder) {
  if (!user.empty()) {
    const std::u16string wanted = FoldUpperName(Utf8ToUtf16(user));
    for (auto name : {&HiveProfile::folderName, &HiveProfile::sid}) {
      for (const HiveProfile& profile : profiles) {
        if (FoldUpperName(Utf8ToUtf16(profile.*name)) == wanted) return profile;
      }
    }
    throw ERegistrySourceError("ユーザー プロファイル '" + user + "' が見つかりません: " + folder +
                               " (プロファイル: " + ProfileNames(profiles) + ")");
  }
  const HiveProfile* only = nullptr;
  int count = 0;
  for (const HiveProfile& profile : profiles) {
    if (IsUserSid(profile.sid) && count++ == 0) only = &profile;
  }
  if (count == 1) return *only;
  if (count == 0) {
    throw ERegistrySourceError("ユーザー プロファイルが見つかりません: " + folder);
  }
  throw ERegistrySourceError(
      "ユーザー プロファイルが複数あります。-u でどのプロファイルを読むか指定してください: " +
      ProfileNames(profiles) + " (" + folder + ")");
}

}  // namespace

struct HiveStore::State {
  std::shared_ptr<HiveNamespace> registry;
  HiveRef currentUser;
  std::optional<HiveRef> userClasses;     // the current user's UsrClass.dat
  std::optional<HiveRef> machineClasses;  // SOFTWARE\Classes
  std::optional<HiveRef> system;

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

  std::vector<HiveProfile> profiles = FindProfiles(registry, *software, installation);
  const HiveProfile& chosen = ChooseUser(profiles, user, folder);
  for (const HiveProfile& profile : profiles) {
    uint32_t file = open(profile.userHive);
    const std::u16string sid = Utf8ToUtf16(profile.sid);
    registry.Mount(HiveNamespace::kUsers, sid, file);
    std::optional<HiveRef> userClasses;
    if (!profile.classesHive.empty()) {
      uint32_t classesFile = open(profile.classesHive);
      registry.Mount(HiveNamespace::kUsers, sid + u"_Classes", classesFile);
      userClasses = registry.RootOf(classesFile);
      HiveRef softwareKey;
      path = {u"SOFTWARE"};
      if (registry.Walk(registry.RootOf(file), path, softwareKey)) {
        registry.Link(softwareKey, u"Classes", *userClasses);
      }
    }
    if (&profile == &chosen) {
      state->currentUser = registry.RootOf(file);
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
  if (!FoldHivePath(path, folded)) return nullptr;
  const State& state = *state_;
  std::optional<HiveRef> top, under;
  switch (root) {
    case kHKeyLocalMachine:
      top = HiveNamespace::kMachine;
      break;
    case kHKeyUsers:
      top = HiveNamespace::kUsers;
      break;
    case kHKeyCurrentUser:
      top = state.currentUser;
      break;
    case kHKeyClassesRoot:
      top = state.userClasses ? state.userClasses : state.machineClasses;
      if (state.userClasses) under = state.machineClasses;
      break;
    case kHKeyCurrentConfig: {
      static const std::vector<std::u16string> kCurrentConfig = {u"CURRENTCONTROLSET",
                                                                 u"HARDWARE PROFILES", u"CURRENT"};
      HiveRef config;
      if (state.system && state.registry->Walk(*state.system, kCurrentConfig, config)) top = config;
      break;
    }
    default:
      break;
  }
  if (!top) return nullptr;
  return HiveRegistryKey::Open(state.registry, *top, under, folded);
}

void HiveStore::Refresh(const std::function<void()>&) {
  for (const auto& file : state_->registry->Files()) {
    if (!(StampOf(file->Path()) == file->Stamp())) {
      state_ = State::Load(folder_, user_);  // on failure the old hives stay
      return;
    }
  }
}

std::vector<std::string> HiveStore::SourceFiles() const {
  std::vector<std::string> files;
  for (const auto& file : state_->registry->Files()) files.push_back(file->Path());
  return files;
}

}  // namespace tarnwick
