// The registry of a Wine prefix, read from the files wineserver keeps there:
// system.reg (HKLM), user.reg (HKCU, also HKU\S-1-5-21-0-0-0-1000) and
// userdef.reg (HKU\.Default). Presents the five roots as Wine does, follows
// link keys and enumerates in wineserver's order. HKCR is HKLM\Software\Classes
// alone, without the user's classes, as under Wine; the view is the native
// one (no Wow6432Node redirection). A missing file is an empty branch.
// Writes go to the HKCU branch only (wine_user_writer.h) and are on disk
// when they succeed.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "registry/registry_store.h"

namespace tarnwick {

class WinePrefixStore : public RegistryStore {
 public:
  // Loads the prefix's registry files. Throws ERegistrySourceError, naming the
  // folder or the file, when the folder does not exist or holds none of the
  // three files, or a file cannot be read or is not a Wine registry file.
  explicit WinePrefixStore(std::string prefixDir);
  ~WinePrefixStore() override;

  // Every key that exists opens, whatever the access asked for. An open key
  // shares the tree it was opened in: it stays valid after Refresh() but goes
  // on showing the data of before the reload.
  std::unique_ptr<RegistryKey> OpenKey(uint32_t root, std::string_view path,
                                       uint32_t access) override;
  // Reloads the files when one changed on disk since it was read (wineserver
  // saves every 30 seconds). Throws like the constructor, and then keeps the
  // data it had.
  void Refresh(const std::function<void()>& processMessages = {}) override;
  // system.reg, userdef.reg and user.reg of the prefix.
  std::vector<std::string> SourceFiles() const override;

  // Keys of HKCU, or of HKU\S-1-5-21-0-0-0-1000, the same branch; other
  // roots fail. Reads through the key see its writes; it must not outlive
  // the store. A write fails while a wineserver runs for the prefix.
  std::unique_ptr<RegistryKey> OpenKeyForWrite(uint32_t root, std::string_view path,
                                               bool create) override;

 private:
  struct State;
  class WriteKey;

  // After a write, reloads the files before the next read; a reload that
  // fails keeps the old data and is reported by the next Refresh().
  void CatchUp();
  bool SetUserValue(std::span<const std::u16string> names, std::u16string_view name, uint32_t type,
                    std::string_view data);

  std::string prefixDir_;
  std::unique_ptr<State> state_;
  bool written_ = false;
};

}  // namespace tarnwick
