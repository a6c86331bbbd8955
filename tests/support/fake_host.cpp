#include "tests/support/fake_host.h"

#include <unistd.h>

#include <thread>

#include "app/platform/posix_host.h"

namespace kestrova::testing {

std::optional<std::string> FakeHost::environment(const std::string& name) const {
  const auto found = env.find(name);
  return found == env.end() ? std::nullopt : std::optional(found->second);
}

std::optional<std::string> FakeHost::infoString(const std::string& key) const {
  const auto found = info.find(key);
  return found == info.end() ? std::nullopt : std::optional(found->second);
}

void FakeHost::systemLog(const std::string& line) const {
  std::lock_guard lock(mutex_);
  logs_.push_back(line);
}

bool FakeHost::isExecutableFile(const std::string& path) const {
  return ::access(path.c_str(), X_OK) == 0;
}

void FakeHost::sleepFor(double seconds) const {
  locked([&] { slept_ += seconds; });
  if (realSleeps) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::optional<std::string> FakeHost::spawnDetached(
    const std::string& path, const std::vector<std::string>& arguments) const {
  std::vector<std::string> call{path};
  call.insert(call.end(), arguments.begin(), arguments.end());
  locked([&] { spawned_.push_back(std::move(call)); });
  return realSpawns ? PosixHost().spawnDetached(path, arguments) : std::nullopt;
}

}  // namespace kestrova::testing
