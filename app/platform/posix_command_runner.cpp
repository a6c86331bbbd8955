#include "app/platform/posix_command_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "app/platform/system_facts.h"
#include "app/platform/unique_fd.h"
#include "app/platform/utf8.h"

extern char** environ;

namespace kestrova {
namespace {

ShellResult launchFailed(int error) {
  return {-1, "launch failed: " + std::error_code(error, std::generic_category()).message()};
}

// posix_spawn's attribute and file-action objects, released however the launch ends.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // Both output streams into `writeEnd`; every other descriptor of ours closed in the child; a
  // clean signal state, so a signal the app ignores or blocks does not stay so in the tool.
  int prepare(int writeEnd) {
    if (int e = posix_spawn_file_actions_adddup2(&actions, writeEnd, STDOUT_FILENO)) return e;
    if (int e = posix_spawn_file_actions_adddup2(&actions, writeEnd, STDERR_FILENO)) return e;
    auto flags = static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (int e = os::inheritOnlyStandardStreams(actions, flags)) return e;
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    return posix_spawnattr_setflags(&attributes, flags);
  }
};

std::string readToEnd(int fd) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      return bytes;
    }
  }
}

// The platform reports a tool ended by an uncaught signal with the signal's number as status.
int waitForStatus(pid_t child) {
  int raw = 0;
  while (::waitpid(child, &raw, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return WTERMSIG(raw);
  return -1;
}

}  // namespace

ShellResult PosixCommandRunner::run(const std::string& path,
                                    const std::vector<std::string>& arguments, double) {
  int ends[2];
  if (int error = os::openPipe(ends)) return launchFailed(error);
  UniqueFd readEnd(ends[0]);
  UniqueFd writeEnd(ends[1]);

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  SpawnSetup setup;
  if (int error = setup.prepare(writeEnd.get())) return launchFailed(error);
  pid_t child = 0;
  // Both glibc's and macOS's posix_spawn report a failed exec (missing file, not executable) as
  // their result.
  if (int error = ::posix_spawn(&child, path.c_str(), &setup.actions, &setup.attributes,
                                argv.data(), environ)) {
    return launchFailed(error);
  }
  // Our copy of the write end must go, or the read below would never see end of file.
  writeEnd.reset();
  std::string output = readToEnd(readEnd.get());
  const int status = waitForStatus(child);
  if (!isValidUtf8(output)) output.clear();
  return {status, std::move(output)};
}

}  // namespace kestrova
