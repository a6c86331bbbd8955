// Where the stand-in launchd keeps its service table: below the user's home, one folder per
// domain and per service, so a temporary home isolates a test. A service is loaded exactly while
// its supervisor holds the lock on its folder; a power cut (every process killed) therefore
// leaves nothing loaded, as a restarted Mac has nothing loaded until the user logs in.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrova::launchd {

// Owns one file descriptor.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd();
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  [[nodiscard]] bool valid() const { return fd_ >= 0; }
  int release();

 private:
  int fd_;
};

// "gui/<uid>" split into its parts; absent when the text is not a gui domain.
[[nodiscard]] std::optional<std::string> domainFolderName(const std::string& domain);

// $HOME/.kestrova-standins/launchd
[[nodiscard]] std::string stateRoot();
[[nodiscard]] std::string domainFolder(const std::string& domain);
[[nodiscard]] std::string serviceFolder(const std::string& domain, const std::string& label);
// Every service folder of every domain in this home.
[[nodiscard]] std::vector<std::string> allServiceFolders();

// Serialises the verbs that change a domain (bootstrap, bootout, replay). Blocks until held.
[[nodiscard]] Fd lockDomain(const std::string& domain);
// The supervisor's hold on its service; invalid when another supervisor holds it.
[[nodiscard]] Fd holdService(const std::string& folder);
[[nodiscard]] bool isHeld(const std::string& folder);

// A bootout in progress: set by launchctl before it signals the supervisor, so a bootstrap
// arriving before the old supervisor has gone is refused instead of mistaken for a live service.
void markStopping(const std::string& folder);
void clearStopping(const std::string& folder);
[[nodiscard]] bool isStopping(const std::string& folder);

}  // namespace kestrova::launchd
