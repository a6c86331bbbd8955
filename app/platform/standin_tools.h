// Tool paths for Linux builds: the bundle's stand-ins for the macOS services the app drives.
#pragma once

#include <string>

#include "app/platform/tools.h"

namespace kestrova {

// `resources` is the bundle's Contents/Resources folder; the stand-ins live in its standins/.
[[nodiscard]] Tools standinToolsIn(const std::string& resources);

}  // namespace kestrova
