#include "standins/launchctl/daemon.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "standins/launchctl/service_state.h"
#include "standins/system/process_facts.h"

namespace kestrova::launchd {
namespace {

constexpr int kReadyFd = 3;

// In the grandchild: detach completely, then become the supervisor.
[[noreturn]] void becomeSupervisor(const std::string& self, const std::string& domain,
                                   const std::string& plistPath, int readyWrite) {
  ::setsid();
  const pid_t grandchild = ::fork();
  if (grandchild != 0) {
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  // Move the pipe out of the way of the descriptors about to be replaced.
  const int ready = ::fcntl(readyWrite, F_DUPFD, 10);
  const int devnull = ::open("/dev/null", O_RDWR);
  for (int fd = 0; fd <= 2; ++fd) {
    ::dup2(devnull, fd);
  }
  ::dup2(ready, kReadyFd);
  standin::closeDescriptorsFrom(kReadyFd + 1);
  [[maybe_unused]] const int ignored = ::chdir("/");
  const std::string readyText = std::to_string(kReadyFd);
  ::execl(self.c_str(), "launchctl", "x-supervise", domain.c_str(), plistPath.c_str(),
          readyText.c_str(), static_cast<char*>(nullptr));
  ::_exit(127);
}

std::string readAll(int fd) {
  std::string text;
  char buffer[512];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      return text;
    }
  }
}

}  // namespace

std::optional<std::string> spawnSupervisor(const std::string& domain,
                                           const std::string& plistPath) {
  const std::string self = standin::ownExecutable();
  int ends[2];
  const int failed = self.empty() ? ENOENT : standin::openPipe(ends);
  if (failed != 0) {
    return std::string("cannot start the supervisor: ") + std::strerror(failed);
  }
  Fd readEnd(ends[0]);
  Fd writeEnd(ends[1]);
  const pid_t child = ::fork();
  if (child < 0) {
    return std::string("cannot start the supervisor: ") + std::strerror(errno);
  }
  if (child == 0) {
    becomeSupervisor(self, domain, plistPath, writeEnd.get());
  }
  writeEnd = Fd();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string answer = readAll(readEnd.get());
  if (answer == "R") {
    return std::nullopt;
  }
  if (!answer.empty() && answer.front() == 'E') {
    return answer.substr(1);
  }
  return std::string("the supervisor ended before loading the service");
}

}  // namespace kestrova::launchd
