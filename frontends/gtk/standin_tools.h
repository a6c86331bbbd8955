// The tool paths of the Linux program: the bundle's stand-ins for the macOS services it drives.
#pragma once

#include <string>

#include "app/platform/tools.h"

namespace kestrova::gtk {

// `resources` is the bundle's Contents/Resources folder; the stand-ins live in its standins/.
[[nodiscard]] Tools standinToolsIn(const std::string& resources);

}  // namespace kestrova::gtk
