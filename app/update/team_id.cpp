#include "app/update/team_id.h"

#include <string_view>

#include "app/platform/platform.h"

namespace kestrova::Updater {
namespace {

constexpr std::string_view kTeamKey = "TeamIdentifier=";
// codesign reads the signature from the file; it never needs long.
constexpr double kCodesignLimit = 60.0;

bool isTeamText(std::string_view value) {
  constexpr std::string_view kAlphanumeric =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  return !value.empty() && value.size() <= 64 &&
         value.find_first_not_of(kAlphanumeric) == std::string_view::npos;
}

}  // namespace

std::optional<std::string> teamIDFromCodesign(const ToolOutput& result) {
  std::string_view output = result.err;
  // A failing codesign that still names a team identifier is read all the same.
  if (result.status != 0 && output.find(kTeamKey) == std::string_view::npos) {
    return std::nullopt;
  }
  std::optional<std::string_view> value;
  int lines = 0;
  while (!output.empty()) {
    const auto end = output.find('\n');
    const auto line = output.substr(0, end);
    if (line.starts_with(kTeamKey)) {
      ++lines;
      value = line.substr(kTeamKey.size());
    }
    output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
  }
  if (lines != 1 || !isTeamText(*value)) {
    return std::nullopt;
  }
  return std::string(*value);
}

std::optional<std::string> teamID(const std::string& path) {
  return teamIDFromCodesign(
      platform().runner().runLimited(platform().tools().codesign, {"-dvv", path}, kCodesignLimit));
}

}  // namespace kestrova::Updater
