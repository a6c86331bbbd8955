// The user's commands over the engine's background service: start, stop, restart, login start.
#include <string>

#include "app/engine/agent.h"
#include "app/platform/platform.h"
#include "app/shell/agent_file.h"
#include "app/shell/app_delegate.h"

namespace kestrova {
namespace {

constexpr double kPollAfterStart = 2.0;
constexpr double kPollAfterStop = 1.0;
constexpr double kPollAfterRestart = 2.0;

}  // namespace

// Scheduled once any alert has been dismissed, so the delay counts from then.
void AppDelegate::pollAfter(double seconds) {
  platform().loop().postAfter(seconds, whileAlive([](AppDelegate& self) { self.poll(); }));
}

void AppDelegate::startEngine() {
  if (agentFileExists() && Agent::isLoaded()) {
    Agent::restart();
  } else if (auto failure = Agent::install()) {
    // A stopped service keeps its file but is no longer loaded: it needs a full installation.
    alert("Could not start Kestrova", *failure);
  }
  pollAfter(kPollAfterStart);
}

void AppDelegate::stopEngine() {
  AlertSpec confirm;
  confirm.message = "Stop broadcasting?";
  confirm.informative =
      "Your channel goes off air until you choose Start Kestrova. Playout resumes from exactly "
      "where it stopped.";
  confirm.buttons = {"Stop", "Cancel"};
  if (platform().ui().runAlert(confirm).response != kAlertFirstButton) {
    return;
  }
  if (!Agent::stop()) {
    alert("Could not stop the engine",
          "macOS did not release the background service. Try again, or restart the Mac.");
  }
  pollAfter(kPollAfterStop);
}

void AppDelegate::restartEngine() {
  Agent::restart();
  pollAfter(kPollAfterRestart);
}

// The check mark follows the file, so the menu is rebuilt at once; the state follows at the
// next regular poll.
void AppDelegate::toggleAgent() {
  if (agentFileExists()) {
    Agent::uninstall();
  } else if (auto failure = Agent::install()) {
    alert("Could not enable automatic start", *failure);
  }
  rebuildMenu();
}

}  // namespace kestrova
