// The command runner on POSIX: fork/exec with one pipe for both output streams.
#pragma once

#include "app/platform/command_runner.h"

namespace kestrova {

// The child inherits our environment, working folder and standard input, and none of our other
// descriptors; it starts with no signals blocked or ignored, and it is always reaped.
// Status: the exit status; for a tool ended by an uncaught signal, the signal's number (as the
// Mac reports it, e.g. 9 for SIGKILL); -1 with "launch failed: <reason>" when it cannot start.
// Output that is not well-formed UTF-8 comes back empty, with the real status.
// The timeout is not enforced: the runner waits for the tool however long it takes.
class PosixCommandRunner final : public CommandRunner {
 public:
  ShellResult run(const std::string& path, const std::vector<std::string>& arguments,
                  double timeout) override;
  // The tool leads a process group of its own, so that what it started ends with it.
  ToolOutput runLimited(const std::string& path, const std::vector<std::string>& arguments,
                        double limitSeconds) override;
};

}  // namespace kestrova
