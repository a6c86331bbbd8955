// The agent's conversation with launchctl: the four invocations and the short waits between them.
#pragma once

#include <string>
#include <vector>

#include "app/platform/command_runner.h"

namespace kestrova::Agent {

// One launchctl invocation through the command runner.
ShellResult launchctl(const std::vector<std::string>& arguments);
// `print <service>`: status 0 exactly when launchd knows the service.
[[nodiscard]] bool queryFindsService();
// Runs the query up to 20 times, 150 ms apart, until launchd does (or no longer does) know the
// service; true as soon as it does. Each query that misses is followed by the pause.
bool waitForService(bool loaded);

}  // namespace kestrova::Agent
