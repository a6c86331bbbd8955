// The placement rule: may this copy of the app run the engine from where it lies?
#pragma once

namespace kestrova::Updater {

// True when KESTROVA_ALLOW_ANYWHERE is exactly "1", or the bundle lies under "/Applications/".
[[nodiscard]] bool runningFromApplications();

}  // namespace kestrova::Updater
