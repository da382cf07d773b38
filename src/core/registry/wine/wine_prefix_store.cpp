#include "registry/wine/wine_prefix_store.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "common/errors.h"
#include "common/key_path.h"
#include "common/text_codec.h"
#include "platform/files.h"
#include "registry/wine/wine_namespace.h"
#include "registry/wine/wine_reg_parser.h"
#include "registry/wine/wine_user_writer.h"

namespace tarnwick {
namespace {

// In wineserver's load order, which decides whose "#arch" line counts first.
constexpr std::array<const char*, 3> kFileNames = {"system.reg", "userdef.reg", "user.reg"};
enum FileIndex { kSystem, kUserDefault, kUser };

// What Refresh() compares to tell that a file changed: wineserver saves by
// renaming a new file over the old one, so its identity changes too.
struct FileStamp {
  int error = ENOENT;  // 0 when the file was there
  platform::FileStatus status;

  static FileStamp Of(const platform::FileStatus& status) { return {0, status}; }
  static FileStamp Of(const std::string& path) {
    platform::FileStatus status = platform::StatusOf(path);
    return status.kind == platform::FileKind::Missing ? FileStamp{} : Of(status);
  }
  bool operator==(const FileStamp&) const = default;
};

[[noreturn]] void ThrowUnreadable(const std::string& path, const std::string& why = "") {
  throw ERegistrySourceError("Wine のレジストリ ファイルを読み込めません: " + path +
                             (why.empty() ? "" : " (" + why + ")"));
}

// The parser's findings, which wineserver would report and skip, in words.
const char* IssueText(std::string_view what) {
  if (what == "Value without key") return "キーの前に値があります";
  if (what == "Unrecognized input") return "認識できない行です";
  if (what == "Error creating key") return "キーの名前が長すぎます";
  if (what == "Malformed value name") return "値の名前が正しくありません";
  if (what == "Malformed value") return "値が正しくありません";
  return "キーの行が正しくありません";
}

// The bytes of a file, in a buffer that is not cleared first: the file is
// read straight into it.
struct FileText {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  std::string_view View() const { return {bytes.get(), size}; }
};

// Reads the whole file, or leaves text empty and the stamp at ENOENT when
// there is no such file.
void ReadRegistryFile(const std::string& path, FileText& text, FileStamp& stamp) {
  // The open never blocks: a FIFO is refused below instead of waiting for a writer.
  platform::InputFile file;
  if (int error = file.Open(path)) {
    if (error != ENOENT) ThrowUnreadable(path);
    // No file: an empty branch. A link to none is a mistake to name.
    if (platform::StatusOf(path, false).kind == platform::FileKind::Missing) return;
    ThrowUnreadable(path, "リンク先がありません");
  }
  const platform::FileStatus status = file.Status();
  if (status.kind != platform::FileKind::Regular) {
    ThrowUnreadable(path, "通常のファイルではありません");
  }
  if (status.size > kMaxRegistryFileSize) ThrowUnreadable(path, "ファイルが大きすぎます");
  stamp = FileStamp::Of(status);
  // Read straight into a buffer that is not cleared first.
  std::size_t capacity = static_cast<std::size_t>(status.size) + 1;
  text.bytes.reset(new char[capacity]);
  std::size_t done = 0;
  for (;;) {
    if (done == capacity) {  // the file grew
      if (capacity > kMaxRegistryFileSize) ThrowUnreadable(path, "ファイルが大きすぎます");
      std::unique_ptr<char[]> larger(new char[capacity * 2]);
      std::memcpy(larger.get(), text.bytes.get(), done);
      text.bytes = std::move(larger);
      capacity *= 2;
    }
    std::size_t got = 0;
    if (file.Read(text.bytes.get() + done, capacity - done, got) != 0) ThrowUnreadable(path);
    if (got == 0) break;
    done += got;
  }
  text.size = done;
}

// Folded names of a path relative to a root or a key; false when it is invalid.
bool FoldKeyPath(std::string_view path, std::vector<std::u16string>& folded) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names)) return false;
  for (std::string_view name : names) folded.push_back(FoldName(Utf8ToUtf16(name)));
  return true;
}

class WineRegistryKey final : public RegistryKey {
 public:
  WineRegistryKey(std::shared_ptr<const WineNamespace> registry, const WineKey& key)
      : registry_(std::move(registry)), key_(&key) {}

  bool SubKeyNames(std::vector<std::string>& names) const override {
    for (const auto& subkey : key_->SubKeys()) names.push_back(subkey->Name());
    return true;
  }

  bool ValueNames(std::vector<std::string>& names) const override {
    for (const WineValue& value : key_->Values()) names.push_back(Utf16ToUtf8(value.name));
    return true;
  }

  bool HasSubKeys() const override { return !key_->SubKeys().empty(); }

  std::unique_ptr<RegistryKey> OpenSubKey(std::string_view path, uint32_t) const override {
    std::vector<std::u16string> folded;
    if (!FoldKeyPath(path, folded)) return nullptr;
    const WineKey* key = registry_->OpenBelow(*key_, folded);
    return key ? std::make_unique<WineRegistryKey>(registry_, *key) : nullptr;
  }

  bool QueryValueInfo(std::string_view name, TextForm form, uint32_t& type,
                      uint32_t& size) const override {
    const WineValue* value = Find(name);
    if (!value) return false;
    type = value->type;
    size = static_cast<uint32_t>(Data(*value, form).size());
    return true;
  }

  bool QueryValue(std::string_view name, TextForm form, uint32_t maxSize,
                  RegValue& result) const override {
    const WineValue* value = Find(name);
    if (!value) return false;
    const std::string& data = Data(*value, form);
    if (data.size() > maxSize) return false;
    result.type = value->type;
    result.data = data;
    return true;
  }

 private:
  // An export asks several questions of each value in turn (kind, size,
  // data), in the order the values are listed, so the last value found and
  // its narrow form are kept, and the value after it is tried first; the
  // tree does not change while the key is open.
  const WineValue* Find(std::string_view name) const {
    if (lastValue_ && name == lastName_) return lastValue_;
    const std::vector<WineValue>& values = key_->Values();
    std::size_t next = lastValue_ ? static_cast<std::size_t>(lastValue_ - values.data()) + 1 : 0;
    if (next < values.size() && IsSpelledAs(values[next].name, name)) {
      lastValue_ = &values[next];
    } else {
      lastValue_ = key_->FindValue(Utf8ToUtf16(name));
    }
    lastName_.assign(name);
    return lastValue_;
  }

  // True when the UTF-8 name converts to exactly these units; a name seen
  // with the same spelling is the same value, as names are unique.
  static bool IsSpelledAs(std::u16string_view units, std::string_view name) {
    if (units.size() != name.size()) {
      return units.size() < name.size() && Utf8ToUtf16(name) == units;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (static_cast<unsigned char>(name[i]) >= 0x80) return Utf8ToUtf16(name) == units;
      if (units[i] != static_cast<unsigned char>(name[i])) return false;
    }
    return true;
  }

  const std::string& Data(const WineValue& value, TextForm form) const {
    if (form == TextForm::Wide || !IsStringType(value.type)) return value.data;
    if (narrowOf_ != &value) {
      narrow_ = NarrowValueData(value.type, value.data);
      narrowOf_ = &value;
    }
    return narrow_;
  }

  std::shared_ptr<const WineNamespace> registry_;  // keeps the whole tree alive
  const WineKey* key_;
  mutable std::string lastName_;
  mutable const WineValue* lastValue_ = nullptr;
  mutable std::string narrow_;
  mutable const WineValue* narrowOf_ = nullptr;
};

// The path of a root below \Registry, as Wine's kernelbase maps the handles.
bool RootPath(uint32_t root, std::vector<std::u16string>& folded) {
  switch (root) {
    case kHKeyLocalMachine:
      folded = {u"machine"};
      return true;
    case kHKeyCurrentUser:
      folded = {u"user", FoldName(WineNamespace::kUserSid)};
      return true;
    case kHKeyUsers:
      folded = {u"user"};
      return true;
    case kHKeyClassesRoot:
      folded = {u"machine", u"software", u"classes"};
      return true;
    case kHKeyCurrentConfig:
      folded = {u"machine", u"system", u"currentcontrolset", u"hardware profiles", u"current"};
      return true;
    default:
      return false;
  }
}

}  // namespace

struct WinePrefixStore::State {
  std::array<FileStamp, 3> stamps;
  std::shared_ptr<const WineNamespace> registry;
  WineArch arch = WineArch::Unknown;
  // The last key opened: an export opens each key twice in a row (the
  // existence test, then the read), and a new load starts a new State.
  uint32_t lastRoot = 0;
  std::string lastPath;
  const WineKey* lastKey = nullptr;

  static std::unique_ptr<State> Load(const std::string& dir,
                                     const std::function<void()>& processMessages = {});
};

std::unique_ptr<WinePrefixStore::State> WinePrefixStore::State::Load(
    const std::string& dir, const std::function<void()>& processMessages) {
  if (platform::StatusOf(dir).kind != platform::FileKind::Folder) {
    throw ERegistrySourceError("Wine のプレフィックス フォルダーが見つかりません: " + dir);
  }
  auto state = std::make_unique<State>();
  std::array<std::string, 3> paths;
  std::array<FileText, 3> texts;
  bool any = false;
  for (std::size_t i = 0; i < kFileNames.size(); ++i) {
    paths[i] = dir + "/" + kFileNames[i];
    ReadRegistryFile(paths[i], texts[i], state->stamps[i]);
    any = any || state->stamps[i].error == 0;
  }
  if (!any) throw ERegistrySourceError("Wine のレジストリ ファイルが見つかりません: " + dir);

  std::array<std::unique_ptr<WineKey>, 3> branches;
  WineArch arch = WineArch::Unknown;
  for (std::size_t i = 0; i < kFileNames.size(); ++i) {
    if (state->stamps[i].error != 0) continue;
    WineRegFile file = ParseWineRegistry(texts[i].View(), processMessages);
    // wineserver keeps the first architecture it reads and refuses a file
    // naming another one.
    bool archClash =
        arch != WineArch::Unknown && file.arch != WineArch::Unknown && file.arch != arch;
    if (!file.valid || archClash) {
      throw ERegistrySourceError("Wine のレジストリ ファイルではありません: " + paths[i]);
    }
    // A line that cannot be read would leave its keys out of every backup
    // without a word, so the file is refused.
    if (file.issueCount > 0) {
      const WineParseIssue& first = file.issues.front();
      throw ERegistrySourceError("Wine のレジストリ ファイルに読めない行があります: " + paths[i] +
                                 " (" + std::to_string(first.line) +
                                 " 行目: " + IssueText(first.what) + ")");
    }
    if (arch == WineArch::Unknown) arch = file.arch;
    branches[i] = std::move(file.root);
    texts[i] = FileText();
  }
  state->arch = arch;
  state->registry = std::make_shared<const WineNamespace>(
      std::move(branches[kSystem]), std::move(branches[kUserDefault]), std::move(branches[kUser]));
  return state;
}

WinePrefixStore::WinePrefixStore(std::string prefixDir)
    : prefixDir_(std::move(prefixDir)), state_(State::Load(prefixDir_)) {}

WinePrefixStore::~WinePrefixStore() = default;

std::unique_ptr<RegistryKey> WinePrefixStore::OpenKey(uint32_t root, std::string_view path,
                                                      uint32_t) {
  CatchUp();
  const WineKey* key = nullptr;
  if (state_->lastKey && state_->lastRoot == root && state_->lastPath == path) {
    key = state_->lastKey;
  } else {
    std::vector<std::u16string> folded;
    if (!RootPath(root, folded) || !FoldKeyPath(path, folded)) return nullptr;
    key = state_->registry->Open(folded);
    if (!key) return nullptr;
    state_->lastRoot = root;
    state_->lastPath.assign(path);
    state_->lastKey = key;
  }
  return std::make_unique<WineRegistryKey>(state_->registry, *key);
}

void WinePrefixStore::Refresh(const std::function<void()>& processMessages) {
  written_ = false;
  bool changed = false;
  for (std::size_t i = 0; i < kFileNames.size() && !changed; ++i) {
    changed = !(FileStamp::Of(prefixDir_ + "/" + kFileNames[i]) == state_->stamps[i]);
  }
  if (changed) state_ = State::Load(prefixDir_, processMessages);  // on failure the old tree stays
}

std::vector<std::string> WinePrefixStore::SourceFiles() const {
  std::vector<std::string> files;
  for (const char* name : kFileNames) files.push_back(prefixDir_ + "/" + name);
  return files;
}

void WinePrefixStore::CatchUp() {
  if (!written_) return;
  try {
    Refresh();
  } catch (const ERegistrySourceError&) {
    // user.reg changed, so the next Refresh() tries again and reports it.
  }
}

// Reads ask the store each time, so they see the key's writes.
class WinePrefixStore::WriteKey final : public RegistryKey {
 public:
  WriteKey(WinePrefixStore& store, uint32_t root, std::string path,
           std::vector<std::u16string> names)
      : store_(store), root_(root), path_(std::move(path)), names_(std::move(names)) {}

  bool SubKeyNames(std::vector<std::string>& names) const override {
    auto key = Open();
    return key && key->SubKeyNames(names);
  }
  bool ValueNames(std::vector<std::string>& names) const override {
    auto key = Open();
    return key && key->ValueNames(names);
  }
  bool HasSubKeys() const override {
    auto key = Open();
    return key && key->HasSubKeys();
  }
  std::unique_ptr<RegistryKey> OpenSubKey(std::string_view path, uint32_t access) const override {
    return store_.OpenKey(root_, path_ + "\\" + std::string(path), access);
  }
  bool QueryValueInfo(std::string_view name, TextForm form, uint32_t& type,
                      uint32_t& size) const override {
    auto key = Open();
    return key && key->QueryValueInfo(name, form, type, size);
  }
  bool QueryValue(std::string_view name, TextForm form, uint32_t maxSize,
                  RegValue& value) const override {
    auto key = Open();
    return key && key->QueryValue(name, form, maxSize, value);
  }
  bool SetValue(std::string_view name, uint32_t type, std::string_view data) override {
    return store_.SetUserValue(names_, Utf8ToUtf16(name), type, data);
  }

 private:
  std::unique_ptr<RegistryKey> Open() const { return store_.OpenKey(root_, path_, kKeyRead); }

  WinePrefixStore& store_;
  uint32_t root_;
  std::string path_;
  std::vector<std::u16string> names_;  // below the user branch's root
};

std::unique_ptr<RegistryKey> WinePrefixStore::OpenKeyForWrite(uint32_t root, std::string_view path,
                                                              bool create) {
  std::vector<std::string_view> parts;
  if (!SplitKeyPath(path, parts)) return nullptr;
  std::vector<std::u16string> names;
  for (std::string_view part : parts) names.push_back(Utf8ToUtf16(part));
  if (root == kHKeyUsers && !names.empty() &&
      FoldName(names.front()) == FoldName(WineNamespace::kUserSid)) {
    names.erase(names.begin());
  } else if (root != kHKeyCurrentUser) {
    return nullptr;
  }
  written_ = written_ || create;
  if (!WineUserWriter(prefixDir_, state_->arch).OpenKey(names, create)) return nullptr;
  return std::make_unique<WriteKey>(*this, root, std::string(path), std::move(names));
}

bool WinePrefixStore::SetUserValue(std::span<const std::u16string> names, std::u16string_view name,
                                   uint32_t type, std::string_view data) {
  written_ = true;
  return WineUserWriter(prefixDir_, state_->arch).SetValue(names, name, type, data);
}

}  // namespace tarnwick
