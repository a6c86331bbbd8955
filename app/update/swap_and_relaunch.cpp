#include "app/update/swap_and_relaunch.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/engine/agent.h"
#include "app/platform/platform.h"
#include "app/update/helper_script.h"
#include "app/update/update_paths.h"

namespace kestrova::Updater {
namespace {

namespace fs = std::filesystem;

// Writes the text under a temporary name beside the target and renames it into place, so the
// script is never seen half-written; then makes it 0755. Absent on success, else the reason.
std::optional<std::string> writeExecutable(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  {
    errno = 0;
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (file) {
      file.write(text.data(), static_cast<std::streamsize>(text.size()));
      file.close();
    }
    if (file.fail()) {
      const int code = errno != 0 ? errno : EIO;
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return std::generic_category().message(code);
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return error.message();
  }
  fs::permissions(path, fs::perms(0755), fs::perm_options::replace, error);
  if (error) {
    return error.message();
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> swapAndRelaunch(const std::string& dmg) {
  const auto script = helperScriptPath();
  if (auto error = writeExecutable(script, helperScript(platform().tools()))) {
    return "Could not write the update helper: " + *error;
  }
  // The engine must not run from the bundle being replaced; the new copy loads it again.
  Agent::stop();
  const auto& host = platform().host();
  const std::vector<std::string> arguments{script, std::to_string(host.processId()),
                                           host.bundlePath(), dmg, helperLogPath()};
  if (auto error = host.spawnDetached(platform().tools().bash, arguments)) {
    return "Could not start the update helper: " + *error;
  }
  platform().loop().postAfter(kTerminateDelay, [] { platform().ui().terminate(); });
  return std::nullopt;
}

}  // namespace kestrova::Updater
