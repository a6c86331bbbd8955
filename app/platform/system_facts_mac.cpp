#include <fcntl.h>
#include <mach-o/dyld.h>
#include <sys/sysctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "app/platform/system_facts.h"

namespace kestrova::os {

std::string executablePath() {
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buffer(size + 1, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) return {};
  // The loader may give the path as the program was started ("./x", through links); the bundle
  // is found from the real one.
  std::error_code error;
  const auto real = std::filesystem::canonical(buffer.data(), error);
  return error ? std::string(buffer.data()) : real.string();
}

std::string osProductText() {
  char version[64] = {};
  std::size_t size = sizeof version - 1;
  if (::sysctlbyname("kern.osproductversion", version, &size, nullptr, 0) != 0) return "macOS";
  return std::string("macOS ") + version;
}

// macOS has no atomic close-on-exec pipe, so both ends are marked just after. A spawn on another
// thread in that moment cannot keep them: the command runner's spawns hand over only the
// descriptors they name (see inheritOnlyStandardStreams), and a detached program's short-lived
// middle process exits at once while its child closes everything but its report pipe.
int openPipe(int (&ends)[2]) {
  if (::pipe(ends) != 0) return errno;
  for (const int end : ends) {
    if (::fcntl(end, F_SETFD, FD_CLOEXEC) != 0) {
      const int error = errno;
      ::close(ends[0]);
      ::close(ends[1]);
      return error;
    }
  }
  return 0;
}

// With POSIX_SPAWN_CLOEXEC_DEFAULT the child keeps only the descriptors the actions name: the
// targets of their dup2s, and the standard streams named here.
int inheritOnlyStandardStreams(posix_spawn_file_actions_t& actions, short& flags) {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (const int error = posix_spawn_file_actions_addinherit_np(&actions, fd)) return error;
  }
  flags = static_cast<short>(flags | POSIX_SPAWN_CLOEXEC_DEFAULT);
  return 0;
}

bool closeDescriptorRange(unsigned, unsigned) noexcept { return false; }

// fsync only hands the data to the drive, whose cache may still lose it; F_FULLFSYNC asks the
// drive to write it out. Some file systems (network shares, FAT) refuse it: plain fsync there.
int flushToDisk(int fd) {
  if (::fcntl(fd, F_FULLFSYNC) == 0) return 0;
  return ::fsync(fd) == 0 ? 0 : errno;
}

}  // namespace kestrova::os
