// Host facts on POSIX systems, with the bundle found from the running executable's path.
#pragma once

#include "app/platform/host.h"

namespace kestrova {

class PosixHost : public Host {
 public:
  // The bundle is the folder two levels above the executable's folder when that folder is
  // ".../Contents/MacOS"; otherwise the executable's own folder stands in for it.
  PosixHost();

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

 private:
  std::string bundlePath_;
};

}  // namespace kestrova
