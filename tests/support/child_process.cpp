#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace kestrova::testing {
namespace {

std::string nameOf(const std::string& assignment) {
  return assignment.substr(0, assignment.find('='));
}

// Ours with the spec's entries laid over it, or the spec's alone.
std::vector<std::string> environmentFor(const ChildSpec& spec) {
  std::vector<std::string> result;
  for (char** entry = environ; !spec.onlyEnv && *entry != nullptr; ++entry) {
    const std::string name = nameOf(*entry);
    bool replaced = false;
    for (const auto& wanted : spec.env) replaced = replaced || nameOf(wanted) == name;
    if (!replaced) result.emplace_back(*entry);
  }
  result.insert(result.end(), spec.env.begin(), spec.env.end());
  return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (auto& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

void redirect(const std::string& path, int descriptor) {
  if (path.empty()) return;
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (file >= 0) ::dup2(file, descriptor);
}

}  // namespace

ChildProcess::ChildProcess(ChildSpec spec) { start(spec, {}); }

ChildProcess::ChildProcess(const std::function<void()>& body) { start(ChildSpec{}, body); }

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !status_) {
    ::kill(group_ ? -pid_ : pid_, SIGKILL);
    reap(true);
  }
  if (pipe_ >= 0) ::close(pipe_);
}

void ChildProcess::start(const ChildSpec& spec, const std::function<void()>& body) {
  group_ = spec.ownGroup;
  // Everything the child needs is prepared here: between fork and exec it only calls the system.
  std::vector<std::string> argv = spec.argv;
  std::vector<std::string> env = environmentFor(spec);
  std::vector<char*> args = pointersTo(argv);
  std::vector<char*> envp = pointersTo(env);
  int output[2] = {-1, -1};
  int failure[2] = {-1, -1};
  if ((spec.captureOutput && ::pipe2(output, O_CLOEXEC) != 0) || ::pipe2(failure, O_CLOEXEC) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    if (body) {
      ::close(failure[1]);  // the parent reads it to its end
      body();
      ::_exit(0);
    }
    if (spec.ownGroup) ::setsid();
    redirect(spec.stdoutPath, STDOUT_FILENO);
    redirect(spec.stderrPath, STDERR_FILENO);
    if (spec.captureOutput) {
      ::dup2(output[1], STDOUT_FILENO);
      ::dup2(output[1], STDERR_FILENO);
    }
    if (spec.inChild) spec.inChild();
    ::execvpe(args[0], args.data(), envp.data());
    const int code = errno;
    (void)!::write(failure[1], &code, sizeof code);
    ::_exit(127);
  }
  ::close(failure[1]);
  if (spec.captureOutput) {
    ::close(output[1]);
    pipe_ = output[0];
  }
  int code = 0;
  if (pid_ < 0) {
    error_ = std::string("fork: ") + std::strerror(errno);
  } else if (::read(failure[0], &code, sizeof code) == sizeof code) {
    reap(true);
    pid_ = -1;
    error_ = argv.at(0) + ": " + std::strerror(code);
  }
  ::close(failure[0]);
}

bool ChildProcess::signal(int number) {
  return pid_ > 0 && !status_ && ::kill(group_ ? -pid_ : pid_, number) == 0;
}

bool ChildProcess::reap(bool block) {
  if (status_ || pid_ <= 0) return status_.has_value();
  int status = 0;
  const pid_t done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (done == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  } else if (done < 0) {
    status_ = -1;  // reaped by someone else: its status is lost
  }
  return status_.has_value();
}

// Reads one helping of the output pipe, waiting up to `milliseconds` for it; false when none.
bool ChildProcess::drain(int milliseconds) {
  char buffer[65536];
  pollfd ready{pipe_, POLLIN, 0};
  if (::poll(&ready, 1, milliseconds) <= 0) return false;
  const ssize_t got = ::read(pipe_, buffer, sizeof buffer);
  if (got > 0) output_.append(buffer, static_cast<std::size_t>(got));
  return got > 0;
}

std::optional<int> ChildProcess::wait(double limitSeconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
  while (!reap(false) && std::chrono::steady_clock::now() < deadline) {
    if (pipe_ < 0 || !drain(5)) ::usleep(5000);
  }
  while (status_ && pipe_ >= 0 && drain(0)) {
  }
  return status_;
}

std::optional<int> ChildProcess::stop(int number, double limitSeconds) {
  signal(number);
  return wait(limitSeconds);
}

bool ChildProcess::running() { return pid_ > 0 && !reap(false); }

}  // namespace kestrova::testing
