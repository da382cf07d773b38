#include "registry/win32/win32_store.h"

#include <windows.h>

#include "common/text_codec.h"
#include "platform/win32/wide_text.h"

namespace tarnwick {
namespace {

using platform::Narrow;
using platform::Widen;

// Names up to this length are enumerated without asking for the longest.
constexpr DWORD kNameBuffer = 256;

// The predefined handle of one of the five roots; null for any other value.
HKEY RootHandle(uint32_t root) {
  switch (root) {
    case 0x80000000:
    case 0x80000001:
    case 0x80000002:
    case 0x80000003:
    case 0x80000005:
      // The predefined handles are 32-bit values sign-extended to a pointer.
      return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
    default:
      return nullptr;
  }
}

// Lists names with enumerate(index, buffer, length) from index 0 until
// there are no more; a name too long for the buffer is asked for again with
// a larger one (value names reach 16,383 characters).
template <typename Enumerate>
bool EnumerateNames(std::vector<std::string>& names, Enumerate enumerate) {
  names.clear();
  std::wstring buffer(kNameBuffer, L'\0');
  for (DWORD index = 0;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    LONG result = enumerate(index, buffer.data(), &length);
    if (result == ERROR_MORE_DATA && buffer.size() < 32768) {
      buffer.resize(buffer.size() * 4);
      continue;
    }
    if (result == ERROR_NO_MORE_ITEMS) return true;
    if (result != ERROR_SUCCESS) return false;
    names.push_back(Narrow(std::wstring_view(buffer.data(), length)));
    ++index;
  }
}

// The path as Windows takes it: names joined by single backslashes. False
// for an empty name inside the path.
bool WindowsPath(std::string_view path, std::wstring& result) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names)) return false;
  std::string joined;
  for (std::string_view name : names) {
    if (!joined.empty()) joined += '\\';
    joined += name;
  }
  result = Widen(joined);
  return true;
}

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : key_(key) {}
  ~Win32Key() override { RegCloseKey(key_); }
  Win32Key(const Win32Key&) = delete;
  Win32Key& operator=(const Win32Key&) = delete;

  bool SubKeyNames(std::vector<std::string>& names) const override {
    return EnumerateNames(names, [this](DWORD index, wchar_t* name, DWORD* length) {
      return RegEnumKeyExW(key_, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
  }

  bool ValueNames(std::vector<std::string>& names) const override {
    return EnumerateNames(names, [this](DWORD index, wchar_t* name, DWORD* length) {
      return RegEnumValueW(key_, index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
  }

  bool HasSubKeys() const override {
    DWORD count = 0;
    return RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           count > 0;
  }

  std::unique_ptr<RegistryKey> OpenSubKey(std::string_view path, uint32_t access) const override {
    return OpenBelow(key_, path, access);
  }

  bool QueryValueInfo(std::string_view name, TextForm form, uint32_t& type,
                      uint32_t& size) const override {
    std::wstring wideName = Widen(name);
    DWORD valueType = 0, valueSize = 0;
    if (RegQueryValueExW(key_, wideName.c_str(), nullptr, &valueType, nullptr, &valueSize) !=
        ERROR_SUCCESS) {
      return false;
    }
    type = valueType;
    size = valueSize;
    if (form == TextForm::Narrow && IsStringType(valueType)) {
      RegValue value;
      if (!ReadWide(wideName, value)) return false;
      size = static_cast<uint32_t>(NarrowValueData(value.type, value.data).size());
    }
    return true;
  }

  bool QueryValue(std::string_view name, TextForm form, uint32_t maxSize,
                  RegValue& value) const override {
    if (!ReadWide(Widen(name), value)) return false;
    if (form == TextForm::Narrow) value.data = NarrowValueData(value.type, value.data);
    return value.data.size() <= maxSize;
  }

  bool SetValue(std::string_view name, uint32_t type, std::string_view data) override {
    return RegSetValueExW(key_, Widen(name).c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }

  static std::unique_ptr<RegistryKey> OpenBelow(HKEY parent, std::string_view path,
                                                uint32_t access) {
    std::wstring widePath;
    HKEY key = nullptr;
    if (!parent || !WindowsPath(path, widePath) ||
        RegOpenKeyExW(parent, widePath.c_str(), 0, access | KEY_WOW64_64KEY, &key) !=
            ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<Win32Key>(key);
  }

 private:
  // The value's type and data as stored. The data may grow between the size
  // query and the read; then the read is tried again with the new size.
  bool ReadWide(const std::wstring& name, RegValue& value) const {
    DWORD type = 0, size = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
      value.data.resize(size);
      DWORD got = size;
      LONG result =
          RegQueryValueExW(key_, name.c_str(), nullptr, &type,
                           size == 0 ? nullptr : reinterpret_cast<BYTE*>(value.data.data()), &got);
      if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && size == 0 && got > 0)) {
        size = got;
        continue;
      }
      if (result != ERROR_SUCCESS) return false;
      value.type = type;
      value.data.resize(got);
      return true;
    }
    return false;
  }

  HKEY key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32RegistryStore::OpenKey(uint32_t root, std::string_view path,
                                                         uint32_t access) {
  return Win32Key::OpenBelow(RootHandle(root), path, access);
}

std::unique_ptr<RegistryKey> Win32RegistryStore::OpenKeyForWrite(uint32_t root,
                                                                 std::string_view path,
                                                                 bool create) {
  HKEY parent = RootHandle(root);
  std::wstring widePath;
  if (!parent || !WindowsPath(path, widePath)) return nullptr;
  const REGSAM access = KEY_READ | KEY_WRITE | KEY_WOW64_64KEY;
  HKEY key = nullptr;
  LONG result = create ? RegCreateKeyExW(parent, widePath.c_str(), 0, nullptr, 0, access, nullptr,
                                         &key, nullptr)
                       : RegOpenKeyExW(parent, widePath.c_str(), 0, access, &key);
  if (result != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32Key>(key);
}

}  // namespace tarnwick
