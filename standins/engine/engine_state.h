// What the stand-in engine knows: its configuration file, the media folder and the broadcast.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "standins/engine/stream_log.h"

namespace kestrova::engine {

inline constexpr std::int64_t kDefaultPort = 8787;
// How long each video "plays" before `now` moves on to the next file.
inline constexpr std::int64_t kSecondsPerVideo = 30;

// The video files directly inside a folder (sorted), or the reason the folder cannot be used.
struct FolderScan {
  std::optional<std::string> error;
  std::vector<std::string> videos;
};
[[nodiscard]] FolderScan scanFolder(const std::string& path);

// Shared by the server's threads; every member function locks.
class EngineState {
 public:
  EngineState(std::string configPath, StreamLog& log);

  // `port` from config.json, written with the default first when the file is missing.
  [[nodiscard]] std::int64_t loadPort();
  // The reply of GET /api/status.
  [[nodiscard]] nlohmann::json status();
  // Stores the folder in config.json when it can be read; the reply of POST /api/setup/folder.
  [[nodiscard]] nlohmann::json setMediaFolder(const std::string& path);
  void setEnabled(bool enabled);
  void setLive(bool live, const std::string& title);

 private:
  [[nodiscard]] nlohmann::json readConfig() const;
  [[nodiscard]] bool writeConfig(const nlohmann::json& config) const;

  std::string configPath_;
  StreamLog& log_;
  std::mutex mutex_;
  bool enabled_ = true;
  bool live_ = false;
  std::string liveTitle_;
  std::string lastNow_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace kestrova::engine
