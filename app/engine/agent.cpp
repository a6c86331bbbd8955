// Choosing the engine program and installing the agent.
#include "app/engine/agent.h"

#include <filesystem>

#include "app/engine/agent_launchctl.h"
#include "app/engine/agent_locations.h"
#include "app/engine/paths.h"
#include "app/engine/shell.h"
#include "app/platform/atomic_file.h"
#include "app/platform/platform.h"
#include "app/update/placement.h"

namespace kestrova::Agent {
namespace {

constexpr int kLoadAttempts = 3;
constexpr double kPauseBetweenAttempts = 0.5;
constexpr double kProbeTimeout = 30;
// launchd refuses agent files that others may write to.
constexpr mode_t kPlistMode = 0644;

const char* const kPythonMessage =
    "Kestrova needs Python, which this Mac doesn't have yet.\n\n"
    "Open Terminal and run:    xcode-select --install\n\n"
    "Accept the prompt, wait for it to finish, then open Kestrova again.";

std::string trimmed(const std::string& text) {
  const char* const space = " \t\n\r\v\f";
  const auto first = text.find_first_not_of(space);
  if (first == std::string::npos) {
    return "";
  }
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// The engine executable inside the bundle when there is one, else the script under Python.
std::optional<std::vector<std::string>> programArguments() {
  const std::string guard = platform().tools().caffeinate;
  const std::string executable = engineExecutable();
  if (platform().host().isExecutableFile(executable)) {
    return std::vector<std::string>{guard, "-is", executable};
  }
  const auto python = workingPython();
  if (!python) {
    return std::nullopt;
  }
  return std::vector<std::string>{guard, "-is", *python, engineScript()};
}

std::string locationMessage() {
  return "Kestrova is running from " + platform().host().bundlePath() +
         ". Please drag it to the Applications folder first, then open it from there.";
}

std::string startMessage(const std::string& lastOutput) {
  std::string message = "The background service would not start.";
  if (!lastOutput.empty()) {
    message += " launchctl said: " + lastOutput;
  }
  return message;
}

// Up to three bootstraps, each followed by a wait for launchd to show the service.
std::optional<std::string> load() {
  std::string lastOutput;
  for (int attempt = 1; attempt <= kLoadAttempts; ++attempt) {
    const ShellResult result = launchctl({"bootstrap", domainTarget(), Paths::agentPlist()});
    lastOutput = trimmed(result.output);
    // A service that is still (or already) there is waited for like a fresh one.
    const bool accepted =
        result.status == 0 || result.output.find("already bootstrapped") != std::string::npos;
    if (accepted && waitForService(true)) {
      return std::nullopt;
    }
    if (attempt < kLoadAttempts) {
      platform().host().sleepFor(kPauseBetweenAttempts);
    }
  }
  if (isLoaded()) {
    return std::nullopt;
  }
  return startMessage(lastOutput);
}

}  // namespace

std::optional<std::string> workingPython() {
  for (const auto& candidate : platform().tools().pythonCandidates) {
    if (!platform().host().isExecutableFile(candidate)) {
      continue;
    }
    const ShellResult probe = shell(candidate, {"-c", "print('ok')"}, kProbeTimeout);
    if (probe.status == 0 && probe.output.find("ok") != std::string::npos) {
      return candidate;
    }
  }
  return std::nullopt;
}

std::optional<std::string> install() {
  std::error_code ignored;
  std::filesystem::create_directories(Paths::logDir(), ignored);
  std::filesystem::create_directories(std::filesystem::path(Paths::agentPlist()).parent_path(),
                                      ignored);

  const auto arguments = programArguments();
  if (!arguments) {
    return kPythonMessage;
  }
  if (!Updater::runningFromApplications()) {
    return locationMessage();
  }
  if (auto failure = writeFileAtomically(Paths::agentPlist(), plist(*arguments), kPlistMode)) {
    return "Could not write the startup file: " + *failure;
  }
  // There may be nothing to unload; either way the old service must be gone before loading.
  launchctl({"bootout", serviceTarget()});
  waitForService(false);
  return load();
}

}  // namespace kestrova::Agent
