#include "standins/engine/stream_log.h"

#include <algorithm>
#include <ctime>
#include <fstream>

namespace kestrova::engine {

void StreamLog::write(const std::string& line) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);

  // Text from requests (a folder path) must not be able to forge a line of its own.
  std::string flat = line;
  std::replace_if(flat.begin(), flat.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');

  std::lock_guard lock(mutex_);
  std::ofstream out(path_, std::ios::app);
  out << stamp << ' ' << flat << '\n';
}

}  // namespace kestrova::engine
