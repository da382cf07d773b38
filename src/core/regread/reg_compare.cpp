#include "regread/reg_compare.h"

#include <cstdio>
#include <map>
#include <memory>
#include <utility>

#include "common/key_path.h"
#include "common/text_codec.h"
#include "registry/name_fold.h"

namespace tarnwick {

namespace {

// The registry matches names without regard to case.
std::u16string Folded(std::string_view utf8) {
  std::u16string text = Utf8ToUtf16(utf8);
  for (char16_t& c : text) c = FoldUpper(c);
  return text;
}

struct ValueState {
  std::string name;
  std::optional<RegValue> before, after;
};

struct KeyState {
  std::string name;
  bool existed = false;     // in the registry now
  bool exists = false;      // after the steps so far
  bool unreadable = false;  // exists, but its values are not known
  std::map<std::u16string, ValueState> values;
};

bool SameValue(const RegValue& a, const RegValue& b) {
  return a.type == b.type && a.data == b.data;
}

// Applies the import's steps to the keys it touches, each read from the
// registry the first time a step names it.
class Simulation {
 public:
  explicit Simulation(RegistryStore& store) : store_(store) {}

  void Apply(const RegImportStep& step) {
    switch (step.kind) {
      case RegImportStep::Kind::CreateKey:
        // The key and every missing key above it, as RegCreateKeyEx makes them.
        for (std::size_t slash = step.key.find('\\'); slash != std::string::npos;
             slash = step.key.find('\\', slash + 1)) {
          Load(step.key.substr(0, slash)).exists = true;
        }
        Load(step.key).exists = true;
        break;
      case RegImportStep::Kind::DeleteKey:
        DeleteTree(step.key);
        break;
      case RegImportStep::Kind::SetValue: {
        ValueState& value = Current(step.key).values[Folded(step.valueName)];
        if (value.name.empty()) value.name = step.valueName;
        value.after = step.value;
        break;
      }
      case RegImportStep::Kind::DeleteValue: {
        KeyState& key = Current(step.key);
        auto found = key.values.find(Folded(step.valueName));
        if (found != key.values.end()) found->second.after.reset();
        break;
      }
    }
  }

  RegComparison Result() const {
    RegComparison result;
    RegChangeCounts& counts = result.counts;
    for (const auto& [folded, key] : keys_) {
      if (key.unreadable) {
        result.unreadableKeys.push_back(key.name);
        continue;
      }
      if (!key.existed && !key.exists) continue;
      if (key.existed != key.exists) {
        result.changes.push_back(
            {key.exists ? RegChange::Kind::KeyAdded : RegChange::Kind::KeyDeleted,
             key.name,
             {},
             {},
             {}});
        ++(key.exists ? counts.keysAdded : counts.keysDeleted);
      }
      for (const auto& [foldedName, value] : key.values) {
        RegChange change{RegChange::Kind::ValueChanged, key.name, value.name, value.before,
                         value.after};
        if (!value.before && !value.after) continue;
        if (!value.before) {
          change.kind = RegChange::Kind::ValueAdded;
          ++counts.valuesAdded;
        } else if (!value.after) {
          change.kind = RegChange::Kind::ValueDeleted;
          ++counts.valuesDeleted;
        } else if (SameValue(*value.before, *value.after)) {
          continue;
        } else {
          ++counts.valuesChanged;
        }
        result.changes.push_back(std::move(change));
      }
    }
    return result;
  }

 private:
  std::unique_ptr<RegistryKey> Open(const std::string& path) {
    std::size_t slash = path.find('\\');
    std::string root = path.substr(0, slash);
    for (const TRegRootKey& row : RootKeys) {
      if (row.LongName != root) continue;
      return store_.OpenKey(row.RootKey, slash == std::string::npos ? "" : path.substr(slash + 1),
                            kKeyRead);
    }
    return nullptr;
  }

  bool ExistsUnopened(const std::string& path) {
    std::size_t slash = path.find('\\');
    for (const TRegRootKey& row : RootKeys) {
      if (row.LongName == path.substr(0, slash)) {
        return store_.KeyExists(row.RootKey,
                                slash == std::string::npos ? "" : path.substr(slash + 1));
      }
    }
    return false;
  }

  // The key as the registry has it now, with its values, read once.
  KeyState& Load(const std::string& path) {
    auto [at, added] = keys_.try_emplace(Folded(path));
    KeyState& key = at->second;
    if (!added) return key;
    key.name = path;
    std::unique_ptr<RegistryKey> open = Open(path);
    if (!open) {
      key.existed = key.exists = key.unreadable = ExistsUnopened(path);
      return key;
    }
    key.existed = key.exists = true;
    std::vector<std::string> names;
    key.unreadable = !open->ValueNames(names);
    for (const std::string& name : names) {
      RegValue value;
      if (!open->QueryValue(name, TextForm::Wide, ~0u, value)) {
        key.unreadable = true;
        continue;
      }
      key.values.emplace(Folded(name), ValueState{name, value, value});
    }
    return key;
  }

  // Values come in runs for one key: the key of the last run is kept at hand.
  KeyState& Current(const std::string& path) {
    if (!current_ || path != currentPath_) {
      current_ = &Load(path);
      currentPath_ = path;
    }
    return *current_;
  }

  // Deletes the key and everything below it: read from the registry first,
  // so that what goes is known.
  void DeleteTree(const std::string& path) {
    std::vector<std::string> pending{path};
    while (!pending.empty()) {
      std::string next = std::move(pending.back());
      pending.pop_back();
      KeyState& key = Load(next);
      if (!key.existed || key.unreadable) continue;
      std::unique_ptr<RegistryKey> open = Open(next);
      std::vector<std::string> names;
      if (!open || !open->SubKeyNames(names)) {
        key.unreadable = true;
        continue;
      }
      for (const std::string& name : names) pending.push_back(next + "\\" + name);
    }
    const std::u16string folded = Folded(path);
    for (auto at = keys_.lower_bound(folded); at != keys_.end(); ++at) {
      const std::u16string& name = at->first;
      if (name.compare(0, folded.size(), folded) != 0) break;
      if (name.size() > folded.size() && name[folded.size()] != u'\\') continue;
      at->second.exists = false;
      for (auto& value : at->second.values) value.second.after.reset();
    }
  }

  RegistryStore& store_;
  std::map<std::u16string, KeyState> keys_;
  KeyState* current_ = nullptr;  // nodes of a map stay where they are
  std::string currentPath_;
};

std::string Hex2(unsigned byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[byte >> 4 & 15], kDigits[byte & 15]};
}

// A string the quoted form shows: whole UTF-16 units, one final NUL, no other.
bool QuotedForm(const RegValue& value) {
  const std::string& d = value.data;
  if (value.type != kRegSz || d.size() < 2 || d.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < d.size(); i += 2) {
    bool nul = d[i] == 0 && d[i + 1] == 0;
    if (nul != (i + 2 == d.size())) return false;
  }
  return true;
}

}  // namespace

RegComparison CompareRegImport(const RegImport& import, RegistryStore& store) {
  Simulation simulation(store);
  for (const RegImportStep& step : import.steps) simulation.Apply(step);
  return simulation.Result();
}

std::string RegValueText(const RegValue& value, std::size_t maxChars) {
  std::string text;
  const std::string& d = value.data;
  if (QuotedForm(value)) {
    std::string plain = Utf16ToUtf8(LeBytesToUtf16(std::string_view(d).substr(0, d.size() - 2)));
    text = "\"";
    for (char c : plain) {
      if (c == '"' || c == '\\') text += '\\';
      text += c;
    }
    text = ShownName(text) + "\"";
  } else if (value.type == kRegDword && d.size() == 4) {
    unsigned dword = 0;
    for (int i = 3; i >= 0; --i) dword = dword << 8 | static_cast<unsigned char>(d[i]);
    text = "dword:" + IntToLowerHex(dword, 8);
  } else {
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
    text = value.type == kRegBinary ? "hex:" : type;
    for (std::size_t i = 0; i < d.size() && text.size() <= maxChars; ++i) {
      if (i > 0) text += ',';
      text += Hex2(static_cast<unsigned char>(d[i]));
    }
  }
  if (text.size() > maxChars) {
    std::size_t cut = maxChars;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    text += "…(" + std::to_string(d.size()) + " バイト)";
  }
  return text;
}

}  // namespace tarnwick
