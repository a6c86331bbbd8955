// The engine's running log, stream.log: one timestamped line per event, safe from any thread.
#pragma once

#include <mutex>
#include <string>

namespace kestrova::engine {

class StreamLog {
 public:
  explicit StreamLog(std::string path) : path_(std::move(path)) {}
  // Appends "<UTC time> <line>"; a log that cannot be written never stops the engine.
  void write(const std::string& line);

 private:
  std::string path_;
  std::mutex mutex_;
};

}  // namespace kestrova::engine
