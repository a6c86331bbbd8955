// The first-run setup: greet, install the engine's agent, then open the dashboard.
#include <string>

#include "app/dashboard/dashboard_window.h"
#include "app/engine/agent.h"
#include "app/platform/platform.h"
#include "app/shell/app_delegate.h"

namespace kestrova {
namespace {

// Time for the freshly loaded engine to begin listening; the window retries beyond that.
constexpr double kDashboardAfterSetup = 3.0;

}  // namespace

void AppDelegate::firstRun() {
  AlertSpec welcome;
  welcome.message = "Welcome to Kestrova";
  welcome.informative =
      "Kestrova will set itself up to run in the background, so your channel keeps broadcasting "
      "after restarts and power cuts.\n\nNext it will open the dashboard, where you choose your "
      "video folder and connect your YouTube channel.";
  welcome.buttons = {"Set Up", "Later"};
  // "Later" remembers nothing: with no agent file, the next launch asks again.
  if (platform().ui().runAlert(welcome).response != kAlertFirstButton) {
    return;
  }
  if (auto failure = Agent::install()) {
    alert("Setup could not finish", *failure);
    return;
  }
  platform().loop().postAfter(kDashboardAfterSetup, whileAlive([](AppDelegate& self) {
                                self.dashboard_->show();
                                self.poll();
                              }));
}

}  // namespace kestrova
