// The stand-in keychain: generic-password items kept in one private file under the home folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrova::standin {

struct KeychainItem {
  std::string service;
  std::string account;
  std::string password;
};

// $HOME/.kestrova-standins/keychain
[[nodiscard]] std::string keychainPath();

// The items in the file; empty when there is no file. Absent (with `error` set) when the file is
// there but cannot be read or is not a keychain.
[[nodiscard]] std::optional<std::vector<KeychainItem>> loadKeychain(const std::string& path,
                                                                    std::string& error);

// Creates the keychain's folder, private to the user, when it is missing.
void makeKeychainFolder(const std::string& path);

// Replaces the file whole (mode 0600); absent on success, else what went wrong.
[[nodiscard]] std::optional<std::string> saveKeychain(const std::string& path,
                                                      const std::vector<KeychainItem>& items);

}  // namespace kestrova::standin
