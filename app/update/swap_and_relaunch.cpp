#include "app/update/swap_and_relaunch.h"

#include "app/engine/agent.h"
#include "app/platform/atomic_file.h"
#include "app/platform/platform.h"
#include "app/update/helper_script.h"
#include "app/update/update_paths.h"

namespace kestrova::Updater {

std::optional<SwapFailure> swapAndRelaunch(const std::string& dmg) {
  const auto script = helperScriptPath();
  // Written durably and whole, executable: the helper outlives us and must find it intact.
  if (auto error = writeFileAtomically(script, helperScript(platform().tools()), 0755)) {
    return SwapFailure{"Could not write the update helper: " + *error, false};
  }
  // The engine must not run from the bundle being replaced; the new copy loads it again.
  Agent::stop();
  const auto& host = platform().host();
  const std::vector<std::string> arguments{script, std::to_string(host.processId()),
                                           host.bundlePath(), dmg, helperLogPath()};
  if (auto error = host.spawnDetached(platform().tools().bash, arguments)) {
    return SwapFailure{"Could not start the update helper: " + *error, true};
  }
  platform().loop().postAfter(kTerminateDelay, [] { platform().ui().terminate(); });
  return std::nullopt;
}

}  // namespace kestrova::Updater
