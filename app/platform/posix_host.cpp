#include "app/platform/posix_host.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/platform/detached_spawn.h"
#include "app/platform/info_plist.h"
#include "app/platform/system_facts.h"

namespace kestrova {
namespace {

// "6.1.0-18-amd64" reads as "6.1.0": the distribution's build suffix says nothing to a person.
std::string kernelVersion() {
  struct utsname names {};
  if (::uname(&names) != 0) return {};
  std::string release = names.release;
  const auto end = release.find_first_not_of("0123456789.");
  return release.substr(0, end);
}

void openSystemLogOnce() {
  static std::once_flag once;
  std::call_once(once, [] { ::openlog("Kestrova", LOG_PID, LOG_USER); });
}

}  // namespace

std::string bundlePathForExecutable(const std::string& executable) {
  const std::filesystem::path folder = std::filesystem::path(executable).parent_path();
  if (folder.filename() == "MacOS" && folder.parent_path().filename() == "Contents" &&
      folder.parent_path().parent_path().extension() == ".app") {
    return folder.parent_path().parent_path().string();
  }
  return folder.string();
}

PosixHost::PosixHost() : PosixHost(bundlePathForExecutable(os::executablePath())) {}

PosixHost::PosixHost(std::string bundlePath)
    : bundlePath_(std::move(bundlePath)),
      infoStrings_(readInfoPlistStrings(bundlePath_ + "/Contents/Info.plist")) {}

std::string PosixHost::homeDirectory() const {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

std::optional<std::string> PosixHost::environment(const std::string& name) const {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

int PosixHost::processId() const { return static_cast<int>(::getpid()); }

unsigned PosixHost::userId() const { return ::getuid(); }

std::string PosixHost::osVersionText() const {
  std::string text = os::osProductText();
  const std::string kernel = kernelVersion();
  if (!kernel.empty()) text += ", kernel " + kernel;
  return text;
}

std::string PosixHost::bundlePath() const { return bundlePath_; }

std::optional<std::string> PosixHost::resourcesPath() const {
  const std::string resources = bundlePath_ + "/Contents/Resources";
  std::error_code error;
  if (!std::filesystem::is_directory(resources, error)) return std::nullopt;
  return resources;
}

std::optional<std::string> PosixHost::infoString(const std::string& key) const {
  auto found = infoStrings_.find(key);
  if (found == infoStrings_.end()) return std::nullopt;
  return found->second;
}

void PosixHost::systemLog(const std::string& line) const {
  openSystemLogOnce();
  ::syslog(LOG_NOTICE, "%s", line.c_str());
  std::fprintf(stderr, "%s\n", line.c_str());
}

bool PosixHost::isExecutableFile(const std::string& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

std::chrono::system_clock::time_point PosixHost::now() const {
  return std::chrono::system_clock::now();
}

void PosixHost::sleepFor(double seconds) const {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::optional<std::string> PosixHost::spawnDetached(
    const std::string& path, const std::vector<std::string>& arguments) const {
  return spawnDetachedProgram(path, arguments);
}

}  // namespace kestrova
