// The engine's running log, stream.log: one timestamped line per event, safe from any thread.
#pragma once

#include <algorithm>
#include <array>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>

namespace kestrova::engine {

class StreamLog {
 public:
  explicit StreamLog(std::string path) : path_(std::move(path)) {}

  // Appends "<UTC time> <line>"; a log that cannot be written never stops the engine. Line
  // breaks are flattened so that text from a request cannot forge a line of its own.
  void write(std::string line) {
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::array<char, 32> stamp{};
    std::strftime(stamp.data(), stamp.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::lock_guard lock(mutex_);
    std::ofstream(path_, std::ios::app) << stamp.data() << ' ' << line << '\n';
  }

 private:
  std::string path_;
  std::mutex mutex_;
};

}  // namespace kestrova::engine
