// The few process and file calls that Linux and macOS answer differently, one file per system.
#pragma once

#include <spawn.h>

#include <string>

namespace kestrova::os {

// The running program's own path; empty when the system cannot say.
[[nodiscard]] std::string executablePath();

// The operating system's name and version as a person knows it, e.g. "macOS 14.2.1".
[[nodiscard]] std::string osProductText();

// A pipe whose two ends close themselves at exec; 0, else the error number.
[[nodiscard]] int openPipe(int (&ends)[2]);

// Makes a spawn hand the program only its standard input, output and error (whatever the actions
// already put there), none of our other descriptors. May add to `flags`, which the caller applies
// to the spawn's attributes. 0, else the error number.
[[nodiscard]] int inheritOnlyStandardStreams(posix_spawn_file_actions_t& actions, short& flags);

// Closes descriptors `first` to `last` at once, where the system can; false to have the caller
// close them one by one. Async-signal-safe: it runs between fork and exec.
bool closeDescriptorRange(unsigned first, unsigned last) noexcept;

// Makes what was written to `fd` survive a power loss, as far as the drive allows; 0, else the
// error number.
[[nodiscard]] int flushToDisk(int fd);

}  // namespace kestrova::os
