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

// The registry matches names without regard to case. A lone surrogate is
// U+FFFD, as a name read from the registry in UTF-8 has it.
std::u16string& FoldInto(std::u16string& out, std::u16string_view name) {
  out.clear();
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      out.push_back(c);
      out.push_back(name[++i]);
    } else {
      out.push_back(c >= 0xD800 && c <= 0xDFFF ? u'\uFFFD' : FoldUpper(c));
    }
  }
  return out;
}

std::u16string Folded(std::string_view utf8) {
  std::u16string out;
  return FoldInto(out, Utf8ToUtf16(utf8));
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

  // key: the root in the long form, as RegKeyName gives it. Values that
  // follow go to this key.
  void Key(const std::string& key, bool deletion) {
    std::vector<KeyNode*> path = Path(key);
    current_ = nullptr;
    if (deletion) {
      ListTree(*path.back());
      Delete(*path.back());
      return;
    }
    // The key and every missing key above it, as RegCreateKeyEx makes them.
    for (KeyNode* node : path) node->exists = true;
    current_ = path.back();
  }

  void SetValue(std::u16string_view name, uint32_t type, std::string_view bytes) {
    if (!current_) return;
    auto [found, added] = current_->values.try_emplace(FoldInto(folded_, name));
    ValueState& value = found->second;
    if (added) value.name = Utf16ToUtf8(name);
    // Set back to what the registry holds, the value is as before whatever
    // earlier lines did; a backup mostly sets what is there, and is not copied.
    if (value.before && value.before->type == type && value.before->data == bytes) {
      value.after.reset();
      value.touched = false;
      return;
    }
    value.after = RegValue{type, std::string(bytes)};
    value.touched = true;
  }

  void DeleteValue(std::u16string_view name) {
    if (!current_) return;
    auto found = current_->values.find(FoldInto(folded_, name));
    if (found != current_->values.end()) {
      found->second.after.reset();
      found->second.touched = true;
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
  bool unreadable_ = false;     // the last key opened exists, but could not be opened
  KeyNode* current_ = nullptr;  // where values go
  std::u16string folded_;       // a value name folded, reused
};

// Hands what the reader tells straight to the simulation, so that a large
// file is compared without its import being kept.
class CompareSink : public RegReadSink {
 public:
  CompareSink(Simulation& simulation, std::vector<RegReadProblem>& problems)
      : simulation_(simulation), problems_(problems) {}
  void Header(int) override {}
  void Key(std::u16string_view path, bool deletion, std::size_t) override {
    simulation_.Key(RegKeyName(path), deletion);
  }
  void Value(std::u16string_view name, uint32_t type, std::string_view bytes,
             std::size_t) override {
    simulation_.SetValue(name, type, bytes);
  }
  void DeleteValue(std::u16string_view name, std::size_t) override {
    simulation_.DeleteValue(name);
  }
  void Problem(std::size_t line, std::string text) override {
    problems_.push_back({line, std::move(text)});
  }

 private:
  Simulation& simulation_;
  std::vector<RegReadProblem>& problems_;
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
  for (const RegImportStep& step : import.steps) {
    switch (step.kind) {
      case RegImportStep::Kind::CreateKey:
      case RegImportStep::Kind::DeleteKey:
        simulation.Key(step.key, step.kind == RegImportStep::Kind::DeleteKey);
        break;
      case RegImportStep::Kind::SetValue:
        simulation.SetValue(Utf8ToUtf16(step.valueName), step.value.type, step.value.data);
        break;
      case RegImportStep::Kind::DeleteValue:
        simulation.DeleteValue(Utf8ToUtf16(step.valueName));
        break;
    }
  }
  RegComparison result = simulation.Result();
  result.problems = import.problems;
  return result;
}

RegComparison CompareRegFile(const std::string& path, RegistryStore& store) {
  Simulation simulation(store);
  std::vector<RegReadProblem> problems;
  CompareSink sink(simulation, problems);
  ReadRegFile(path, path, sink);
  RegComparison result = simulation.Result();
  result.problems = std::move(problems);
  return result;
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
