// Linux stand-in for the Keychain's `security` tool: the generic-password commands Kestrova and
// its engine use, with the exit statuses and messages of the real tool.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "standins/security/keychain_file.h"

namespace {

using kestrova::standin::KeychainItem;

constexpr int kNotFound = 44;   // errSecItemNotFound, as the tool reports it
constexpr int kDuplicate = 45;  // errSecDuplicateItem
constexpr int kUsage = 2;

struct Options {
  std::map<char, std::string> values;  // -s, -a, -w (add), -l ...
  std::set<char> flags;                // -w (find), -U, -g
};

int usage(const std::string& command) {
  std::cerr << "usage: security " << command << " [-a account] [-s service] [-w password] [-U]\n";
  return kUsage;
}

// The options of one command; `valued` lists the letters that take a value.
std::optional<Options> parse(const std::vector<std::string>& args, const std::string& valued,
                             const std::string& bare) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() != 2 || arg[0] != '-') {
      continue;  // a keychain name; there is only one keychain here
    }
    const char letter = arg[1];
    if (valued.find(letter) != std::string::npos && i + 1 < args.size()) {
      options.values[letter] = args[++i];
    } else if (bare.find(letter) != std::string::npos) {
      options.flags.insert(letter);
    } else {
      return std::nullopt;
    }
  }
  return options;
}

bool matches(const KeychainItem& item, const Options& options) {
  const auto service = options.values.find('s');
  const auto account = options.values.find('a');
  return (service == options.values.end() || item.service == service->second) &&
         (account == options.values.end() || item.account == account->second);
}

// Holds an exclusive lock on the keychain for a read-modify-write.
class KeychainLock {
 public:
  explicit KeychainLock(const std::string& keychain) {
    // The folder must exist first, or the very first writers would run unlocked.
    kestrova::standin::makeKeychainFolder(keychain);
    fd_ = ::open((keychain + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~KeychainLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  KeychainLock(const KeychainLock&) = delete;
  KeychainLock& operator=(const KeychainLock&) = delete;

 private:
  int fd_ = -1;
};

// The keychain's items, or absent after telling why under the failing call's name, as the
// real tool names the call that failed.
std::optional<std::vector<KeychainItem>> loadOrReport(const std::string& path,
                                                      const char* failingCall) {
  std::string error;
  auto items = kestrova::standin::loadKeychain(path, error);
  if (!items) {
    std::cerr << "security: " << failingCall << ": " << error << "\n";
  }
  return items;
}

std::vector<KeychainItem>::iterator findItem(std::vector<KeychainItem>& items,
                                             const Options& options) {
  return std::find_if(items.begin(), items.end(),
                      [&](const KeychainItem& i) { return matches(i, options); });
}

int notFound() {
  std::cerr << "security: SecKeychainSearchCopyNext: The specified item could not be found in the "
               "keychain.\n";
  return kNotFound;
}

int find(const std::vector<std::string>& args) {
  const auto options = parse(args, "sal", "wg");
  if (!options) return usage("find-generic-password");
  const std::string path = kestrova::standin::keychainPath();
  auto items = loadOrReport(path, "SecKeychainSearchCopyNext");
  if (!items) return 1;
  const auto item = findItem(*items, *options);
  if (item == items->end()) return notFound();
  if (options->flags.count('w')) {
    std::cout << item->password << "\n";
  } else {
    std::cout << "keychain: \"" << path << "\"\nclass: \"genp\"\nattributes:\n"
              << "    \"acct\"<blob>=\"" << item->account << "\"\n"
              << "    \"svce\"<blob>=\"" << item->service << "\"\n";
  }
  return 0;
}

int add(const std::vector<std::string>& args) {
  const auto options = parse(args, "salw", "U");
  if (!options || !options->values.count('s') || !options->values.count('a') ||
      !options->values.count('w')) {
    return usage("add-generic-password");
  }
  const std::string path = kestrova::standin::keychainPath();
  KeychainLock lock(path);
  auto items = loadOrReport(path, "SecKeychainItemCreateFromContent (<default>)");
  if (!items) return 1;
  const auto item = findItem(*items, *options);
  if (item != items->end() && !options->flags.count('U')) {
    std::cerr << "security: SecKeychainItemCreateFromContent (<default>): The specified item "
                 "already exists in the keychain.\n";
    return kDuplicate;
  }
  if (item != items->end()) {
    item->password = options->values.at('w');
  } else {
    items->push_back({options->values.at('s'), options->values.at('a'), options->values.at('w')});
  }
  if (const auto failed = kestrova::standin::saveKeychain(path, *items)) {
    std::cerr << "security: SecKeychainItemCreateFromContent (<default>): " << *failed << "\n";
    return 1;
  }
  return 0;
}

int remove(const std::vector<std::string>& args) {
  const auto options = parse(args, "sal", "");
  if (!options) return usage("delete-generic-password");
  const std::string path = kestrova::standin::keychainPath();
  KeychainLock lock(path);
  auto items = loadOrReport(path, "SecKeychainSearchCopyNext");
  if (!items) return 1;
  const auto item = findItem(*items, *options);
  if (item == items->end()) return notFound();
  items->erase(item);
  if (const auto failed = kestrova::standin::saveKeychain(path, *items)) {
    std::cerr << "security: SecKeychainItemDelete: " << *failed << "\n";
    return 1;
  }
  std::cout << "password has been deleted.\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: security command [command_options] [command_args]\n";
    return kUsage;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "find-generic-password") return find(args);
  if (command == "add-generic-password") return add(args);
  if (command == "delete-generic-password") return remove(args);
  std::cerr << "security: unknown command \"" << command << "\"\n";
  return 1;
}
