// Host facts on POSIX systems, with the bundle found from the running executable's path.
#pragma once

#include <map>

#include "app/platform/host.h"

namespace kestrova {

// The bundle an executable belongs to: ".../X.app" for ".../X.app/Contents/MacOS/<program>",
// otherwise the executable's own folder.
[[nodiscard]] std::string bundlePathForExecutable(const std::string& executable);

class PosixHost : public Host {
 public:
  // The bundle of the running executable.
  PosixHost();
  // The bundle at `bundlePath`. Info.plist is read once here, as the Mac reads it at launch: a
  // bundle replaced on disk while we run does not change what we report about ourselves.
  explicit PosixHost(std::string bundlePath);

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
  std::map<std::string, std::string> infoStrings_;
};

}  // namespace kestrova
