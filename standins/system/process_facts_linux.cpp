#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "standins/system/process_facts.h"

namespace kestrova::standin {
namespace {

// The parent's id from /proc/<pid>/stat, where the name in parentheses may hold anything.
pid_t parentOf(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string line;
  std::getline(in, line);
  const auto close = line.rfind(')');
  if (close == std::string::npos) {
    return 0;
  }
  std::istringstream rest(line.substr(close + 1));
  std::string state;
  pid_t parent = 0;
  rest >> state >> parent;
  return parent;
}

}  // namespace

std::string ownExecutable() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

int openPipe(int (&ends)[2]) { return ::pipe2(ends, O_CLOEXEC) == 0 ? 0 : errno; }

void closeDescriptorsFrom(int first) noexcept {
  ::close_range(static_cast<unsigned>(first), ~0U, 0);
}

std::vector<pid_t> childrenOf(pid_t parent) {
  std::vector<pid_t> children;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") == std::string::npos && parentOf(name) == parent) {
      children.push_back(static_cast<pid_t>(std::stol(name)));
    }
  }
  return children;
}

}  // namespace kestrova::standin
