// The developer team that signed an item, as codesign reports it.
#pragma once

#include <optional>
#include <string>

#include "app/platform/command_runner.h"

namespace kestrova::Updater {

// The team identifier in `codesign -dvv` output, read from its standard error alone (where
// codesign describes a signature): the value of the one line beginning "TeamIdentifier=".
// Absent when codesign failed without naming one, when no such line or more than one exists
// (text in a path printed on an earlier line must not pass for the team), or when the value is
// not letters and digits only ("not set" for unsigned and ad-hoc signed items).
[[nodiscard]] std::optional<std::string> teamIDFromCodesign(const ToolOutput& result);

// Runs codesign on the path, within a time limit, and reads its team identifier.
[[nodiscard]] std::optional<std::string> teamID(const std::string& path);

}  // namespace kestrova::Updater
