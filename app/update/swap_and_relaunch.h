// Handing a verified disk image to the update helper and quitting so that it can swap the bundle.
#pragma once

#include <optional>
#include <string>

namespace kestrova::Updater {

// Seconds between the helper's start and the application's termination.
inline constexpr double kTerminateDelay = 0.3;

// Why the helper did not take over, and whether the engine was stopped on the way.
struct SwapFailure {
  std::string message;  // what to show the user
  // False when the script could not be written: the agent was never touched and the broadcast
  // goes on. True when the helper could not be started after the agent had been stopped: the
  // caller must bring the engine back.
  bool engineStopped = false;
};

// Writes the helper script, stops the engine's agent, starts the helper on `dmg` and schedules
// the application's termination. Absent when the helper runs.
[[nodiscard]] std::optional<SwapFailure> swapAndRelaunch(const std::string& dmg);

}  // namespace kestrova::Updater
