#include "app/platform/file_calls.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "app/platform/system_facts.h"

namespace kestrova {
namespace {

FileCalls& systemCalls() {
  static FileCalls calls;
  return calls;
}

std::atomic<FileCalls*> installed{nullptr};

}  // namespace

ssize_t FileCalls::write(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, size);
}

int FileCalls::flushToDisk(int fd) { return os::flushToDisk(fd); }

int FileCalls::close(int fd) { return ::close(fd); }

int FileCalls::rename(const char* from, const char* to) { return std::rename(from, to); }

FileCalls& fileCalls() {
  FileCalls* current = installed.load(std::memory_order_acquire);
  return current != nullptr ? *current : systemCalls();
}

ScopedFileCalls::ScopedFileCalls(FileCalls& calls)
    : previous_(installed.exchange(&calls, std::memory_order_acq_rel)) {}

ScopedFileCalls::~ScopedFileCalls() { installed.store(previous_, std::memory_order_release); }

}  // namespace kestrova
