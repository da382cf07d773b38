// The folders the program takes from its user: the current folder for
// relative names, the home folder, and the configuration folder. On Windows
// relative names are the program folder's, and the configuration folder is
// %APPDATA%\Tarnwick\ (the folder beside the program still comes first).
#pragma once

#include <string>

namespace tarnwick::app {

// $HOME, else the user's entry in the password database; empty on Windows.
std::string HomeFolder();
// The current folder, with a trailing '/'; empty when it cannot be found,
// and on Windows, where the program's folder is the base.
std::string WorkingDir();
// $XDG_CONFIG_HOME/tarnwick/ (~/.config/tarnwick/ without it).
std::string ConfigDir();

}  // namespace tarnwick::app
