#include "app/update/team_id.h"

#include <string_view>

#include "app/engine/shell.h"
#include "app/platform/platform.h"

namespace kestrova::Updater {
namespace {

constexpr std::string_view kTeamKey = "TeamIdentifier=";

std::optional<std::string> firstTeamLine(std::string_view output) {
  while (!output.empty()) {
    const auto end = output.find('\n');
    const auto line = output.substr(0, end);
    if (line.starts_with(kTeamKey)) {
      return std::string(line);
    }
    if (end == std::string_view::npos) {
      break;
    }
    output.remove_prefix(end + 1);
  }
  return std::nullopt;
}

std::string withoutKey(std::string line) {
  for (auto at = line.find(kTeamKey); at != std::string::npos; at = line.find(kTeamKey, at)) {
    line.erase(at, kTeamKey.size());
  }
  return line;
}

}  // namespace

std::optional<std::string> teamIDFromCodesign(const ShellResult& result) {
  // A failing codesign that still names a team identifier is read all the same.
  if (result.status != 0 && result.output.find("TeamIdentifier") == std::string::npos) {
    return std::nullopt;
  }
  auto line = firstTeamLine(result.output);
  if (!line) {
    return std::nullopt;
  }
  auto value = withoutKey(std::move(*line));
  if (value == "not set") {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> teamID(const std::string& path) {
  return teamIDFromCodesign(shell(platform().tools().codesign, {"-dvv", path}));
}

}  // namespace kestrova::Updater
