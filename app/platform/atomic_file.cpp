#include "app/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "app/platform/file_calls.h"

namespace kestrova {
namespace {

// Closes the descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::string describe(int error) { return std::strerror(error); }

std::optional<std::string> writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = fileCalls().write(fd, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return describe(errno);
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

// Fills a temporary file and makes it durable; absent on success.
std::optional<std::string> fillTemporary(Descriptor& fd, std::string_view contents, mode_t mode) {
  if (::fchmod(fd.get(), mode) != 0) {
    return describe(errno);
  }
  if (auto failed = writeAll(fd.get(), contents)) {
    return failed;
  }
  if (const int error = fileCalls().flushToDisk(fd.get())) {
    return describe(error);
  }
  if (fileCalls().close(fd.release()) != 0) {
    return describe(errno);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::string& path, std::string_view contents,
                                               mode_t mode) {
  const std::filesystem::path target(path);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) {
    folder = ".";
  }
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  Descriptor fd(::mkostemp(name.data(), O_CLOEXEC));
  if (fd.get() < 0) {
    return describe(errno);
  }
  if (auto failed = fillTemporary(fd, contents, mode)) {
    ::unlink(name.data());
    return failed;
  }
  if (fileCalls().rename(name.data(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(name.data());
    return describe(error);
  }
  // The replacement has happened by now; a folder the file system will not flush does not undo it.
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) {
    static_cast<void>(fileCalls().flushToDisk(dir.get()));
  }
  return std::nullopt;
}

}  // namespace kestrova
