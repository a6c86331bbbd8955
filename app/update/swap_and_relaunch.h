// Handing a verified disk image to the update helper and quitting so that it can swap the bundle.
#pragma once

#include <optional>
#include <string>

namespace kestrova::Updater {

// Why the helper did not take over, and whether the engine was stopped on the way.
struct SwapFailure {
  std::string message;  // what to show the user
  // False when the script could not be written: the agent was never touched and the broadcast
  // goes on. True when the helper could not be started after the agent had been stopped: the
  // caller must bring the engine back.
  bool engineStopped = false;
};

// True for a path the helper may replace: a folder named *.app holding Contents/Info.plist.
[[nodiscard]] bool isAppBundle(const std::string& path);

// Writes the helper script, stops the engine's agent, starts the helper on `dmg` and posts the
// application's termination, which runs even under an open alert. Absent when the helper runs.
// Refused, with nothing touched, when the running copy is not an application bundle.
[[nodiscard]] std::optional<SwapFailure> swapAndRelaunch(const std::string& dmg);

}  // namespace kestrova::Updater
