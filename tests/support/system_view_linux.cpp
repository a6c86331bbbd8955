#include <filesystem>
#include <fstream>

#include "tests/support/system_view.h"

namespace kestrova::testing {

bool processRunning(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (pid <= 0 || !std::getline(stat, line)) return false;
  const auto close = line.rfind(") ");
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

std::string executableOf(pid_t pid) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
}

std::string unwritableFolder() { return "/proc"; }

std::string osVersionCommand() {
  return ". /etc/os-release; printf '%s, kernel ' \"$PRETTY_NAME\"; "
         "uname -r | sed 's/[^0-9.].*//' | tr -d '\\n'";
}

std::string userDatabaseHomeCommand() { return "getent passwd $(id -u) | cut -d: -f6"; }

Tools helperTools() { return standinTools(); }

}  // namespace kestrova::testing
