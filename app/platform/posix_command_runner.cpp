#include "app/platform/posix_command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
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

  // The output streams into `outEnd` and `errEnd`; every other descriptor of ours closed in the
  // child; a clean signal state, so a signal the app ignores or blocks does not stay so in the
  // tool; with `ownGroup`, a process group of its own.
  int prepare(int outEnd, int errEnd, bool ownGroup = false) {
    if (int e = posix_spawn_file_actions_adddup2(&actions, outEnd, STDOUT_FILENO)) return e;
    if (int e = posix_spawn_file_actions_adddup2(&actions, errEnd, STDERR_FILENO)) return e;
    auto flags = static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (ownGroup) {
      flags = static_cast<short>(flags | POSIX_SPAWN_SETPGROUP);
      if (int e = posix_spawnattr_setpgroup(&attributes, 0)) return e;
    }
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
int statusFrom(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return WTERMSIG(raw);
  return -1;
}

int waitForStatus(pid_t child) {
  int raw = 0;
  while (::waitpid(child, &raw, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return statusFrom(raw);
}

int spawn(const std::string& path, const std::vector<std::string>& arguments,
          const SpawnSetup& setup, pid_t& child) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  // Both glibc's and macOS's posix_spawn report a failed exec (missing file, not executable) as
  // their result.
  return ::posix_spawn(&child, path.c_str(), &setup.actions, &setup.attributes, argv.data(),
                       environ);
}

using Clock = std::chrono::steady_clock;
constexpr std::size_t kMaxStreamBytes = std::size_t{1} << 20;

// Waits up to 10 ms for the child to have exited; true with its status once it has.
bool exitedWithin(pid_t child, int& status, Clock::time_point deadline) {
  int raw = 0;
  const pid_t done = ::waitpid(child, &raw, WNOHANG);
  if (done == child || (done < 0 && errno != EINTR)) {
    status = done == child ? statusFrom(raw) : -1;
    return true;
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  ::poll(nullptr, 0, static_cast<int>(std::clamp<long long>(left.count(), 0, 10)));
  return false;
}

// Reads both streams to their end and reaps the child; false when the deadline came first.
bool collect(pid_t child, std::array<int, 2> fds, ToolOutput& result, Clock::time_point deadline) {
  std::array<pollfd, 2> polled{{{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}}};
  std::array<std::string*, 2> sinks{&result.out, &result.err};
  while (Clock::now() < deadline) {
    if (polled[0].fd < 0 && polled[1].fd < 0) {
      if (exitedWithin(child, result.status, deadline)) return true;
      continue;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const int wait = static_cast<int>(std::clamp<long long>(left.count() + 1, 1, 60'000));
    if (::poll(polled.data(), polled.size(), wait) < 0 && errno != EINTR) return false;
    for (std::size_t i = 0; i < polled.size(); ++i) {
      if (polled[i].fd < 0 || polled[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = ::read(polled[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        const auto room = kMaxStreamBytes - std::min(kMaxStreamBytes, sinks[i]->size());
        sinks[i]->append(buffer, std::min(room, static_cast<std::size_t>(got)));
      } else if (got == 0 || errno != EINTR) {
        polled[i].fd = -1;
      }
    }
  }
  return false;
}

ToolOutput limitedLaunchFailed(int error) { return {-1, "", launchFailed(error).output, false}; }

}  // namespace

ToolOutput PosixCommandRunner::runLimited(const std::string& path,
                                          const std::vector<std::string>& arguments,
                                          double limitSeconds) {
  int outEnds[2];
  if (int error = os::openPipe(outEnds)) return limitedLaunchFailed(error);
  UniqueFd outRead(outEnds[0]);
  UniqueFd outWrite(outEnds[1]);
  int errEnds[2];
  if (int error = os::openPipe(errEnds)) return limitedLaunchFailed(error);
  UniqueFd errRead(errEnds[0]);
  UniqueFd errWrite(errEnds[1]);
  SpawnSetup setup;
  if (int error = setup.prepare(outWrite.get(), errWrite.get(), true)) {
    return limitedLaunchFailed(error);
  }
  pid_t child = 0;
  if (int error = spawn(path, arguments, setup, child)) return limitedLaunchFailed(error);
  outWrite.reset();
  errWrite.reset();
  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(std::max(0.0, limitSeconds)));
  ToolOutput result;
  if (!collect(child, {outRead.get(), errRead.get()}, result, deadline)) {
    // The whole group: a tool that runs helpers of its own takes them with it.
    ::kill(-child, SIGKILL);
    ::kill(child, SIGKILL);
    (void)waitForStatus(child);
    result.status = -1;
    result.overran = true;
  }
  return result;
}

ShellResult PosixCommandRunner::run(const std::string& path,
                                    const std::vector<std::string>& arguments, double) {
  int ends[2];
  if (int error = os::openPipe(ends)) return launchFailed(error);
  UniqueFd readEnd(ends[0]);
  UniqueFd writeEnd(ends[1]);

  SpawnSetup setup;
  if (int error = setup.prepare(writeEnd.get(), writeEnd.get())) return launchFailed(error);
  pid_t child = 0;
  if (int error = spawn(path, arguments, setup, child)) return launchFailed(error);
  // Our copy of the write end must go, or the read below would never see end of file.
  writeEnd.reset();
  std::string output = readToEnd(readEnd.get());
  const int status = waitForStatus(child);
  if (!isValidUtf8(output)) output.clear();
  return {status, std::move(output)};
}

}  // namespace kestrova
