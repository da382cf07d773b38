#include "memory_store.h"

#include <algorithm>

#include "common/key_path.h"
#include "common/text_codec.h"
#include "registry/name_fold.h"

namespace tarnwick {

struct MemoryStore::Node {
  struct Value {
    std::string name;
    RegValue value;
    ValueFault fault = ValueFault::None;
  };

  std::string name;
  std::u16string wideName;
  bool readOnly = false;
  std::vector<std::unique_ptr<Node>> children;  // sorted by upper-case fold
  std::vector<Value> values;                    // in creation order
  bool unreadable = false;
  bool vanished = false;
  bool subKeysUnlistable = false;

  Node* Child(std::string_view childName) const {
    std::u16string wide = Utf8ToUtf16(childName);
    for (const auto& child : children) {
      if (CompareFoldedUpper(child->wideName, wide) == 0) return child.get();
    }
    return nullptr;
  }

  // The key at a path below this one; null when it is missing or vanished.
  Node* Below(std::string_view path) {
    std::vector<std::string_view> parts;
    if (!SplitKeyPath(path, parts)) return nullptr;
    Node* node = this;
    for (std::string_view part : parts) {
      node = node->Child(part);
      if (!node || node->vanished) return nullptr;
    }
    return node;
  }

  Node* AddChild(std::string_view childName) {
    if (Node* existing = Child(childName)) return existing;
    auto node = std::make_unique<Node>();
    node->name = childName;
    node->wideName = Utf8ToUtf16(childName);
    auto at =
        std::lower_bound(children.begin(), children.end(), node, [](const auto& a, const auto& b) {
          return CompareFoldedUpper(a->wideName, b->wideName) < 0;
        });
    return children.insert(at, std::move(node))->get();
  }

  const Value* FindValue(std::string_view valueName) const {
    std::u16string wide = Utf8ToUtf16(valueName);
    for (const Value& v : values) {
      if (CompareFoldedUpper(Utf8ToUtf16(v.name), wide) == 0) return &v;
    }
    return nullptr;
  }

  // Replaces the data of a value of this name (any case), keeping its
  // spelling and place, or adds the value last.
  void Set(std::string_view valueName, RegValue value) {
    std::u16string wide = Utf8ToUtf16(valueName);
    for (Value& v : values) {
      if (CompareFoldedUpper(Utf8ToUtf16(v.name), wide) == 0) {
        v.value = std::move(value);
        return;
      }
    }
    values.push_back(Value{std::string(valueName), std::move(value)});
  }
};

namespace {

class MemoryKey : public RegistryKey {
 public:
  // Without a list of failing value names the key is open for reading only.
  MemoryKey(MemoryStore::Node& node, const std::vector<std::u16string>* writeFaults)
      : node_(node), writeFaults_(writeFaults) {}

  bool SubKeyNames(std::vector<std::string>& names) const override {
    if (node_.subKeysUnlistable) return false;
    for (const auto& child : node_.children) names.push_back(child->name);
    return true;
  }

  bool ValueNames(std::vector<std::string>& names) const override {
    for (const auto& v : node_.values) names.push_back(v.name);
    return true;
  }

  bool HasSubKeys() const override { return !node_.children.empty(); }

  std::unique_ptr<RegistryKey> OpenSubKey(std::string_view path, uint32_t) const override {
    MemoryStore::Node* node = node_.Below(path);
    if (!node || node->unreadable) return nullptr;
    return std::make_unique<MemoryKey>(*node, nullptr);
  }
  bool SubKeyExists(std::string_view path) const override { return node_.Below(path) != nullptr; }

  bool QueryValueInfo(std::string_view name, TextForm form, uint32_t& type,
                      uint32_t& size) const override {
    const auto* v = node_.FindValue(name);
    if (!v || v->fault == MemoryStore::ValueFault::Vanished) return false;
    type = v->value.type;
    size = static_cast<uint32_t>(Data(*v, form).size());
    return true;
  }

  bool QueryValue(std::string_view name, TextForm form, uint32_t maxSize,
                  RegValue& value) const override {
    const auto* v = node_.FindValue(name);
    if (!v || v->fault != MemoryStore::ValueFault::None) return false;
    std::string data = Data(*v, form);
    if (data.size() > maxSize) return false;
    value.type = v->value.type;
    value.data = std::move(data);
    return true;
  }

  bool SetValue(std::string_view name, uint32_t type, std::string_view data) override {
    if (!writeFaults_) return false;
    std::u16string wide = Utf8ToUtf16(name);
    for (const auto& fault : *writeFaults_) {
      if (CompareFoldedUpper(fault, wide) == 0) return false;
    }
    node_.Set(name, RegValue{type, std::string(data)});
    return true;
  }

 private:
  static std::string Data(const MemoryStore::Node::Value& v, TextForm form) {
    return form == TextForm::Wide ? v.value.data : NarrowValueData(v.value.type, v.value.data);
  }

  MemoryStore::Node& node_;
  const std::vector<std::u16string>* writeFaults_;
};

}  // namespace

MemoryStore::MemoryStore() {
  for (const TRegRootKey& root : RootKeys) roots_[root.RootKey] = std::make_unique<Node>();
}

MemoryStore::~MemoryStore() = default;

MemoryStore::Node* MemoryStore::Find(uint32_t root, std::string_view path) const {
  auto it = roots_.find(root);
  return it == roots_.end() ? nullptr : it->second->Below(path);
}

MemoryStore::Node* MemoryStore::Create(std::string_view keyPath) {
  TRegRootKey root;
  FindRootKey(keyPath, root);
  auto it = roots_.find(root.RootKey);
  std::string relative(keyPath);
  RemoveRootName(relative);
  std::vector<std::string_view> parts;
  if (it == roots_.end() || !SplitKeyPath(relative, parts)) return nullptr;
  Node* node = it->second.get();
  for (std::string_view part : parts) node = node->AddChild(part);
  return node;
}

void MemoryStore::AddKey(std::string_view keyPath) {
  Create(keyPath);
}

void MemoryStore::SetValue(std::string_view keyPath, std::string_view name, uint32_t type,
                           std::string data) {
  if (Node* node = Create(keyPath)) node->Set(name, RegValue{type, std::move(data)});
}

void MemoryStore::SetString(std::string_view keyPath, std::string_view name, std::string_view text,
                            uint32_t type) {
  std::u16string wide = Utf8ToUtf16(text);
  wide.push_back(u'\0');
  SetValue(keyPath, name, type, Utf16ToLeBytes(wide));
}

void MemoryStore::SetDword(std::string_view keyPath, std::string_view name, uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  SetValue(keyPath, name, kRegDword, std::move(data));
}

void MemoryStore::SetUnreadable(std::string_view keyPath) {
  if (Node* node = Create(keyPath)) node->unreadable = true;
}

void MemoryStore::SetVanished(std::string_view keyPath) {
  if (Node* node = Create(keyPath)) node->vanished = true;
}

void MemoryStore::SetSubKeysUnlistable(std::string_view keyPath) {
  if (Node* node = Create(keyPath)) node->subKeysUnlistable = true;
}

void MemoryStore::SetReadOnly(std::string_view keyPath) {
  if (Node* node = Create(keyPath)) node->readOnly = true;
}

void MemoryStore::SetWriteFault(std::string_view valueName) {
  writeFaults_.push_back(Utf8ToUtf16(valueName));
}

void MemoryStore::SetValueFault(std::string_view keyPath, std::string_view name, ValueFault fault) {
  Node* node = Create(keyPath);
  if (!node) return;
  std::u16string wide = Utf8ToUtf16(name);
  for (auto& v : node->values) {
    if (CompareFoldedUpper(Utf8ToUtf16(v.name), wide) == 0) v.fault = fault;
  }
}

std::unique_ptr<RegistryKey> MemoryStore::OpenKey(uint32_t root, std::string_view path, uint32_t) {
  Node* node = Find(root, path);
  if (!node || node->unreadable) return nullptr;
  return std::make_unique<MemoryKey>(*node, nullptr);
}

bool MemoryStore::KeyExists(uint32_t root, std::string_view path) {
  return Find(root, path) != nullptr;
}

std::unique_ptr<RegistryKey> MemoryStore::OpenKeyForWrite(uint32_t root, std::string_view path,
                                                          bool create) {
  auto it = roots_.find(root);
  std::vector<std::string_view> parts;
  if (it == roots_.end() || !SplitKeyPath(path, parts)) return nullptr;
  Node* node = it->second.get();
  for (std::string_view part : parts) {
    Node* child = node->Child(part);
    if (!child && (!create || node->readOnly)) return nullptr;
    node = child ? child : node->AddChild(part);
    if (node->vanished) return nullptr;
  }
  if (node->unreadable || node->readOnly) return nullptr;
  return std::make_unique<MemoryKey>(*node, &writeFaults_);
}

}  // namespace tarnwick
