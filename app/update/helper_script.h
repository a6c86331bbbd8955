// The update helper: a bash script that swaps the bundle after the application has quit.
#pragma once

#include <string>

#include "app/platform/tools.h"

namespace kestrova::Updater {

// The helper's text: 28 lines, no line feed after the last. Other hdiutil, ditto and open paths
// than the Mac's take the place of those three words.
// Arguments: pid, bundle path, image path, log path. A bundle path that is not a *.app folder
// holding Contents/Info.plist is refused before anything is touched.
[[nodiscard]] std::string helperScript(const Tools& tools);

}  // namespace kestrova::Updater
