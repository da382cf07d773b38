// The folders a POSIX program takes from its user: the current folder for
// relative names, the home folder, and the configuration folder.
#pragma once

#include <string>

namespace tarnwick::app {

// $HOME, else the user's entry in the password database.
std::string HomeFolder();
// The current folder, with a trailing '/'; empty when it cannot be found.
std::string WorkingDir();
// $XDG_CONFIG_HOME/tarnwick/ (~/.config/tarnwick/ without it).
std::string ConfigDir();

}  // namespace tarnwick::app
