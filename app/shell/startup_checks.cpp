// The checks every launch makes before it settles into polling: placement and the agent.
#include <string>

#include "app/engine/agent.h"
#include "app/platform/platform.h"
#include "app/shell/agent_file.h"
#include "app/shell/app_delegate.h"
#include "app/update/placement.h"

namespace kestrova {

bool AppDelegate::checkPlacement() {
  if (Updater::runningFromApplications()) {
    return true;
  }
  AlertSpec question;
  question.message = "Move Kestrova to Applications";
  question.informative = "Kestrova is running from:\n" + platform().host().bundlePath() +
                         "\n\nIt must live in the Applications folder to broadcast reliably. "
                         "Quit, drag Kestrova to Applications, and open it from there.";
  question.buttons = {"Quit"};
  // The only button is "Quit": however the question ends, this copy does not stay.
  (void)platform().ui().runAlert(question);
  platform().ui().terminate();
  return false;
}

void AppDelegate::checkAgentAtStartup() {
  if (!agentFileExists()) {
    firstRun();
    return;
  }
  if (!Agent::isLoaded()) {
    // After an update swap or a manual unload: take the agent back silently. A failure shows
    // only as the polls staying offline.
    platform().host().systemLog(
        "Kestrova: startup agent present but not loaded \u2014 bootstrapping");
    (void)Agent::install();
    return;
  }
  const Agent::Repair repair = Agent::repairIfStale();
  if (repair.failure) {
    alert("The engine could not be started", *repair.failure);
  } else if (repair.attempted) {
    alert("Kestrova updated",
          "This copy of Kestrova is now the one that runs in the background, and your channel "
          "will keep broadcasting as before.");
  }
}

}  // namespace kestrova
