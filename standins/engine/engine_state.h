// What the stand-in engine knows: its configuration file, the media folder and the broadcast.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "standins/engine/stream_log.h"

namespace kestrova::engine {

// Shared by the server's threads; every public member function locks.
class EngineState {
 public:
  EngineState(std::string configPath, StreamLog& log)
      : configPath_(std::move(configPath)), log_(log) {}

  // `port` from config.json, which is created with the default port when missing.
  [[nodiscard]] std::int64_t loadPort();
  // The reply of GET /api/status.
  [[nodiscard]] nlohmann::json status();
  // Keeps a readable folder in config.json; the reply of POST /api/setup/folder.
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
