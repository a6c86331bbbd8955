#include "standins/engine/engine_state.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace kestrova::engine {
namespace fs = std::filesystem;
namespace {

constexpr std::int64_t kDefaultPort = 8787;
// How long each video "plays" before `now` moves on to the next file.
constexpr std::int64_t kSecondsPerVideo = 30;

// The video files directly inside a folder (sorted), or the reason the folder cannot be used.
struct FolderScan {
  std::optional<std::string> error;
  std::vector<std::string> videos;
};

bool isVideoName(const std::string& name) {
  static const std::vector<std::string> kExtensions = {".mp4", ".mov", ".m4v",
                                                       ".mkv", ".avi", ".webm"};
  std::string extension = fs::path(name).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

FolderScan scanFolder(const std::string& path) {
  std::error_code error;
  if (path.empty() || !fs::exists(path, error)) {
    return {"There is no folder at " + path + ".", {}};
  }
  if (!fs::is_directory(path, error)) {
    return {path + " is not a folder.", {}};
  }
  fs::directory_iterator entries(path, error);
  if (error) {
    return {"Kestrova cannot read " + path + ": " + error.message() + ".", {}};
  }
  FolderScan scan;
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    // Dot files include the Mac's "._" companions of real videos.
    if (!name.starts_with(".") && isVideoName(name) && entry.is_regular_file(error)) {
      scan.videos.push_back(name);
    }
  }
  std::sort(scan.videos.begin(), scan.videos.end());
  return scan;
}

}  // namespace

nlohmann::json EngineState::readConfig() const {
  std::ifstream in(configPath_);
  std::stringstream text;
  text << in.rdbuf();
  nlohmann::json config = nlohmann::json::parse(text.str(), nullptr, false);
  return config.is_object() ? config : nlohmann::json::object();
}

bool EngineState::writeConfig(const nlohmann::json& config) const {
  // Written beside the file and renamed over it, so a reader never sees half a file.
  const std::string temporary = configPath_ + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << config.dump(2) << '\n';
    if (!out.flush()) {
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, configPath_, error);
  return !error;
}

std::int64_t EngineState::loadPort() {
  std::lock_guard lock(mutex_);
  std::error_code error;
  if (!fs::exists(configPath_, error)) {
    if (!writeConfig({{"port", kDefaultPort}})) {
      log_.write("could not create " + configPath_);
    }
  }
  const nlohmann::json config = readConfig();
  const auto port = config.find("port");
  // The app accepts 9000.0 as 9000, so the engine must listen where the app will look.
  if (port != config.end() && port->is_number()) {
    const auto value = port->get<double>();
    if (value >= 1 && value <= 65535 && value == static_cast<double>(static_cast<int>(value))) {
      return static_cast<std::int64_t>(value);
    }
  }
  return kDefaultPort;
}

nlohmann::json EngineState::status() {
  std::lock_guard lock(mutex_);
  const nlohmann::json config = readConfig();
  const auto folder = config.find("media_folder");
  FolderScan scan;
  if (folder != config.end() && folder->is_string()) {
    scan = scanFolder(folder->get<std::string>());
  }
  const bool setUp = !scan.error && !scan.videos.empty();
  std::string now;
  if (live_) {
    now = liveTitle_;
  } else if (setUp && enabled_) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - started_);
    const auto index = static_cast<std::size_t>(elapsed.count() / kSecondsPerVideo);
    now = scan.videos[index % scan.videos.size()];
  }
  if (now != lastNow_ && !now.empty()) {
    log_.write("now playing: " + now);
  }
  lastNow_ = now;
  return {{"setup_complete", setUp},
          {"enabled", setUp && enabled_},
          {"playing", setUp && enabled_},
          {"live_mode", live_},
          {"now", now}};
}

nlohmann::json EngineState::setMediaFolder(const std::string& path) {
  const FolderScan scan = scanFolder(path);
  if (scan.error) {
    log_.write("media folder refused: " + *scan.error);
    return {{"error", *scan.error}};
  }
  std::lock_guard lock(mutex_);
  nlohmann::json config = readConfig();
  config["media_folder"] = path;
  if (!writeConfig(config)) {
    return {{"error", "Kestrova could not save its settings in " + configPath_ + "."}};
  }
  log_.write("media folder set: " + path + " (" + std::to_string(scan.videos.size()) + " videos)");
  return {{"video_count", scan.videos.size()}};
}

void EngineState::setEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  enabled_ = enabled;
  log_.write(enabled ? "broadcast started" : "broadcast stopped");
}

void EngineState::setLive(bool live, const std::string& title) {
  std::lock_guard lock(mutex_);
  live_ = live;
  liveTitle_ = live ? title : "";
  log_.write(live ? "live event started: " + title : "live event ended");
}

}  // namespace kestrova::engine
