#include "app/engine/agent_launchctl.h"

#include "app/engine/agent_locations.h"
#include "app/engine/shell.h"
#include "app/platform/platform.h"

namespace kestrova::Agent {
namespace {

constexpr int kChecks = 20;
constexpr double kCheckPause = 0.150;
// Not enforced by the runner; launchctl answers at once.
constexpr double kLaunchctlTimeout = 30;

}  // namespace

ShellResult launchctl(const std::vector<std::string>& arguments) {
  return shell(platform().tools().launchctl, arguments, kLaunchctlTimeout);
}

bool queryFindsService() { return launchctl({"print", serviceTarget()}).status == 0; }

bool waitForService(bool loaded) {
  for (int check = 0; check < kChecks; ++check) {
    if (queryFindsService() == loaded) {
      return true;
    }
    platform().host().sleepFor(kCheckPause);
  }
  return false;
}

}  // namespace kestrova::Agent
