#include "tests/support/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/platform/system_facts.h"

extern char** environ;

namespace kestrova::testing {
namespace {

// Ours with the requested entries laid over it.
std::vector<std::string> environmentFor(const ChildSpec& child) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string name = std::string(*entry).substr(0, std::strcspn(*entry, "="));
    if (std::none_of(child.env.begin(), child.env.end(),
                     [&](const auto& wanted) { return wanted.starts_with(name + "="); })) {
      result.emplace_back(*entry);
    }
  }
  result.insert(result.end(), child.env.begin(), child.env.end());
  return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (auto& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

void redirect(const std::string& path, int descriptor) {
  const int file = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (file >= 0) ::dup2(file, descriptor);
}

}  // namespace

ChildProcess::ChildProcess(ChildSpec child) : group_(child.ownGroup) {
  // Everything the child needs is prepared here: between fork and exec it only calls the system.
  std::vector<std::string> env = environmentFor(child);
  std::vector<char*> args = pointersTo(child.argv);
  std::vector<char*> envp = pointersTo(env);
  int failure[2] = {-1, -1};  // carries exec's errno; closed unread when exec succeeds
  if (os::openPipe(failure) != 0 || (pid_ = ::fork()) < 0) {
    error_ = std::string("pipe or fork: ") + std::strerror(errno);
    return;
  }
  if (pid_ == 0) {
    if (child.ownGroup) ::setsid();
    redirect(child.stdoutPath, STDOUT_FILENO);
    redirect(child.stderrPath, STDERR_FILENO);
    // The child's own copy of `environ`: execvp then looks up PATH and hands over this one.
    environ = envp.data();
    ::execvp(args[0], args.data());
    const int code = errno;
    (void)!::write(failure[1], &code, sizeof code);
    ::_exit(127);
  }
  ::close(failure[1]);
  int code = 0;
  if (::read(failure[0], &code, sizeof code) == sizeof code) {
    reap(true);
    pid_ = -1;
    error_ = child.argv.at(0) + ": " + std::strerror(code);
  }
  ::close(failure[0]);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !status_) {
    ::kill(group_ ? -pid_ : pid_, SIGKILL);
    reap(true);
  }
}

bool ChildProcess::reap(bool block) {
  int status = 0;
  const pid_t done = status_ || pid_ <= 0 ? 0 : ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (done == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  } else if (done < 0) {
    status_ = -1;  // reaped by someone else: its status is lost
  }
  return status_.has_value();
}

std::optional<int> ChildProcess::wait(double limitSeconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
  while (!reap(false) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status_;
}

std::optional<int> ChildProcess::stop(int number, double limitSeconds) {
  if (pid_ > 0 && !status_) ::kill(group_ ? -pid_ : pid_, number);
  return wait(limitSeconds);
}

}  // namespace kestrova::testing
