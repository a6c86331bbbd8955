#include "standins/security/keychain_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace kestrova::standin {

namespace {

std::optional<std::string> writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::strerror(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return std::strerror(errno);
  return std::nullopt;
}

}  // namespace

std::string keychainPath() {
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.kestrova-standins/keychain";
}

std::optional<std::vector<KeychainItem>> loadKeychain(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return std::vector<KeychainItem>{};
    error = std::strerror(errno);
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  const auto json = nlohmann::json::parse(text.str(), nullptr, false);
  if (!json.is_array()) {
    error = "the keychain file is damaged";
    return std::nullopt;
  }
  std::vector<KeychainItem> items;
  for (const auto& entry : json) {
    if (!entry.is_object() || !entry.value("service", nlohmann::json()).is_string() ||
        !entry.value("account", nlohmann::json()).is_string() ||
        !entry.value("password", nlohmann::json()).is_string()) {
      error = "the keychain file is damaged";
      return std::nullopt;
    }
    items.push_back({entry["service"], entry["account"], entry["password"]});
  }
  return items;
}

void makeKeychainFolder(const std::string& path) {
  const auto folder = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (std::filesystem::create_directories(folder, ec)) {
    ::chmod(folder.c_str(), 0700);
  }
}

std::optional<std::string> saveKeychain(const std::string& path,
                                        const std::vector<KeychainItem>& items) {
  nlohmann::json json = nlohmann::json::array();
  for (const auto& item : items) {
    json.push_back(
        {{"service", item.service}, {"account", item.account}, {"password", item.password}});
  }
  std::string text;
  try {
    text = json.dump(2) + "\n";
  } catch (const nlohmann::json::exception& e) {
    return e.what();
  }
  makeKeychainFolder(path);
  std::string temp = path + ".XXXXXX";
  // mkstemp creates the file 0600: the secret is never readable by others, not even briefly.
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return std::strerror(errno);
  auto failed = writeAll(fd, text);
  if (::close(fd) != 0 && !failed) failed = std::strerror(errno);
  if (!failed && ::rename(temp.c_str(), path.c_str()) != 0) failed = std::strerror(errno);
  if (failed) ::unlink(temp.c_str());
  return failed;
}

}  // namespace kestrova::standin
