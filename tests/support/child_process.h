// A program run by a test as its own child: killed and reaped when the
// object goes, so no test leaves a process behind, whatever assertion ended it.
//
//   ChildProcess server({.argv = {"/usr/bin/python3", script}, .env = {"SEED=7"}});
//   ASSERT_TRUE(server.started()) << server.error();
//   EXPECT_EQ(server.stop(SIGTERM, 5), 0);  // exit status, 128 + signal, or absent if running
#pragma once

#include <sys/types.h>

#include <csignal>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::testing {

struct ChildSpec {
  std::vector<std::string> argv = {};  // argv[0]: a path, or a name looked up on PATH
  // "NAME=value" entries added to (or replacing names in) our environment.
  std::vector<std::string> env = {};
  // Where standard output and error go: "" keeps ours, otherwise a file (truncated) such as
  // "/dev/null". Both may name the same file.
  std::string stdoutPath = "";
  std::string stderrPath = "";
  bool ownGroup = false;  // a new session: signals and the final kill reach its whole group
};

class ChildProcess {
 public:
  explicit ChildProcess(ChildSpec child);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  [[nodiscard]] bool started() const { return pid_ > 0; }
  // Why it did not start (the failed call and its errno text); "" once started.
  [[nodiscard]] const std::string& error() const { return error_; }
  [[nodiscard]] pid_t pid() const { return pid_; }

  // Waits up to `limitSeconds` for the child to end and reaps it: its exit status, 128 + the
  // signal that ended it, or absent when it is still running. Asking again returns the same.
  std::optional<int> wait(double limitSeconds = 30);
  // Signals the child (its group with `ownGroup`) unless reaped, then waits (SIGKILL ends any
  // child, so its wait always has an answer).
  std::optional<int> stop(int number = SIGTERM, double limitSeconds = 30);

 private:
  bool reap(bool block);

  pid_t pid_ = -1;
  bool group_ = false;
  std::optional<int> status_;
  std::string error_;
};

}  // namespace kestrova::testing
