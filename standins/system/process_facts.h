// Process facts and descriptor calls that differ between Linux and macOS, for the stand-ins.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrova::standin {

// The running program's own path; empty when the system cannot say.
[[nodiscard]] std::string ownExecutable();

// A pipe whose two ends close themselves at exec; 0, else the error number.
[[nodiscard]] int openPipe(int (&ends)[2]);

// Closes every descriptor from `first` up; for the child between fork and exec.
void closeDescriptorsFrom(int first) noexcept;

// The processes whose parent is `parent`.
[[nodiscard]] std::vector<pid_t> childrenOf(pid_t parent);

}  // namespace kestrova::standin
