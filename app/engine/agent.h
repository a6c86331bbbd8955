// The engine as a per-user launchd agent: its property list and the operations on the service.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrova::Agent {

// The property-list text for the given program arguments (no trailing line break).
[[nodiscard]] std::string plist(const std::vector<std::string>& programArgs);
// The first Python 3 candidate that runs, or absent.
[[nodiscard]] std::optional<std::string> workingPython();
// Writes the property list and loads the service. Absent on success, else the text to show.
[[nodiscard]] std::optional<std::string> install();
// True when launchd knows the service.
[[nodiscard]] bool isLoaded();
// Unloads the service; true when it is gone.
bool stop();
// Asks launchd to kill and start the program now.
void restart();
// Unloads the service and deletes the property list.
void uninstall();
// True when an installed property list does not name this copy's engine.
[[nodiscard]] bool isStale();
// What repairIfStale() did: nothing, or a reinstallation that worked or failed.
struct Repair {
  bool attempted = false;              // the file named another copy and this one took over
  std::optional<std::string> failure;  // install()'s message when the reinstallation failed
};
// Reinstalls when stale (and allowed to run from here).
[[nodiscard]] Repair repairIfStale();

}  // namespace kestrova::Agent
