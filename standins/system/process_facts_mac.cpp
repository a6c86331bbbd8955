#include <fcntl.h>
#include <libproc.h>
#include <mach-o/dyld.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>

#include "standins/system/process_facts.h"

namespace kestrova::standin {

std::string ownExecutable() {
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buffer(size + 1, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) return {};
  // As the program was started, perhaps through links; callers find their bundle from the real one.
  std::error_code error;
  const auto real = std::filesystem::canonical(buffer.data(), error);
  return error ? std::string(buffer.data()) : real.string();
}

// Marked just after creation: the stand-ins are single-threaded, so no spawn can come between.
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

void closeDescriptorsFrom(int first) noexcept {
  const int limit = ::getdtablesize();
  for (int fd = first; fd < limit && fd < 65536; ++fd) ::close(fd);
}

std::vector<pid_t> childrenOf(pid_t parent) {
  std::vector<pid_t> children(4096);
  const int bytes =
      ::proc_listpids(PROC_PPID_ONLY, static_cast<std::uint32_t>(parent), children.data(),
                      static_cast<int>(children.size() * sizeof(pid_t)));
  children.resize(bytes > 0 ? static_cast<std::size_t>(bytes) / sizeof(pid_t) : 0);
  std::erase(children, 0);
  return children;
}

}  // namespace kestrova::standin
