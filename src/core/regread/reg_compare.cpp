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
  std::optional<RegValue> before;
  std::optional<RegValue> after;  // when touched; else as before
  bool touched = false;
};

// A key the import touches, with the keys below it that it touches, by
// folded name.
struct KeyNode {
  std::string name;         // the path, root in the long form
  bool existed = false;     // in the registry now
  bool exists = false;      // after the steps so far
  bool unreadable = false;  // exists, but its values are not known
  bool listed = false;      // all its subkeys in the registry have nodes
  std::map<std::u16string, ValueState> values;
  std::map<std::u16string, std::unique_ptr<KeyNode>> children;
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
        for (KeyNode* node : Path(step.key)) node->exists = true;
        break;
      case RegImportStep::Kind::DeleteKey: {
        KeyNode* node = Path(step.key).back();
        ListTree(*node);
        Delete(*node);
        break;
      }
      case RegImportStep::Kind::SetValue: {
        ValueState& value = Current(step.key).values[Folded(step.valueName)];
        if (value.name.empty()) value.name = step.valueName;
        value.after = step.value;
        value.touched = true;
        break;
      }
      case RegImportStep::Kind::DeleteValue: {
        KeyNode& key = Current(step.key);
        auto found = key.values.find(Folded(step.valueName));
        if (found != key.values.end()) {
          found->second.after.reset();
          found->second.touched = true;
        }
        break;
      }
    }
  }

  RegComparison Result() const {
    RegComparison result;
    for (const auto& [name, root] : roots_) Report(*root, result);
    return result;
  }

 private:
  struct Root {
    uint32_t handle = 0;
    std::string path;  // below the root, as the store takes it
  };

  // The nodes from the root down to the key, each read when first reached.
  std::vector<KeyNode*> Path(const std::string& key) {
    std::vector<KeyNode*> nodes;
    std::size_t slash = key.find('\\');
    std::unique_ptr<KeyNode>& root = roots_[key.substr(0, slash)];
    if (!root) {
      root = std::make_unique<KeyNode>();
      root->name = key.substr(0, slash);
      Read(*root, nullptr);
    }
    nodes.push_back(root.get());
    while (slash != std::string::npos) {
      std::size_t next = key.find('\\', slash + 1);
      std::string_view name = std::string_view(key).substr(slash + 1, next - slash - 1);
      nodes.push_back(&Child(*nodes.back(), name));
      slash = next;
    }
    return nodes;
  }

  KeyNode& Child(KeyNode& parent, std::string_view name) {
    std::unique_ptr<KeyNode>& child = parent.children[Folded(name)];
    if (!child) {
      child = std::make_unique<KeyNode>();
      child->name = parent.name + "\\" + std::string(name);
      Read(*child, &parent);
    }
    return *child;
  }

  // Values come in runs for one key: the key of the last run is kept at hand.
  KeyNode& Current(const std::string& path) {
    if (!current_ || path != currentPath_) {
      current_ = Path(path).back();
      currentPath_ = path;
    }
    return *current_;
  }

  std::unique_ptr<RegistryKey> Open(const std::string& path) {
    std::size_t slash = path.find('\\');
    for (const TRegRootKey& row : RootKeys) {
      if (row.LongName != path.substr(0, slash)) continue;
      std::string below = slash == std::string::npos ? "" : path.substr(slash + 1);
      std::unique_ptr<RegistryKey> key = store_.OpenKey(row.RootKey, below, kKeyRead);
      if (!key && store_.KeyExists(row.RootKey, below)) unreadable_ = true;
      return key;
    }
    return nullptr;
  }

  // The key as the registry has it now, with its values. Below a key that
  // does not exist, none does.
  void Read(KeyNode& node, const KeyNode* parent) {
    if (parent && !parent->existed) return;
    unreadable_ = false;
    std::unique_ptr<RegistryKey> key = Open(node.name);
    node.existed = node.exists = key || unreadable_;
    node.unreadable = unreadable_;
    if (!key) return;
    std::vector<std::string> names;
    node.unreadable = !key->ValueNames(names);
    for (const std::string& name : names) {
      RegValue value;
      if (!key->QueryValue(name, TextForm::Wide, ~0u, value)) {
        node.unreadable = true;
        continue;
      }
      node.values.emplace(Folded(name), ValueState{name, std::move(value), {}, false});
    }
  }

  // Gives every subkey the registry has below the node a node of its own.
  void ListTree(KeyNode& top) {
    std::vector<KeyNode*> pending{&top};
    while (!pending.empty()) {
      KeyNode& node = *pending.back();
      pending.pop_back();
      if (!node.existed || node.unreadable) continue;
      if (!node.listed) {
        node.listed = true;
        std::unique_ptr<RegistryKey> key = Open(node.name);
        std::vector<std::string> names;
        if (!key || !key->SubKeyNames(names)) {
          node.unreadable = true;
          continue;
        }
        for (const std::string& name : names) Child(node, name);
      }
      for (auto& [folded, child] : node.children) pending.push_back(child.get());
    }
  }

  static void Delete(KeyNode& node) {
    node.exists = false;
    for (auto& [folded, value] : node.values) {
      value.after.reset();
      value.touched = true;
    }
    for (auto& [folded, child] : node.children) Delete(*child);
  }

  // The node's changes, then those of the keys below it.
  static void Report(const KeyNode& key, RegComparison& result) {
    RegChangeCounts& counts = result.counts;
    if (key.unreadable) {
      result.unreadableKeys.push_back(key.name);
    } else if (key.existed || key.exists) {
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
        const std::optional<RegValue>& after = value.touched ? value.after : value.before;
        RegChange::Kind kind = RegChange::Kind::ValueChanged;
        if (!value.before && !after) continue;
        if (!value.before) {
          kind = RegChange::Kind::ValueAdded;
          ++counts.valuesAdded;
        } else if (!after) {
          kind = RegChange::Kind::ValueDeleted;
          ++counts.valuesDeleted;
        } else if (SameValue(*value.before, *after)) {
          continue;
        } else {
          ++counts.valuesChanged;
        }
        result.changes.push_back({kind, key.name, value.name, value.before, after});
      }
    }
    for (const auto& [folded, child] : key.children) Report(*child, result);
  }

  RegistryStore& store_;
  std::map<std::string, std::unique_ptr<KeyNode>> roots_;
  bool unreadable_ = false;  // the last key opened exists, but could not be opened
  KeyNode* current_ = nullptr;
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

std::string RegChangeCountsText(const RegChangeCounts& n) {
  if (n.Total() == 0) return "インポートしても、レジストリは何も変わりません。";
  return "インポートで変わるもの: キーの追加 " + std::to_string(n.keysAdded) + "、キーの削除 " +
         std::to_string(n.keysDeleted) + "、値の追加 " + std::to_string(n.valuesAdded) +
         "、値の変更 " + std::to_string(n.valuesChanged) + "、値の削除 " +
         std::to_string(n.valuesDeleted);
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
