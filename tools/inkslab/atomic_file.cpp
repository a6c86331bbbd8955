#include "tools/inkslab/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kestrova::inkslab {
namespace {

// Owns a file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { close(); }
  [[nodiscard]] int get() const { return fd_; }
  // Closes now and says whether the close succeeded (a late write error shows here).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string failure(const char* step) { return std::string(step) + ": " + std::strerror(errno); }

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

// The mode a file made by open(..., 0666) would get under the current umask.
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666U & ~static_cast<unsigned>(mask));
}

std::optional<std::string> fillTemporary(int fd, std::span<const std::uint8_t> bytes) {
  if (!writeAll(fd, bytes)) {
    return failure("write");
  }
  if (::fchmod(fd, newFileMode()) != 0) {
    return failure("fchmod");
  }
  if (::fsync(fd) != 0) {
    return failure("fsync");
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> replaceFile(const std::string& path,
                                       std::span<const std::uint8_t> bytes) {
  if (path.empty() || path.back() == '/') {
    return "not a file path";
  }
  const std::string folder = folderOf(path);
  std::string name = folder + "/.inkslab-XXXXXX.tmp";
  std::vector<char> pattern(name.begin(), name.end());
  pattern.push_back('\0');
  Descriptor file(::mkostemps(pattern.data(), 4, O_CLOEXEC));
  if (file.get() < 0) {
    return failure("create temporary file");
  }
  name.assign(pattern.data());
  auto error = fillTemporary(file.get(), bytes);
  if (!error && !file.close()) {
    error = failure("close");
  }
  if (!error && ::rename(name.c_str(), path.c_str()) != 0) {
    error = failure("rename");
  }
  if (error) {
    ::unlink(name.c_str());
    return error;
  }
  // Make the rename itself survive a power cut; the file is in place whatever this says.
  const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) {
    static_cast<void>(::fsync(dir.get()));
  }
  return std::nullopt;
}

}  // namespace kestrova::inkslab
