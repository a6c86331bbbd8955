// What a supervisor tells the other launchctl invocations about its service: written by the
// supervisor after every change, read by print, kickstart and the power cut.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrova::launchd {

struct ServiceStatus {
  std::string label;
  std::string path;  // the property list it was loaded from
  std::string program;
  std::vector<std::string> arguments;
  std::string standardOutPath;
  std::string standardErrorPath;
  pid_t supervisor = 0;
  pid_t pid = 0;  // the running program (its process group has the same id), 0 when none
  int runs = 0;
  std::string state;     // "running", "waiting" (throttled or not started) or "exiting"
  std::string lastExit;  // "(never exited)", a status number, or the signal's name
};

void writeStatus(const std::string& folder, const ServiceStatus& status);
[[nodiscard]] std::optional<ServiceStatus> readStatus(const std::string& folder);

// The text `launchctl print` shows for a service.
[[nodiscard]] std::string describe(const std::string& target, const ServiceStatus& status);

}  // namespace kestrova::launchd
