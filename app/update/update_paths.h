// The updates folder and the files an update keeps there: disk image, helper script, helper log.
#pragma once

#include <string>

namespace kestrova::Updater {

// engine data folder/updates
[[nodiscard]] std::string updatesDir();
// updatesDir()/Kestrova-<version>.dmg, the version exactly as published.
[[nodiscard]] std::string imagePath(const std::string& version);
// updatesDir()/swap.sh
[[nodiscard]] std::string helperScriptPath();
// updatesDir()/update.log
[[nodiscard]] std::string helperLogPath();

}  // namespace kestrova::Updater
