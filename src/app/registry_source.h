// The one place that turns a registry source into a store: a Wine prefix
// folder on this platform. Batch mode and the window both open it here.
#pragma once

#include <memory>
#include <string>

#include "registry/registry_store.h"

namespace tarnwick::app {

// Throws ERegistrySourceError, naming the path, when it cannot be used.
std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source);

// The source without -r: $WINEPREFIX when set, else ~/.wine.
std::string DefaultRegistrySource();

}  // namespace tarnwick::app
