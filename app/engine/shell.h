// Runs one system tool synchronously and returns its status and combined output.
#pragma once

#include <string>
#include <vector>

#include "app/platform/command_runner.h"

namespace kestrova {

// Runs the executable at `path` (never searched on PATH) with `arguments` as they stand, through
// the installed platform's command runner. Blocks the calling thread until the tool has exited.
// `timeout` is accepted but not enforced: no caller relies on a tool being stopped.
ShellResult shell(const std::string& path, const std::vector<std::string>& arguments,
                  double timeout = 0);

}  // namespace kestrova
