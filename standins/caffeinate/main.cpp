// caffeinate for Linux: `caffeinate -is <command...>` runs the command as its child, passes the
// signals that end a program on to it, and exits with its status. There is nothing to keep awake.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

volatile sig_atomic_t child = 0;

void forward(int signo) {
  if (child > 0) {
    ::kill(static_cast<pid_t>(child), signo);
  }
}

// The index of the first argument after the flags, or -1 when a flag is not one caffeinate has.
int commandStart(int argc, char** argv) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
    const std::string flag = argv[i];
    if (flag == "--") {
      return i + 1;
    }
    if (flag.find_first_not_of("-dimsu") != std::string::npos) {
      // -t <seconds> and -w <pid> take a value; nothing else is known.
      if ((flag == "-t" || flag == "-w") && i + 1 < argc) {
        ++i;
        continue;
      }
      return -1;
    }
  }
  return i;
}

int waitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return 1;
    }
  }
  if (WIFSIGNALED(status)) {
    return 128 + WTERMSIG(status);
  }
  return WEXITSTATUS(status);
}

}  // namespace

int main(int argc, char** argv) {
  const int start = commandStart(argc, argv);
  if (start < 0) {
    std::fprintf(stderr,
                 "usage: caffeinate [-disu] [-t timeout] [-w pid] [utility arguments...]\n");
    return 1;
  }
  if (start >= argc) {
    // No command: hold on until ended, as the real tool does.
    for (;;) {
      ::pause();
    }
  }
  // Held back until the child's id is known, so that no ending signal is lost in between.
  sigset_t ending;
  sigemptyset(&ending);
  for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
    sigaddset(&ending, signo);
  }
  ::sigprocmask(SIG_BLOCK, &ending, nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    std::perror("caffeinate: fork");
    return 1;
  }
  if (pid == 0) {
    ::sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    ::execvp(argv[start], argv + start);
    std::fprintf(stderr, "caffeinate: %s: %s\n", argv[start], std::strerror(errno));
    ::_exit(127);
  }
  child = pid;
  struct sigaction action {};
  action.sa_handler = forward;
  sigemptyset(&action.sa_mask);
  for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
    ::sigaction(signo, &action, nullptr);
  }
  ::sigprocmask(SIG_UNBLOCK, &ending, nullptr);
  return waitForChild(pid);
}
