#include "registry/registry.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"
#include "common/key_path.h"
#include "common/text_codec.h"

namespace tarnwick {
namespace {

std::string Quoted(std::string_view name) {
  return "'" + std::string(name) + "'";
}

[[noreturn]] void ThrowGetDataFailed(std::string_view name) {
  throw ERegistryException(Quoted(name) + " の取得に失敗しました");
}

[[noreturn]] void ThrowWriteFailed(std::string_view name) {
  throw ERegistryException(Quoted(name) + " の書き込みに失敗しました");
}

[[noreturn]] void ThrowInvalidType(std::string_view name) {
  throw ERegistryException(Quoted(name) + " のデータ型が不正です");
}

TRegDataType KindOf(uint32_t type) {
  switch (type) {
    case kRegSz:
      return TRegDataType::rdString;
    case kRegExpandSz:
      return TRegDataType::rdExpandString;
    case kRegBinary:
      return TRegDataType::rdBinary;
    case kRegDword:
      return TRegDataType::rdInteger;
    default:
      return TRegDataType::rdUnknown;
  }
}

constexpr uint32_t kReadOnlyAccess[] = {kKeyRead, kKeyExistsAccess, kKeyQueryValue};

}  // namespace

std::u16string WideTextUpToNul(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2 + 1);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char16_t unit = static_cast<unsigned char>(bytes[i]);
    if (i + 1 < bytes.size())
      unit |= static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

void TRegistry::SetRootKey(uint32_t root) {
  if (root != root_) CloseKey();
  root_ = root;
}

bool TRegistry::KeyExists(std::string_view path) {
  return root_ != 0 && store_.KeyExists(root_, path);
}

bool TRegistry::OpenKeyReadOnly(std::string_view path) {
  CloseKey();
  if (root_ != 0) current_ = tarnwick::OpenKeyReadOnly(store_, root_, path);
  return current_ != nullptr;
}

bool TRegistry::OpenKey(std::string_view path, bool canCreate) {
  CloseKey();
  if (root_ != 0) current_ = store_.OpenKeyForWrite(root_, path, canCreate);
  return current_ != nullptr;
}

void TRegistry::CloseKey() {
  current_.reset();
}

std::unique_ptr<RegistryKey> OpenKeyReadOnly(RegistryStore& store, uint32_t root,
                                             std::string_view path) {
  for (uint32_t access : kReadOnlyAccess) {
    if (auto key = store.OpenKey(root, path, access)) return key;
  }
  return nullptr;
}

std::unique_ptr<RegistryKey> OpenSubKeyReadOnly(const RegistryKey& parent, std::string_view path) {
  for (uint32_t access : kReadOnlyAccess) {
    if (auto key = parent.OpenSubKey(path, access)) return key;
  }
  return nullptr;
}

void KeyReader::GetKeyNames(std::vector<std::string>& names) const {
  names.clear();
  if (key_) key_->SubKeyNames(names);
}

void KeyReader::GetValueNames(std::vector<std::string>& names) const {
  names.clear();
  if (key_) key_->ValueNames(names);
}

bool KeyReader::HasSubKeys() const {
  return key_ && key_->HasSubKeys();
}

bool KeyReader::QueryValueInfo(std::string_view name, TextForm form, uint32_t& type,
                               uint32_t& size) const {
  return key_ && key_->QueryValueInfo(name, form, type, size);
}

bool KeyReader::QueryValue(std::string_view name, TextForm form, uint32_t maxSize,
                           RegValue& value) const {
  return key_ && key_->QueryValue(name, form, maxSize, value);
}

// Existence and type are the same in both forms; the wide form needs no
// conversion of string data to learn them.
bool KeyReader::ValueExists(std::string_view name) const {
  uint32_t type = 0, size = 0;
  return QueryValueInfo(name, TextForm::Wide, type, size);
}

bool KeyReader::GetDataInfo(std::string_view name, TRegDataInfo& info) const {
  uint32_t type = 0, size = 0;
  if (!QueryValueInfo(name, TextForm::Narrow, type, size)) {
    info = TRegDataInfo();
    return false;
  }
  info.RegData = KindOf(type);
  info.DataSize = size;
  return true;
}

TRegDataType KeyReader::GetDataType(std::string_view name) const {
  uint32_t type = 0, size = 0;
  return QueryValueInfo(name, TextForm::Wide, type, size) ? KindOf(type) : TRegDataType::rdUnknown;
}

std::string KeyReader::ReadString(std::string_view name) const {
  RegValue value;
  uint32_t size = 0;
  if (!QueryValueInfo(name, TextForm::Wide, value.type, size) ||
      !QueryValue(name, TextForm::Wide, size, value)) {
    ThrowGetDataFailed(name);
  }
  if (value.type != kRegSz && value.type != kRegExpandSz) ThrowInvalidType(name);
  return Utf16ToUtf8(WideTextUpToNul(value.data));
}

uint32_t KeyReader::ReadInteger(std::string_view name) const {
  RegValue value;
  if (!QueryValue(name, TextForm::Narrow, sizeof(uint32_t), value)) ThrowGetDataFailed(name);
  if (value.type != kRegDword) ThrowInvalidType(name);
  uint32_t result = 0;
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    result |= static_cast<uint32_t>(static_cast<unsigned char>(value.data[i])) << (8 * i);
  }
  return result;
}

std::size_t KeyReader::ReadBinaryData(std::string_view name, void* buffer, std::size_t size) const {
  RegValue value;
  uint32_t type = 0, dataSize = 0;
  if (!QueryValueInfo(name, TextForm::Narrow, type, dataSize) ||
      !QueryValue(name, TextForm::Narrow, dataSize, value)) {
    ThrowGetDataFailed(name);
  }
  std::size_t n = std::min(size, value.data.size());
  if (n > 0) std::memcpy(buffer, value.data.data(), n);
  return n;
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
  std::u16string wide = Utf8ToUtf16(value);
  wide.push_back(u'\0');
  if (!current_ || !current_->SetValue(name, kRegSz, Utf16ToLeBytes(wide))) ThrowWriteFailed(name);
}

void TRegistry::WriteInteger(std::string_view name, uint32_t value) {
  char data[4];
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  if (!current_ || !current_->SetValue(name, kRegDword, std::string_view(data, 4))) {
    ThrowWriteFailed(name);
  }
}

bool KeyPathExists(RegistryStore& store, std::string_view path) {
  KeyPathParts parts = ParseKeyPath(path);
  TRegistry registry(store);
  registry.SetRootKey(parts.root.RootKey);
  if (parts.root.RootKey == 0 || !registry.KeyExists(parts.subPath)) return false;
  if (!parts.valueName) return true;
  registry.OpenKeyReadOnly(parts.subPath);
  return registry.ValueExists(*parts.valueName);
}

}  // namespace tarnwick
