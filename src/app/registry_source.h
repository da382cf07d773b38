// The one place that turns a registry source into a store: on Linux a
// Windows installation folder (its hive files) or a Wine prefix folder, on
// Windows the live registry. Batch mode and the window both open it here.
#pragma once

#include <memory>
#include <string>

#include "backitem/startup.h"
#include "registry/registry_store.h"

namespace tarnwick::app {

// A folder that holds SOFTWARE in Windows/System32/config, System32/config,
// config or itself (a Windows installation, its Windows folder, or a copy of
// config) is read as a Windows installation, any other as a Wine prefix.
// user is -u's profile name, empty without -u; only an installation has
// profiles to choose from. Throws ERegistrySourceError, naming the path,
// when the source cannot be used.
std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source,
                                                  const std::string& user = "");
// The factory start-up calls, with -u's profile name bound.
RegistrySourceFactory RegistrySourceOpener(const std::string& user);

// The source without -r: $WINEPREFIX when set, else ~/.wine; on Windows
// empty, the live registry.
std::string DefaultRegistrySource();

}  // namespace tarnwick::app
