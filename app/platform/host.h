// Facts about the host the app runs on, and the few host services it needs.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

class Host {
 public:
  virtual ~Host() = default;

  // The current user's home folder as the platform reports it.
  [[nodiscard]] virtual std::string homeDirectory() const = 0;
  [[nodiscard]] virtual std::optional<std::string> environment(const std::string& name) const = 0;
  [[nodiscard]] virtual int processId() const = 0;
  [[nodiscard]] virtual unsigned userId() const = 0;
  // Human-readable operating-system version, as the diagnostics report shows it.
  [[nodiscard]] virtual std::string osVersionText() const = 0;

  // The application bundle's path, and its resources folder (absent when the bundle has none).
  [[nodiscard]] virtual std::string bundlePath() const = 0;
  [[nodiscard]] virtual std::optional<std::string> resourcesPath() const = 0;
  // A string value of the bundle's Info.plist; absent when missing or not a string.
  [[nodiscard]] virtual std::optional<std::string> infoString(const std::string& key) const = 0;

  // One line to the system log. The caller's text already begins with "Kestrova: ".
  virtual void systemLog(const std::string& line) const = 0;

  [[nodiscard]] virtual bool isExecutableFile(const std::string& path) const = 0;

  // Wall-clock time, for timestamps.
  [[nodiscard]] virtual std::chrono::system_clock::time_point now() const = 0;
  // Blocks the calling thread; the agent's short waits for launchd go through here.
  virtual void sleepFor(double seconds) const = 0;

  // Starts a program that outlives the app (the update helper): its own session, standard input
  // from /dev/null, none of our descriptors. Absent on success, else the error's description.
  [[nodiscard]] virtual std::optional<std::string> spawnDetached(
      const std::string& path, const std::vector<std::string>& arguments) const = 0;
};

}  // namespace kestrova
