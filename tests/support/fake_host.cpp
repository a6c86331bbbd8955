#include "tests/support/fake_host.h"

#include <unistd.h>

#include <thread>

#include "app/platform/posix_host.h"

namespace kestrova::testing {

std::optional<std::string> FakeHost::environment(const std::string& name) const {
  auto found = env.find(name);
  if (found == env.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<std::string> FakeHost::infoString(const std::string& key) const {
  auto found = info.find(key);
  if (found == info.end()) {
    return std::nullopt;
  }
  return found->second;
}

void FakeHost::systemLog(const std::string& line) const {
  std::lock_guard lock(mutex_);
  logs_.push_back(line);
}

bool FakeHost::isExecutableFile(const std::string& path) const {
  return ::access(path.c_str(), X_OK) == 0;
}

void FakeHost::sleepFor(double seconds) const {
  {
    std::lock_guard lock(mutex_);
    slept_ += seconds;
  }
  if (realSleeps) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
}

std::optional<std::string> FakeHost::spawnDetached(
    const std::string& path, const std::vector<std::string>& arguments) const {
  {
    std::lock_guard lock(mutex_);
    std::vector<std::string> call{path};
    call.insert(call.end(), arguments.begin(), arguments.end());
    spawned_.push_back(std::move(call));
  }
  if (!realSpawns) {
    return std::nullopt;
  }
  return PosixHost().spawnDetached(path, arguments);
}

std::vector<std::string> FakeHost::logLines() const {
  std::lock_guard lock(mutex_);
  return logs_;
}

double FakeHost::sleptSeconds() const {
  std::lock_guard lock(mutex_);
  return slept_;
}

std::vector<std::vector<std::string>> FakeHost::spawned() const {
  std::lock_guard lock(mutex_);
  return spawned_;
}

}  // namespace kestrova::testing
