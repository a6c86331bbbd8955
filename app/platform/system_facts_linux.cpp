#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/platform/system_facts.h"

namespace kestrova::os {
namespace {

// The value of one KEY=value line of os-release, with its quoting removed.
std::optional<std::string> osReleaseValue(const std::string& key) {
  for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind(key + "=", 0) != 0) continue;
      std::string value = line.substr(key.size() + 1);
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      std::string unescaped;
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        unescaped += value[i];
      }
      return unescaped;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string executablePath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::string osProductText() { return osReleaseValue("PRETTY_NAME").value_or("Linux"); }

// Both ends are close-on-exec from birth, so a spawn on another thread can never inherit them.
int openPipe(int (&ends)[2]) { return ::pipe2(ends, O_CLOEXEC) == 0 ? 0 : errno; }

int inheritOnlyStandardStreams(posix_spawn_file_actions_t& actions, short&) {
  return posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
}

bool closeDescriptorRange(unsigned first, unsigned last) noexcept {
  return ::close_range(first, last, 0) == 0;
}

int flushToDisk(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

}  // namespace kestrova::os
