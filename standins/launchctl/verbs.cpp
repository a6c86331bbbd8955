#include "standins/launchctl/verbs.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>

#include "standins/launchctl/daemon.h"
#include "standins/launchctl/job.h"
#include "standins/launchctl/service_state.h"
#include "standins/launchctl/status_file.h"
#include "standins/launchctl/supervisor.h"

namespace kestrova::launchd {
namespace {

namespace fs = std::filesystem;

constexpr auto kKickstartLimit = std::chrono::seconds(10);
constexpr auto kKickstartPoll = std::chrono::milliseconds(20);

struct ServiceTarget {
  std::string domain;
  std::string label;
};

std::optional<ServiceTarget> parseServiceTarget(const std::string& target) {
  const auto slash = target.find('/', target.find('/') + 1);
  if (slash == std::string::npos || target.find('/') == std::string::npos) {
    return std::nullopt;
  }
  ServiceTarget parsed{target.substr(0, slash), target.substr(slash + 1)};
  if (!domainFolderName(parsed.domain) || parsed.label.empty() ||
      parsed.label.find('/') != std::string::npos || parsed.label.front() == '.') {
    return std::nullopt;
  }
  return parsed;
}

int badTarget(std::ostream& out) {
  out << "Unrecognized target specifier.\n";
  return kUsageStatus;
}

int notFound(const ServiceTarget& target, std::ostream& out) {
  out << "Bad request.\nCould not find service \"" << target.label << "\" in domain for user "
      << target.domain.substr(0, 3) << ": " << target.domain.substr(4) << "\n";
  return kNoSuchServiceStatus;
}

int ioError(const std::string& detail, std::ostream& out) {
  out << "Bootstrap failed: 5: Input/output error\n" << detail << "\n";
  return kIoErrorStatus;
}

}  // namespace

int bootstrap(const std::string& domain, const std::string& plistPath, std::ostream& out) {
  if (!domainFolderName(domain)) {
    return badTarget(out);
  }
  const std::string path = fs::absolute(plistPath).lexically_normal().string();
  const JobReading reading = readJob(path);
  if (!reading.job) {
    return ioError(path + ": " + reading.error, out);
  }
  const Fd domainLock = lockDomain(domain);
  const std::string folder = serviceFolder(domain, reading.job->label);
  if (isHeld(folder)) {
    if (isStopping(folder)) {
      out << "Bootstrap failed: 37: Operation already in progress\n";
      return kInProgressStatus;
    }
    return ioError("Service is already bootstrapped: " + domain + "/" + reading.job->label, out);
  }
  if (auto failure = spawnSupervisor(domain, path)) {
    return ioError(*failure, out);
  }
  return 0;
}

int bootout(const std::string& serviceTarget, std::ostream& out) {
  const auto target = parseServiceTarget(serviceTarget);
  if (!target) {
    return badTarget(out);
  }
  const Fd domainLock = lockDomain(target->domain);
  const std::string folder = serviceFolder(target->domain, target->label);
  const auto status = isHeld(folder) ? readStatus(folder) : std::nullopt;
  if (!status || status->supervisor <= 0) {
    out << "Boot-out failed: 113: Could not find specified service\n";
    return kNoSuchServiceStatus;
  }
  markStopping(folder);
  // The supervisor ends the program and then lets go of the service, a moment from now.
  ::kill(status->supervisor, kBootoutSignal);
  return 0;
}

int print(const std::string& serviceTarget, std::ostream& out) {
  const auto target = parseServiceTarget(serviceTarget);
  if (!target) {
    return badTarget(out);
  }
  const std::string folder = serviceFolder(target->domain, target->label);
  const auto status = isHeld(folder) ? readStatus(folder) : std::nullopt;
  if (!status) {
    return notFound(*target, out);
  }
  out << describe(serviceTarget, *status);
  return 0;
}

int kickstart(const std::vector<std::string>& arguments, std::ostream& out) {
  bool kill = false;
  bool printPid = false;
  std::string serviceTarget;
  for (const auto& argument : arguments) {
    if (argument == "-k")
      kill = true;
    else if (argument == "-p")
      printPid = true;
    else
      serviceTarget = argument;
  }
  const auto target = parseServiceTarget(serviceTarget);
  if (!target) {
    return badTarget(out);
  }
  const std::string folder = serviceFolder(target->domain, target->label);
  const auto before = isHeld(folder) ? readStatus(folder) : std::nullopt;
  if (!before) {
    return notFound(*target, out);
  }
  if (!kill && before->pid > 0) {
    return 0;
  }
  ::kill(before->supervisor, kill ? kRestartSignal : kKickstartSignal);
  // Like the real tool, return once the program has been started again.
  std::optional<ServiceStatus> after = before;
  const auto limit = std::chrono::steady_clock::now() + kKickstartLimit;
  while (after && after->runs == before->runs && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(kKickstartPoll);
    after = isHeld(folder) ? readStatus(folder) : std::nullopt;
  }
  if (printPid && after && after->pid > 0) {
    out << "service spawned with pid: " << after->pid << "\n";
  }
  return 0;
}

int replayLogin(const std::string& domain, std::ostream& out) {
  if (!domainFolderName(domain)) {
    return badTarget(out);
  }
  const char* home = std::getenv("HOME");
  const fs::path agents = fs::path(home != nullptr ? home : "") / "Library/LaunchAgents";
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(agents, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".plist" && name.front() != '.') {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    const JobReading reading = readJob(file.string());
    if (reading.job && isHeld(serviceFolder(domain, reading.job->label))) {
      continue;
    }
    // At login launchd loads what it can and only logs the rest.
    std::ostringstream failure;
    if (bootstrap(domain, file.string(), failure) != 0) {
      out << file.string() << ": " << failure.str();
    }
  }
  return 0;
}

}  // namespace kestrova::launchd
