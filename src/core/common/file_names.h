// Names derived from user text: file names made from key paths and item
// captions, keys of the data file's INI sections, and the REG file version.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Replaces each of \ / : * ? " < > | by '_'; everything else is kept.
std::string ValidFileName(std::string_view text);

// An INI key may hold neither '=' nor, after escaping, a bare '%':
// '%' -> "%25" first, then '=' -> "%3D".
std::string EncodeIniKey(std::string_view text);
// The inverse: "%3D" -> '=' first, then "%25" -> '%'. Case-sensitive.
std::string DecodeIniKey(std::string_view text);

// The REG file version for a setting: 4 or 5 as set, and for 0 (automatic)
// the one the system's registry editor writes.
int EffectiveRegEditVer(int setting);

}  // namespace tarnwick
