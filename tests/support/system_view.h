// What tests ask the system about processes and about itself, read the way each system answers:
// system_view_linux.cpp and system_view_mac.cpp.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "tests/support/test_platform.h"

namespace kestrova::testing {

// Running, that is: a killed orphan may linger as a zombie where init does not reap.
[[nodiscard]] bool processRunning(pid_t pid);
// The program a process runs (empty once it is gone).
[[nodiscard]] std::string executableOf(pid_t pid);
// A folder in which nobody, root included, can create a file.
[[nodiscard]] std::string unwritableFolder();
// Shell commands printing, by the system's own tools, the system's name with its kernel as a
// report states them, and this user's home folder in the user database (with a newline).
[[nodiscard]] std::string osVersionCommand();
[[nodiscard]] std::string userDatabaseHomeCommand();
// The stand-ins, but for the update helper's disk-image and copy tools: the Mac's own hdiutil
// and ditto there, so that the helper's commands meet the tools they are written for.
[[nodiscard]] Tools helperTools();

// A shell command listing the shell's own open descriptors, one a line. It runs nothing but
// builtins, and /dev/fd shows the asking process's descriptors on both systems.
inline constexpr const char* kListOwnDescriptors =
    "fd=0; while [ $fd -lt 1024 ]; do [ -e /dev/fd/$fd ] && echo $fd; fd=$((fd + 1)); done";

}  // namespace kestrova::testing
