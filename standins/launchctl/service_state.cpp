#include "standins/launchctl/service_state.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace kestrova::launchd {
namespace {

namespace fs = std::filesystem;

// Open-file-description locks: released when the holder's last descriptor closes, which includes
// the holder being killed, and tested without being taken.
struct flock wholeFileWriteLock() {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  lock.l_pid = 0;
  return lock;
}

Fd openLockFile(const std::string& path) {
  return Fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
}

}  // namespace

Fd::~Fd() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) {
      ::close(fd_);
    }
    fd_ = other.release();
  }
  return *this;
}

int Fd::release() { return std::exchange(fd_, -1); }

std::optional<std::string> domainFolderName(const std::string& domain) {
  const std::string prefix = "gui/";
  if (domain.rfind(prefix, 0) != 0 || domain.size() == prefix.size() ||
      domain.size() > prefix.size() + 10) {
    return std::nullopt;
  }
  for (std::size_t i = prefix.size(); i < domain.size(); ++i) {
    if (domain[i] < '0' || domain[i] > '9') {
      return std::nullopt;
    }
  }
  return "gui-" + domain.substr(prefix.size());
}

std::string stateRoot() {
  const char* home = std::getenv("HOME");
  std::string base = home != nullptr && *home != '\0' ? home : "";
  if (base.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid())) {
      base = entry->pw_dir;
    }
  }
  return base + "/.kestrova-standins/launchd";
}

std::string domainFolder(const std::string& domain) {
  return stateRoot() + "/" + domainFolderName(domain).value_or("invalid");
}

std::string serviceFolder(const std::string& domain, const std::string& label) {
  return domainFolder(domain) + "/" + label;
}

std::vector<std::string> allServiceFolders() {
  std::vector<std::string> folders;
  std::error_code error;
  for (const auto& domain : fs::directory_iterator(stateRoot(), error)) {
    if (!domain.is_directory()) {
      continue;
    }
    std::error_code inner;
    for (const auto& service : fs::directory_iterator(domain.path(), inner)) {
      if (service.is_directory()) {
        folders.push_back(service.path().string());
      }
    }
  }
  return folders;
}

Fd lockDomain(const std::string& domain) {
  std::error_code ignored;
  fs::create_directories(domainFolder(domain), ignored);
  Fd fd = openLockFile(domainFolder(domain) + "/.lock");
  if (fd.valid()) {
    struct flock lock = wholeFileWriteLock();
    while (::fcntl(fd.get(), F_OFD_SETLKW, &lock) != 0 && errno == EINTR) {
    }
  }
  return fd;
}

Fd holdService(const std::string& folder) {
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  Fd fd = openLockFile(folder + "/lock");
  struct flock lock = wholeFileWriteLock();
  if (!fd.valid() || ::fcntl(fd.get(), F_OFD_SETLK, &lock) != 0) {
    return Fd();
  }
  return fd;
}

bool isHeld(const std::string& folder) {
  Fd fd(::open((folder + "/lock").c_str(), O_RDWR | O_CLOEXEC));
  if (!fd.valid()) {
    return false;
  }
  struct flock lock = wholeFileWriteLock();
  if (::fcntl(fd.get(), F_OFD_GETLK, &lock) != 0) {
    return false;
  }
  return lock.l_type != F_UNLCK;
}

void markStopping(const std::string& folder) {
  Fd fd(::open((folder + "/stopping").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
}

void clearStopping(const std::string& folder) { ::unlink((folder + "/stopping").c_str()); }

bool isStopping(const std::string& folder) {
  return ::access((folder + "/stopping").c_str(), F_OK) == 0;
}

}  // namespace kestrova::launchd
