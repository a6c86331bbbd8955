// The "Show Logs…" and "Get Help…" commands: the engine's log in the file manager, the website.
#pragma once

#include <string>

namespace kestrova::Support {

// Paths::logDir()/stream.log
[[nodiscard]] std::string streamLogPath();

// Shows the engine's log selected in the file manager; nothing is said when it is not there yet.
void showLogs();

// Opens the product website's home page in the default browser.
void openHelp();

}  // namespace kestrova::Support
