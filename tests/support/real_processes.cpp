#include "tests/support/real_processes.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace kestrova::testing {

int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  auto* generic = reinterpret_cast<sockaddr*>(&address);
  const bool bound = ::bind(fd, generic, length) == 0 && ::getsockname(fd, generic, &length) == 0;
  ::close(fd);
  return bound ? ntohs(address.sin_port) : 0;
}

bool eventually(const std::function<bool()>& condition, double limitSeconds) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= limit) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace kestrova::testing
