#include "app/update/swap_and_relaunch.h"

#include <filesystem>
#include <system_error>

#include "app/engine/agent.h"
#include "app/platform/atomic_file.h"
#include "app/platform/platform.h"
#include "app/update/helper_script.h"
#include "app/update/product_site.h"
#include "app/update/update_paths.h"

namespace kestrova::Updater {

bool isAppBundle(const std::string& path) {
  std::error_code error;
  return path.ends_with(".app") &&
         std::filesystem::is_regular_file(path + "/Contents/Info.plist", error);
}

std::optional<SwapFailure> swapAndRelaunch(const std::string& dmg) {
  // The helper moves the installed copy aside and deletes it: only ever a bundle, never the
  // folder a bare executable happens to run from, with everything else in it.
  const auto bundle = platform().host().bundlePath();
  if (!isAppBundle(bundle)) {
    return SwapFailure{
        "Kestrova is not running from an application bundle, so it cannot "
        "replace itself. Install the new version by hand from " +
            std::string(kProductWebsite),
        false};
  }
  const auto script = helperScriptPath();
  // Written durably and whole, executable: the helper outlives us and must find it intact.
  if (auto error = writeFileAtomically(script, helperScript(platform().tools()), 0755)) {
    return SwapFailure{"Could not write the update helper: " + *error, false};
  }
  // The engine must not run from the bundle being replaced; the new copy loads it again.
  Agent::stop();
  const auto& host = platform().host();
  const std::vector<std::string> arguments{script, std::to_string(host.processId()), bundle, dmg,
                                           helperLogPath()};
  if (auto error = host.spawnDetached(platform().tools().bash, arguments)) {
    return SwapFailure{"Could not start the update helper: " + *error, true};
  }
  // Posted, not delayed: a delayed task waits for any alert open now, and the helper waits for
  // us, so the station would stay off air until someone came to close it. Terminating dismisses
  // the open alerts.
  platform().loop().post([] { platform().ui().terminate(); });
  return std::nullopt;
}

}  // namespace kestrova::Updater
