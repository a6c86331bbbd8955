#include "app/dashboard/dashboard_password.h"

#include <algorithm>
#include <vector>

#include "app/engine/constants.h"
#include "app/engine/shell.h"
#include "app/platform/platform.h"

namespace kestrova::DashboardPassword {

namespace {

constexpr std::string_view kBlanks = " \t\n\r\v\f";

// Overwrites the characters before releasing them, so the secret does not linger in freed
// memory longer than it must. Best effort: copies made by the toolkit are out of our reach.
void wipe(std::string& secret) {
  std::fill(secret.begin(), secret.end(), '\0');
  secret.clear();
  secret.shrink_to_fit();
}

}  // namespace

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

std::optional<std::string> fromResult(const ShellResult& result) {
  if (result.status != 0) {
    return std::nullopt;
  }
  auto password = trimmed(result.output);
  if (password.empty()) {
    return std::nullopt;
  }
  return password;
}

void show() {
  const std::vector<std::string> arguments = {
      "find-generic-password", "-s", kBundleID, "-a", "password", "-w"};
  ShellResult result = shell(platform().tools().security, arguments);
  std::optional<std::string> password = fromResult(result);
  wipe(result.output);
  Ui& ui = platform().ui();
  if (!password) {
    (void)ui.runAlert({kFailedMessage, kFailedText, {"OK"}, std::nullopt});
    return;
  }
  AlertSpec shown{"Dashboard password",
                  *password + "\n\nType this into the dashboard when it asks.",
                  {"Copy", "Done"},
                  std::nullopt};
  const AlertAnswer answer = ui.runAlert(shown);
  wipe(shown.informative);
  if (answer.response == kAlertFirstButton) {
    ui.setPasteboardText(*password);
  }
  wipe(*password);
}

}  // namespace kestrova::DashboardPassword
