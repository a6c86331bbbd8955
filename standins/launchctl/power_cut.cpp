// The power cut: every supervisor and every program it runs dies at once, nothing is unloaded
// cleanly, and the service table is left as a restarted machine has it: empty until login.
#include <signal.h>

#include <chrono>
#include <thread>

#include "standins/launchctl/service_state.h"
#include "standins/launchctl/status_file.h"
#include "standins/launchctl/verbs.h"
#include "standins/system/process_facts.h"

namespace kestrova::launchd {
namespace {

constexpr auto kSettleLimit = std::chrono::seconds(5);
constexpr auto kSettlePoll = std::chrono::milliseconds(10);

void killGroupAndLeader(pid_t pid) {
  if (pid > 0) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
  }
}

// Kills what one held service runs; false when its status could not be read yet.
bool cut(const std::string& folder) {
  const auto status = readStatus(folder);
  if (!status || status->supervisor <= 0) {
    return false;
  }
  // Frozen first, so it cannot start another program between our reading and our killing.
  ::kill(status->supervisor, SIGSTOP);
  if (const auto now = readStatus(folder)) {
    killGroupAndLeader(now->pid);
  }
  for (pid_t child : standin::childrenOf(status->supervisor)) {
    killGroupAndLeader(child);
  }
  ::kill(status->supervisor, SIGKILL);
  return true;
}

}  // namespace

int powerCut(std::ostream& out) {
  const auto limit = std::chrono::steady_clock::now() + kSettleLimit;
  for (;;) {
    bool anyHeld = false;
    for (const auto& folder : allServiceFolders()) {
      if (isHeld(folder)) {
        anyHeld = true;
        cut(folder);
      }
    }
    if (!anyHeld) {
      return 0;
    }
    if (std::chrono::steady_clock::now() >= limit) {
      out << "some services outlived the power cut\n";
      return 1;
    }
    std::this_thread::sleep_for(kSettlePoll);
  }
}

}  // namespace kestrova::launchd
