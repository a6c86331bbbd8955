// Tool paths for Linux builds: the bundle's stand-ins for the macOS services the app drives.
#pragma once

#include <string>

#include "app/platform/tools.h"

namespace kestrova {

// The stand-ins in the folder `standins` (the Linux bundle's Contents/Resources/standins).
[[nodiscard]] Tools standinToolsIn(const std::string& standins);

}  // namespace kestrova
