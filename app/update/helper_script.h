// The update helper: a bash script that swaps the bundle after the application has quit.
#pragma once

#include <string>

#include "app/platform/tools.h"

namespace kestrova::Updater {

// The helper's text: 19 lines, no line feed after the last. With the Mac's tool paths it is
// the fixed script; other hdiutil, ditto and open paths take the place of those three.
// Arguments: pid, bundle path, image path, log path.
[[nodiscard]] std::string helperScript(const Tools& tools);

}  // namespace kestrova::Updater
