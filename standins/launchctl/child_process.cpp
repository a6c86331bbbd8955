#include "standins/launchctl/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "standins/system/process_facts.h"

extern char** environ;

namespace kestrova::launchd {
namespace {

std::vector<std::string> mergedEnvironment(const Job& job) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const auto equals = text.find('=');
    if (equals != std::string::npos) {
      variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
  }
  for (const auto& [name, value] : job.environment) {
    variables[name] = value;
  }
  variables["XPC_SERVICE_NAME"] = job.label;
  std::vector<std::string> merged;
  for (const auto& [name, value] : variables) {
    merged.push_back(name + "=" + value);
  }
  return merged;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (auto& text : texts) {
    result.push_back(text.data());
  }
  result.push_back(nullptr);
  return result;
}

// Puts `path` (appended to, created when missing) or /dev/null on descriptor `target`.
void redirect(const std::optional<std::string>& path, int target, int flags) {
  int fd = -1;
  if (path) {
    fd = ::open(path->c_str(), flags | O_CREAT | O_APPEND, 0644);
  }
  if (fd < 0) {
    fd = ::open("/dev/null", flags);
  }
  if (fd >= 0 && fd != target) {
    ::dup2(fd, target);
    ::close(fd);
  }
}

// The supervisor's handlers would report to its signal pipe from here; they go while every signal
// is still blocked (exec would drop them too, but signals can come before it).
void dropSignalHandlers() {
  for (int signo = 1; signo < NSIG; ++signo) {
    struct sigaction current {};
    if (::sigaction(signo, nullptr, &current) == 0 && current.sa_handler != SIG_DFL &&
        current.sa_handler != SIG_IGN) {
      ::signal(signo, SIG_DFL);
    }
  }
}

[[noreturn]] void becomeProgram(const Job& job, std::vector<char*>& argv,
                                std::vector<char*>& envp) {
  dropSignalHandlers();
  sigset_t none;
  sigemptyset(&none);
  ::signal(SIGPIPE, SIG_DFL);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::setpgid(0, 0);
  redirect(std::nullopt, STDIN_FILENO, O_RDONLY);
  redirect(job.standardOutPath, STDOUT_FILENO, O_WRONLY);
  redirect(job.standardErrorPath, STDERR_FILENO, O_WRONLY);
  // The program gets its three streams and nothing else of the supervisor's.
  standin::closeDescriptorsFrom(STDERR_FILENO + 1);
  if (::chdir(job.workingDirectory.value_or("/").c_str()) != 0) {
    [[maybe_unused]] int ignored = ::chdir("/");
  }
  // The job's variables become ours, so the program is looked up on the PATH it will run with.
  environ = envp.data();
  ::execvp(job.program.c_str(), argv.data());
  std::fprintf(stderr, "launchd: cannot run %s: %s\n", job.program.c_str(), std::strerror(errno));
  ::_exit(127);
}

}  // namespace

pid_t startProgram(const Job& job, std::string& error) {
  std::vector<std::string> arguments = job.arguments;
  std::vector<std::string> environment = mergedEnvironment(job);
  std::vector<char*> argv = pointers(arguments);
  std::vector<char*> envp = pointers(environment);
  // Every signal waits until the child has dropped the supervisor's handlers.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::sigprocmask(SIG_SETMASK, &all, &previous);
  const pid_t pid = ::fork();
  if (pid == 0) {
    becomeProgram(job, argv, envp);
  }
  const int forkError = errno;
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (pid < 0) {
    error = std::strerror(forkError);
    return -1;
  }
  // Also here, so the group exists before anyone signals it.
  ::setpgid(pid, pid);
  return pid;
}

}  // namespace kestrova::launchd
