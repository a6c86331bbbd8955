// Host facts on the Mac, from the main bundle and the process information.
#pragma once

#include "app/platform/host.h"

namespace kestrova::cocoa {

// The bundle and its Info.plist are the ones the system loaded at launch: a bundle replaced on
// disk while we run does not change what we report about ourselves. Log lines go to the unified
// system log through NSLog.
class CocoaHost final : public Host {
 public:
  [[nodiscard]] std::string homeDirectory() const override;
  [[nodiscard]] std::optional<std::string> environment(const std::string& name) const override;
  [[nodiscard]] int processId() const override;
  [[nodiscard]] unsigned userId() const override;
  [[nodiscard]] std::string osVersionText() const override;
  [[nodiscard]] std::string bundlePath() const override;
  [[nodiscard]] std::optional<std::string> resourcesPath() const override;
  [[nodiscard]] std::optional<std::string> infoString(const std::string& key) const override;
  void systemLog(const std::string& line) const override;
  [[nodiscard]] bool isExecutableFile(const std::string& path) const override;
  [[nodiscard]] std::chrono::system_clock::time_point now() const override;
  void sleepFor(double seconds) const override;
  [[nodiscard]] std::optional<std::string> spawnDetached(
      const std::string& path, const std::vector<std::string>& arguments) const override;
};

}  // namespace kestrova::cocoa
