// Reading and writing a TOption in a section of either INI file (the data
// file's [Settings], the settings file's [DefaultSettings]).
#pragma once

#include <string_view>

#include "backitem/option.h"

namespace tarnwick {

// Each key defaults to the record's current value, so keys missing from the
// file keep what the record held.
template <typename Ini>
void ReadOption(const Ini& ini, std::string_view section, TOption& option) {
  option.RegFileName = ini.ReadString(section, "RegFileName", option.RegFileName);
  option.FullRestore = ini.ReadBool(section, "FullRestore", option.FullRestore);
  option.RegEditVer = ini.ReadInteger(section, "RegEditVer", option.RegEditVer);
  option.NewLineImport = ini.ReadBool(section, "NewLineImport", option.NewLineImport);
  option.AddComment = ini.ReadBool(section, "AddComment", option.AddComment);
  option.Separate = ini.ReadBool(section, "Separate", option.Separate);
  option.CreateBackup = ini.ReadBool(section, "CreateBackup", option.CreateBackup);
  option.SeparateName = ini.ReadInteger(section, "SeparateName", option.SeparateName);
}

template <typename Ini>
void WriteOption(Ini& ini, std::string_view section, const TOption& option) {
  ini.WriteString(section, "RegFileName", option.RegFileName);
  ini.WriteBool(section, "FullRestore", option.FullRestore);
  ini.WriteInteger(section, "RegEditVer", option.RegEditVer);
  ini.WriteBool(section, "NewLineImport", option.NewLineImport);
  ini.WriteBool(section, "AddComment", option.AddComment);
  ini.WriteBool(section, "Separate", option.Separate);
  ini.WriteBool(section, "CreateBackup", option.CreateBackup);
  ini.WriteInteger(section, "SeparateName", option.SeparateName);
}

}  // namespace tarnwick
