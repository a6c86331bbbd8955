// The operations on an installed agent: query, stop, restart, remove, and repointing a stale one.
#include <sys/stat.h>

#include <filesystem>

#include "app/engine/agent.h"
#include "app/engine/agent_launchctl.h"
#include "app/engine/agent_locations.h"
#include "app/engine/paths.h"
#include "app/engine/xml_text.h"
#include "app/platform/file_text.h"
#include "app/platform/platform.h"
#include "app/platform/utf8.h"
#include "app/update/placement.h"

namespace kestrova::Agent {
namespace {

std::optional<std::string> readUtf8File(const std::string& path) {
  auto text = readWholeFile(path);
  if (!text || !isValidUtf8(*text)) {
    return std::nullopt;
  }
  return text;
}

}  // namespace

bool isLoaded() { return queryFindsService(); }

bool stop() {
  launchctl({"bootout", serviceTarget()});
  if (waitForService(false)) {
    return true;
  }
  return !isLoaded();
}

void restart() { launchctl({"kickstart", "-k", serviceTarget()}); }

void uninstall() {
  launchctl({"bootout", serviceTarget()});
  std::error_code ignored;
  std::filesystem::remove(Paths::agentPlist(), ignored);
}

bool isStale() {
  const std::string path = Paths::agentPlist();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return false;
  }
  // Something that cannot be read as a file (a folder in its place) counts as unreadable.
  const auto text = S_ISREG(info.st_mode) ? readUtf8File(path) : std::nullopt;
  if (!text) {
    return false;
  }
  const std::string executable = engineExecutable();
  const std::string expected =
      platform().host().isExecutableFile(executable) ? executable : engineScript();
  return text->find(xmlEscaped(expected)) == std::string::npos;
}

Repair repairIfStale() {
  if (!isStale() || !Updater::runningFromApplications()) {
    return {};
  }
  platform().host().systemLog("Kestrova: startup agent points elsewhere \u2014 repointing to " +
                              engineScript());
  // A failed reinstallation leaves what install() leaves; the caller must say so, since nothing
  // broadcasts then.
  return {true, install()};
}

}  // namespace kestrova::Agent
