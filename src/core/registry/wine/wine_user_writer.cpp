#include "registry/wine/wine_user_writer.h"

#include <vector>

#include "common/errors.h"
#include "common/input_file.h"
#include "platform/files.h"
#include "registry/wine/wine_key.h"
#include "registry/wine/wine_reg_parser.h"
#include "registry/wine/wine_reg_patch.h"
#include "registry/wine/wine_reg_writer.h"
#include "registry/wine/wine_server_check.h"

namespace tarnwick {
namespace {

// Windows' limits on name lengths, in UTF-16 units.
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;

// The text of user.reg; a missing file is a new one with only the header.
bool ReadUserFile(const std::string& path, WineArch arch, std::string& text) {
  try {
    if (!ReadInputFile(path, text, kMaxRegistryFileSize)) text = WineUserFileHeader(arch);
    return true;
  } catch (const TarnwickError&) {
    return false;
  }
}

bool SameTree(const WineKey& a, const WineKey& b) {
  if (a.Name() != b.Name() || a.IsLink() != b.IsLink() || a.Values().size() != b.Values().size() ||
      a.SubKeys().size() != b.SubKeys().size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.Values().size(); ++i) {
    const WineValue& x = a.Values()[i];
    const WineValue& y = b.Values()[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  for (std::size_t i = 0; i < a.SubKeys().size(); ++i) {
    if (!SameTree(*a.SubKeys()[i], *b.SubKeys()[i])) return false;
  }
  return true;
}

// One change to user.reg: the old text and tree, the key's path, and the new
// text once patched. A section added for a key that exists under another
// spelling merges into it when read, as a key line always does.
class Edit {
 public:
  Edit(const std::string& prefixDir, WineArch arch)
      : prefixDir_(prefixDir), path_(prefixDir + "/user.reg") {
    loaded_ = ReadUserFile(path_, arch, text_);
    if (loaded_) file_ = ParseWineRegistry(text_);
    loaded_ = loaded_ && file_.valid;
  }

  // Finds the key. False when the file is unusable, a name is not valid or a
  // key on the way is a link.
  bool Resolve(std::span<const std::u16string> names) {
    if (!loaded_) return false;
    names_ = names;
    const WineKey* key = file_.root.get();
    for (const std::u16string& name : names) {
      if (name.empty() || name.size() > kMaxKeyName || name.find(u'\0') != name.npos) return false;
      folded_.push_back(FoldName(name));
      key = key ? key->FindSubKey(folded_.back()) : nullptr;
      if (key && key->IsLink()) return false;
    }
    key_ = key;
    return true;
  }

  bool KeyExists() const { return key_ != nullptr; }
  const WineKey* Key() const { return key_; }

  void AddKey(uint64_t fileTime) {
    AppendWineSection(text_, WineSectionHeader(names_, fileTime));
    ExpectedKey();
  }

  void SetValue(std::u16string_view name, uint32_t type, std::string_view data, uint64_t fileTime) {
    PutWineValueLine(text_, folded_, name, WineValueLine(name, type, data),
                     WineSectionHeader(names_, fileTime));
    WineValue& value = ExpectedKey().Value(name);
    value.type = type;
    value.data = data;
  }

  // Saves the new text when it reads back as the old tree with the change.
  bool Save() {
    file_.root->FinishBuild();
    WineRegFile check = ParseWineRegistry(text_);
    if (!check.valid || check.arch != file_.arch || !SameTree(*check.root, *file_.root)) {
      return false;
    }
    return !WineServerRunning(prefixDir_) && platform::ReplaceFileContents(path_, text_) == 0;
  }

 private:
  // The key in the old tree, which becomes the tree the new text must give.
  WineKey& ExpectedKey() {
    WineKey* key = file_.root.get();
    for (std::size_t i = 0; i < folded_.size(); ++i) key = &key->SubKey(names_[i], folded_[i]);
    return *key;
  }

  std::string prefixDir_;
  std::string path_;
  bool loaded_ = false;
  std::string text_;
  WineRegFile file_;
  std::span<const std::u16string> names_;
  std::vector<std::u16string> folded_;
  const WineKey* key_ = nullptr;
};

}  // namespace

WineUserWriter::WineUserWriter(std::string prefixDir, WineArch arch)
    : prefixDir_(std::move(prefixDir)), arch_(arch) {}

bool WineUserWriter::OpenKey(std::span<const std::u16string> names, bool create) {
  Edit edit(prefixDir_, arch_);
  if (!edit.Resolve(names)) return false;
  if (edit.KeyExists()) return true;
  if (!create) return false;
  edit.AddKey(WineFileTimeNow());
  return edit.Save();
}

bool WineUserWriter::SetValue(std::span<const std::u16string> names, std::u16string_view valueName,
                              uint32_t type, std::string_view data) {
  Edit edit(prefixDir_, arch_);
  if (!edit.Resolve(names) || !edit.KeyExists() || valueName.size() > kMaxValueName) return false;
  // A value that exists keeps its spelling, as wineserver keeps it.
  const WineValue* old = edit.Key()->FindValue(valueName);
  std::u16string name(old ? old->name : valueName);
  edit.SetValue(name, type, data, WineFileTimeNow());
  return edit.Save();
}

}  // namespace tarnwick
