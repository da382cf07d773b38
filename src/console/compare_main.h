// tarnwick --compare FILE.reg [-r SOURCE] [-u NAME]: lists what importing
// the REG file would change in the registry source now, without writing
// anything.
#pragma once

#include <functional>
#include <string>

#include "backitem/startup.h"

namespace tarnwick::console {

// Opens the registry source for the -u user profile given.
using RegistrySourceOpenerFor = std::function<RegistrySourceFactory(const std::string& user)>;

// input.arguments start with "--compare". Returns 0 when the import would
// change nothing, kExitWouldChange when it would, and the usual statuses for
// a wrong command line, a file or a registry source that cannot be read.
int RunCompare(const StartupInput& input, const RegistrySourceOpenerFor& openerFor);

}  // namespace tarnwick::console
