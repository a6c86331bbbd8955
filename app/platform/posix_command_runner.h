// The command runner on POSIX: fork/exec with one pipe for both output streams.
#pragma once

#include "app/platform/command_runner.h"

namespace kestrova {

// The child inherits our environment, working folder and standard input, and none of our other
// descriptors; it is always reaped. The timeout is not enforced.
class PosixCommandRunner final : public CommandRunner {
 public:
  ShellResult run(const std::string& path, const std::vector<std::string>& arguments,
                  double timeout) override;
};

}  // namespace kestrova
