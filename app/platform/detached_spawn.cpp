#include "app/platform/detached_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "app/platform/system_facts.h"
#include "app/platform/unique_fd.h"

extern char** environ;

namespace kestrova {
namespace {

std::string describe(int error) {
  return std::error_code(error, std::generic_category()).message();
}

// Everything after fork() runs in a copy of a multi-threaded process: only async-signal-safe
// calls from here to exec or _exit.
[[noreturn]] void reportAndExit(int reportFd, int error) {
  ssize_t ignored = ::write(reportFd, &error, sizeof error);
  (void)ignored;
  ::_exit(127);
}

void closeAllButReport(int reportFd, int highestFd) {
  // The report pipe closes itself at exec (CLOEXEC), telling the parent that exec succeeded.
  const auto report = static_cast<unsigned>(reportFd);
  bool closed = true;
  if (report > STDERR_FILENO + 1) closed = os::closeDescriptorRange(STDERR_FILENO + 1, report - 1);
  if (closed && os::closeDescriptorRange(report + 1, ~0U)) return;
  for (int fd = STDERR_FILENO + 1; fd <= highestFd; ++fd) {
    if (fd != reportFd) ::close(fd);
  }
}

[[noreturn]] void becomeProgram(const char* path, char* const* argv, int nullFd, int reportFd,
                                int highestFd) {
  if (::dup2(nullFd, STDIN_FILENO) < 0 || ::dup2(nullFd, STDOUT_FILENO) < 0 ||
      ::dup2(nullFd, STDERR_FILENO) < 0) {
    reportAndExit(reportFd, errno);
  }
  // Were /dev/null opened as 0, 1 or 2, dup2 onto itself would leave it marked close-on-exec.
  if (nullFd <= STDERR_FILENO) ::fcntl(nullFd, F_SETFD, 0);
  closeAllButReport(reportFd, highestFd);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &defaults, nullptr);
  ::execve(path, argv, environ);
  reportAndExit(reportFd, errno);
}

// The middle process: a new session, then the real program as its child, then gone at once.
[[noreturn]] void runMiddle(const char* path, char* const* argv, int nullFd, int reportFd,
                            int highestFd) {
  if (::setsid() < 0) reportAndExit(reportFd, errno);
  const pid_t grandchild = ::fork();
  if (grandchild < 0) reportAndExit(reportFd, errno);
  if (grandchild == 0) becomeProgram(path, argv, nullFd, reportFd, highestFd);
  ::_exit(0);
}

int highestDescriptor() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > 65536) {
    return 65535;
  }
  return static_cast<int>(limit.rlim_cur) - 1;
}

}  // namespace

std::optional<std::string> spawnDetachedProgram(const std::string& path,
                                                const std::vector<std::string>& arguments) {
  UniqueFd nullFd(::open("/dev/null", O_RDWR | O_CLOEXEC));
  if (!nullFd.valid()) return describe(errno);
  int ends[2];
  if (int error = os::openPipe(ends)) return describe(error);
  UniqueFd reportRead(ends[0]);
  UniqueFd reportWrite(ends[1]);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int highestFd = highestDescriptor();

  const pid_t middle = ::fork();
  if (middle < 0) return describe(errno);
  if (middle == 0) runMiddle(path.c_str(), argv.data(), nullFd.get(), reportWrite.get(), highestFd);

  reportWrite.reset();
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(reportRead.get(), &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof error)) return describe(error);
  return std::nullopt;
}

}  // namespace kestrova
