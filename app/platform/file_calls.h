// The system calls a durable file replacement is made of, behind one object, so that their order
// and their failures can be seen without cutting the power.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace kestrova {

// Each call does what the system's own does; a test derives from this to watch or fail a step.
class FileCalls {
 public:
  FileCalls() = default;
  virtual ~FileCalls() = default;
  FileCalls(const FileCalls&) = delete;
  FileCalls& operator=(const FileCalls&) = delete;

  // As write(2): the bytes written, else -1 with errno set.
  virtual ssize_t write(int fd, const void* data, std::size_t size);
  // Makes what was written to `fd` (a file or a folder) survive a power loss; 0, else the error
  // number.
  virtual int flushToDisk(int fd);
  // As close(2): 0, else -1 with errno set; a network file system may report a lost write here.
  virtual int close(int fd);
  // As rename(2): 0, else -1 with errno set.
  virtual int rename(const char* from, const char* to);
};

// The calls in use: the system's, unless a ScopedFileCalls has installed others.
[[nodiscard]] FileCalls& fileCalls();

// Installs `installed` for its lifetime and restores the previous calls afterwards.
class ScopedFileCalls {
 public:
  explicit ScopedFileCalls(FileCalls& installed);
  ~ScopedFileCalls();
  ScopedFileCalls(const ScopedFileCalls&) = delete;
  ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;

 private:
  FileCalls* previous_;
};

}  // namespace kestrova
