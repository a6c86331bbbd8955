// The detail of a refused Gatekeeper assessment, as the update message quotes it.
#pragma once

#include <string>

#include "app/platform/command_runner.h"

namespace kestrova::Updater {

// "(spctl rc=<status>: <output>)", the output trimmed of surrounding white space and line
// breaks and cut to its first 120 characters (never inside a UTF-8 sequence).
[[nodiscard]] std::string gatekeeperDetail(const ShellResult& assessment);

}  // namespace kestrova::Updater
