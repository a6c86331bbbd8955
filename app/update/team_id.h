// The developer team that signed an item, as codesign reports it.
#pragma once

#include <optional>
#include <string>

#include "app/platform/command_runner.h"

namespace kestrova::Updater {

// The team identifier in `codesign -dvv` output: the first line beginning "TeamIdentifier=",
// that prefix removed. Absent when codesign failed without naming one, no such line exists, or
// the value is "not set" (unsigned and ad-hoc signed items).
[[nodiscard]] std::optional<std::string> teamIDFromCodesign(const ShellResult& result);

// Runs codesign on the path and reads its team identifier.
[[nodiscard]] std::optional<std::string> teamID(const std::string& path);

}  // namespace kestrova::Updater
