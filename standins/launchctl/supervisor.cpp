#include "standins/launchctl/supervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <thread>
#include <utility>

#include "standins/launchctl/child_process.h"
#include "standins/launchctl/job.h"
#include "standins/launchctl/service_state.h"
#include "standins/launchctl/status_file.h"
#include "standins/system/process_facts.h"

namespace kestrova::launchd {
namespace {

using Clock = std::chrono::steady_clock;

// How long an unloaded service stays visible after its program has gone, as launchd takes a
// moment to tear a service down; callers must wait for it rather than assume.
constexpr auto kTeardown = std::chrono::milliseconds(300);

void report(Fd& ready, const std::string& text) {
  if (ready.valid()) {
    [[maybe_unused]] const ssize_t written = ::write(ready.get(), text.data(), text.size());
    ready = Fd();
  }
}

// "SIGTERM" for the signals a program is usually ended by, "SIG" and the number for others.
std::string signalText(int signo) {
  static constexpr std::pair<int, const char*> kNames[] = {
      {SIGHUP, "HUP"},   {SIGINT, "INT"},   {SIGQUIT, "QUIT"}, {SIGILL, "ILL"},   {SIGTRAP, "TRAP"},
      {SIGABRT, "ABRT"}, {SIGBUS, "BUS"},   {SIGFPE, "FPE"},   {SIGKILL, "KILL"}, {SIGUSR1, "USR1"},
      {SIGSEGV, "SEGV"}, {SIGUSR2, "USR2"}, {SIGPIPE, "PIPE"}, {SIGALRM, "ALRM"}, {SIGTERM, "TERM"},
      {SIGXCPU, "XCPU"}, {SIGXFSZ, "XFSZ"}, {SIGSYS, "SYS"}};
  for (const auto& [number, name] : kNames) {
    if (number == signo) return std::string("SIG") + name;
  }
  return "SIG" + std::to_string(signo);
}

std::string exitText(int status) {
  if (WIFSIGNALED(status)) return signalText(WTERMSIG(status));
  return std::to_string(WEXITSTATUS(status));
}

// The write end of the signal pipe, set before the first handler can run.
int gSignalWrite = -1;

void noteSignal(int signo) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signo);
  [[maybe_unused]] const ssize_t written = ::write(gSignalWrite, &byte, 1);
  errno = saved;
}

class Supervisor {
 public:
  Supervisor(Job job, std::string folder, std::string path)
      : job_(std::move(job)), folder_(std::move(folder)), path_(std::move(path)) {}

  void begin() {
    // KeepAlive asks for the program to be running at all times, from the load on.
    if (job_.runAtLoad || job_.keepAlive) {
      start();
    }
    publish();
  }

  int run(int signals) {
    while (!done_) {
      pollfd watch{signals, POLLIN, 0};
      ::poll(&watch, 1, millisecondsToNextDeadline());
      unsigned char signo = 0;
      while (::read(signals, &signo, 1) == 1) {
        onSignal(signo);
      }
      onTimers();
    }
    std::this_thread::sleep_for(kTeardown);
    ::unlink((folder_ + "/status").c_str());
    log("unloaded");
    return 0;
  }

 private:
  void onSignal(int signo) {
    switch (signo) {
      case SIGCHLD:
        reap();
        break;
      case kRestartSignal:
        if (stopping_ || restartNow_) break;
        if (pid_ > 0) {
          restartNow_ = true;
          terminate();
        } else {
          start();
        }
        break;
      case kKickstartSignal:
        if (!stopping_ && pid_ == 0) start();
        break;
      default:  // SIGTERM, SIGINT, SIGHUP: unload
        // A repeated bootout must not put off the SIGKILL that a stuck program has coming.
        if (stopping_) break;
        stopping_ = true;
        startAt_.reset();
        if (pid_ > 0) {
          terminate();
        } else {
          done_ = true;
        }
    }
    publish();
  }

  void reap() {
    int status = 0;
    pid_t pid = 0;
    while ((pid = ::waitpid(-1, &status, WNOHANG)) > 0) {
      if (pid == pid_) {
        onExit(status);
      }
    }
  }

  void onExit(int status) {
    // Whatever the program left behind in its group goes with it.
    ::kill(-pid_, SIGKILL);
    lastExit_ = exitText(status);
    log("pid " + std::to_string(pid_) + " exited: " + lastExit_);
    pid_ = 0;
    killAt_.reset();
    if (stopping_) {
      done_ = true;
    } else if (restartNow_) {
      restartNow_ = false;
      start();
    } else if (job_.keepAlive) {
      startAt_ = std::max(Clock::now(), lastStart_ + std::chrono::seconds(job_.throttleInterval));
      const auto wait = std::chrono::duration<double>(*startAt_ - Clock::now()).count();
      if (wait > 0.001) {
        log("respawn throttled for " + std::to_string(wait) + " s");
      }
    }
  }

  void onTimers() {
    const auto now = Clock::now();
    if (killAt_ && now >= *killAt_ && pid_ > 0) {
      log("pid " + std::to_string(pid_) + " outlived its exit timeout: SIGKILL");
      ::kill(-pid_, SIGKILL);
      killAt_.reset();
    }
    if (startAt_ && now >= *startAt_) {
      startAt_.reset();
      if (pid_ == 0 && !stopping_) {
        start();
      }
      publish();
    }
  }

  void start() {
    startAt_.reset();
    std::string error;
    const pid_t pid = startProgram(job_, error);
    lastStart_ = Clock::now();
    if (pid < 0) {
      log("could not start: " + error);
      if (job_.keepAlive) {
        startAt_ = lastStart_ + std::chrono::seconds(job_.throttleInterval);
      }
      return;
    }
    pid_ = pid;
    ++runs_;
    log("started pid " + std::to_string(pid_) + " (run " + std::to_string(runs_) + ")");
  }

  void terminate() {
    ::kill(-pid_, SIGTERM);
    killAt_ = Clock::now() + std::chrono::seconds(job_.exitTimeout);
  }

  [[nodiscard]] int millisecondsToNextDeadline() const {
    std::optional<Clock::time_point> next = startAt_;
    if (killAt_ && (!next || *killAt_ < *next)) {
      next = killAt_;
    }
    if (!next) {
      return -1;
    }
    const auto left = std::chrono::duration<double, std::milli>(*next - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::ceil(left));
  }

  void publish() const {
    ServiceStatus status;
    status.label = job_.label;
    status.path = path_;
    status.program = job_.program;
    status.arguments = job_.arguments;
    status.standardOutPath = job_.standardOutPath.value_or("");
    status.standardErrorPath = job_.standardErrorPath.value_or("");
    status.supervisor = ::getpid();
    status.pid = pid_;
    status.runs = runs_;
    status.state = stopping_  ? "exiting"
                   : pid_ > 0 ? "running"
                   : startAt_ ? "spawn scheduled"
                              : "not running";
    status.lastExit = lastExit_;
    writeStatus(folder_, status);
  }

  void log(const std::string& line) const {
    const std::time_t now = std::time(nullptr);
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::ofstream(folder_ + "/supervisor.log", std::ios::app) << stamp << " " << line << "\n";
  }

  Job job_;
  std::string folder_;
  std::string path_;
  pid_t pid_ = 0;
  int runs_ = 0;
  std::string lastExit_ = "(never exited)";
  Clock::time_point lastStart_{};
  std::optional<Clock::time_point> startAt_;
  std::optional<Clock::time_point> killAt_;
  bool stopping_ = false;
  bool restartNow_ = false;
  bool done_ = false;
};

// Each signal the supervisor answers becomes one byte on a pipe, so the loop waits for signals
// and for its deadlines in one poll. Both ends are non-blocking: a handler never waits, and the
// loop reads until the pipe is empty. The write end stays open for the process's life.
Fd watchSignals() {
  int ends[2];
  if (standin::openPipe(ends) != 0) return Fd();
  for (const int end : ends) ::fcntl(end, F_SETFL, O_NONBLOCK);
  gSignalWrite = ends[1];
  struct sigaction action {};
  action.sa_handler = noteSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signo : {SIGCHLD, SIGTERM, SIGINT, SIGHUP, kRestartSignal, kKickstartSignal}) {
    ::sigaction(signo, &action, nullptr);
  }
  return Fd(ends[0]);
}

}  // namespace

int superviseService(const std::string& domain, const std::string& plistPath, int readyFd) {
  Fd ready(readyFd);
  // The caller reads this pipe to its end: no program we start may keep it open.
  ::fcntl(readyFd, F_SETFD, FD_CLOEXEC);
  // A caller that gave up on us must not take us down with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  JobReading reading = readJob(plistPath);
  if (!reading.job) {
    report(ready, "E" + plistPath + ": " + reading.error);
    return 1;
  }
  const std::string folder = serviceFolder(domain, reading.job->label);
  const Fd hold = holdService(folder);
  if (!hold.valid()) {
    report(ready, "EService is already bootstrapped: " + domain + "/" + reading.job->label);
    return 1;
  }
  clearStopping(folder);
  const Fd signals = watchSignals();
  Supervisor supervisor(std::move(*reading.job), folder, plistPath);
  supervisor.begin();
  report(ready, "R");
  return supervisor.run(signals.get());
}

}  // namespace kestrova::launchd
