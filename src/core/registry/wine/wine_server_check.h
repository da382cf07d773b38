// Whether a wineserver runs for a Wine prefix. wineserver reads the registry
// files once, keeps them in memory and writes them back over the files, so
// they may be changed only while none runs.
//
// Its directory is server-<dev>-<inode> (the prefix folder's, in hex) below
// /tmp/.wine-<uid> with Wine as released, or below $TMPDIR (default /tmp)
// in the folder named by the prefix's "wineserver" file with Debian's wine.
// A running server holds a write lock on the first byte of its "lock" file.
#pragma once

#include <string>
#include <vector>

namespace tarnwick {

// The directories a wineserver for the prefix may use: the one of each
// layout that applies. Empty when the prefix folder cannot be examined.
std::vector<std::string> WineServerDirs(const std::string& prefixDir);

// Whether another process holds the lock of a server directory. No lock
// file is no server; a lock that cannot be examined counts as held.
bool WineServerLockHeld(const std::string& serverDir);

// True when a server runs for the prefix, and when that cannot be ruled out
// (the prefix folder or its "wineserver" file cannot be examined).
bool WineServerRunning(const std::string& prefixDir);

}  // namespace tarnwick
