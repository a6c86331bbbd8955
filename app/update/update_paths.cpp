#include "app/update/update_paths.h"

#include "app/engine/paths.h"

namespace kestrova::Updater {

std::string updatesDir() { return Paths::engineDataDir() + "/updates"; }

std::string imagePath(const std::string& version) {
  return updatesDir() + "/Kestrova-" + version + ".dmg";
}

std::string helperScriptPath() { return updatesDir() + "/swap.sh"; }

std::string helperLogPath() { return updatesDir() + "/update.log"; }

}  // namespace kestrova::Updater
