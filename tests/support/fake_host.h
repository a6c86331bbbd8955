// A Host double with settable facts; file checks and sleeps are real or recorded as asked.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/platform/host.h"

namespace kestrova::testing {

class FakeHost final : public Host {
 private:
  // Runs `f` holding the mutex (declared first: the inline members below use it).
  template <typename F>
  auto locked(F f) const {
    std::lock_guard lock(mutex_);
    return f();
  }

 public:
  explicit FakeHost(std::string home) : home_(std::move(home)) {}

  // Settable facts.
  std::map<std::string, std::string> env;
  int pid = 4242;
  unsigned uid = 501;
  std::string osVersion = "Version 14.5 (Build 23F79)";
  std::string bundle = "/Applications/Kestrova.app";
  std::optional<std::string> resources = "/Applications/Kestrova.app/Contents/Resources";
  std::map<std::string, std::string> info{{"CFBundleShortVersionString", "1.0.0"}};
  std::chrono::system_clock::time_point clock{std::chrono::seconds(1'780'000'000)};
  bool realSleeps = false;  // sleep for real (tests against real processes) or only record
  bool realSpawns = false;  // start detached programs for real or only record

  // What the core did.
  [[nodiscard]] std::vector<std::string> logLines() const {
    return locked([&] { return logs_; });
  }
  [[nodiscard]] double sleptSeconds() const {
    return locked([&] { return slept_; });
  }
  [[nodiscard]] std::vector<std::vector<std::string>> spawned() const {
    return locked([&] { return spawned_; });
  }

  [[nodiscard]] std::string homeDirectory() const override { return home_; }
  [[nodiscard]] std::optional<std::string> environment(const std::string& name) const override;
  [[nodiscard]] int processId() const override { return pid; }
  [[nodiscard]] unsigned userId() const override { return uid; }
  [[nodiscard]] std::string osVersionText() const override { return osVersion; }
  [[nodiscard]] std::string bundlePath() const override { return bundle; }
  [[nodiscard]] std::optional<std::string> resourcesPath() const override { return resources; }
  [[nodiscard]] std::optional<std::string> infoString(const std::string& key) const override;
  void systemLog(const std::string& line) const override;
  [[nodiscard]] bool isExecutableFile(const std::string& path) const override;
  [[nodiscard]] std::chrono::system_clock::time_point now() const override { return clock; }
  void sleepFor(double seconds) const override;
  [[nodiscard]] std::optional<std::string> spawnDetached(
      const std::string& path, const std::vector<std::string>& arguments) const override;

 private:
  std::string home_;
  mutable std::mutex mutex_;
  mutable std::vector<std::string> logs_;
  mutable double slept_ = 0;
  mutable std::vector<std::vector<std::string>> spawned_;
};

}  // namespace kestrova::testing
