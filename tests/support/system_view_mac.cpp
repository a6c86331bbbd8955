#include <libproc.h>
#include <sys/proc.h>
#include <sys/proc_info.h>

#include <cstdint>
#include <vector>

#include "tests/support/system_view.h"

namespace kestrova::testing {

bool processRunning(pid_t pid) {
  proc_bsdinfo info{};
  const int size = static_cast<int>(sizeof info);
  return pid > 0 && ::proc_pidinfo(pid, PROC_PIDTBSDINFO, 0, &info, size) == size &&
         info.pbi_status != SZOMB;
}

std::string executableOf(pid_t pid) {
  std::vector<char> path(PROC_PIDPATHINFO_MAXSIZE, '\0');
  const int length = ::proc_pidpath(pid, path.data(), static_cast<std::uint32_t>(path.size()));
  return length > 0 ? std::string(path.data(), static_cast<std::size_t>(length)) : std::string();
}

// The system volume is sealed: not even root writes there.
std::string unwritableFolder() { return "/System"; }

std::string osVersionCommand() {
  return "printf 'macOS %s, kernel ' \"$(sw_vers -productVersion)\"; "
         "uname -r | sed 's/[^0-9.].*//' | tr -d '\\n'";
}

std::string userDatabaseHomeCommand() {
  return "dscl . -read \"/Users/$(id -un)\" NFSHomeDirectory | sed 's/^NFSHomeDirectory: //'";
}

Tools helperTools() {
  Tools tools = standinTools();
  tools.hdiutil = Tools{}.hdiutil;
  tools.ditto = Tools{}.ditto;
  return tools;
}

}  // namespace kestrova::testing
