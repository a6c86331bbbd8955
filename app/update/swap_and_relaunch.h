// Handing a verified disk image to the update helper and quitting so that it can swap the bundle.
#pragma once

#include <optional>
#include <string>

namespace kestrova::Updater {

// Seconds between the helper's start and the application's termination.
inline constexpr double kTerminateDelay = 0.3;

// Writes the helper script, stops the engine's agent, starts the helper on `dmg` and schedules
// the application's termination. Absent when the helper runs, else the message to show: the
// script could not be written (the agent still runs) or the helper could not be started (the
// agent has been stopped and the caller must bring it back).
[[nodiscard]] std::optional<std::string> swapAndRelaunch(const std::string& dmg);

}  // namespace kestrova::Updater
