// The one place that turns a registry source into a store: a Wine prefix
// folder on Linux, the live registry on Windows. Batch mode and the window
// both open it here.
#pragma once

#include <memory>
#include <string>

#include "registry/registry_store.h"

namespace tarnwick::app {

// Throws ERegistrySourceError, naming the path, when it cannot be used.
std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source);

// The source without -r: $WINEPREFIX when set, else ~/.wine; on Windows
// empty, the live registry.
std::string DefaultRegistrySource();

}  // namespace tarnwick::app
