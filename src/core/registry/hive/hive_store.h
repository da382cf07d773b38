// The registry of an offline Windows installation (a disk that does not
// boot, a second disk, a dual-boot partition, a disk image mounted on
// Linux), read from its hive files through libhivex and never written:
//   HKLM\SAM, SECURITY, SOFTWARE, SYSTEM  Windows/System32/config/<name>
//   HKU\.DEFAULT                          Windows/System32/config/DEFAULT
//   HKU\<SID>, HKU\<SID>_Classes          NTUSER.DAT and UsrClass.dat of
//                                         each profile in SOFTWARE's ProfileList
//   HKCU                                  one of those profiles
//   HKCR                                  HKCU\Software\Classes over HKLM\SOFTWARE\Classes
//   HKCC                                  SYSTEM\CurrentControlSet\Hardware Profiles\Current
// The links Windows makes at boot and logon are made here too:
// SYSTEM\CurrentControlSet is ControlSet<nnn> from Select\Current,
// Hardware Profiles\Current is the profile that Control\IDConfigDB's
// CurrentConfig numbers (0001 without it), a user's Software\Classes is the
// user's UsrClass.dat. The view is the native one (no Wow6432Node
// redirection).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "registry/hive/hive_namespace.h"
#include "registry/registry_store.h"

namespace tarnwick {

class HiveStore : public RegistryStore {
 public:
  // Opens the hives of the installation in folder (see
  // FindWindowsInstallation). HKCU is the profile whose folder name (or SID)
  // is user, in any case; with user empty, the only profile of a person's
  // account. Throws ERegistrySourceError, naming the folder or the file, when
  // the folder is no installation, a machine hive cannot be read or is
  // damaged, or the profile cannot be chosen. A profile whose hives cannot be
  // read, or an installation without one, only leaves that user's keys out.
  HiveStore(std::string folder, std::string user);
  ~HiveStore() override;

  // Every key that exists opens, whatever the access asked for. An open key
  // keeps the files it reads open, also across a Refresh().
  std::unique_ptr<RegistryKey> OpenKey(uint32_t root, std::string_view path,
                                       uint32_t access) override;
  // Opens the hives again when one of them changed on disk. Throws like the
  // constructor, and then keeps the data it had.
  void Refresh(const std::function<void()>& processMessages = {}) override;
  // Every hive file opened.
  std::vector<std::string> SourceFiles() const override;
  // Damage found inside the hives, and the keys of a profile that could not
  // be read (HKCU, HKCR and that user's HKU keys) that were asked for.
  std::vector<StoreProblem> TakeProblems() override;
  // The hives whose last changes may be missing: a write cut off, logs never
  // written into them.
  std::vector<std::string> SourceNotes() const override;
  bool ReadOnly() const override { return true; }

 private:
  struct State;

  std::string folder_;
  std::string user_;
  std::unique_ptr<State> state_;
};

}  // namespace tarnwick
