#include "standins/engine/dashboard_password.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string_view>
#include <vector>

#include "standins/system/process_facts.h"

extern char** environ;

namespace kestrova::engine {
namespace {

constexpr const char* kService = "com.talmiro.kestrova";
constexpr const char* kAccount = "password";

// Runs the tool with its output thrown away (a found password must not reach agent.out) and
// returns its exit status, or -1 when it could not be run.
int runQuietly(const std::string& tool, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), tool);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Easy to read aloud and to type: no 0/O, 1/l/I.
std::string randomPassword() {
  static constexpr std::string_view kAlphabet = "abcdefghjkmnpqrstuvwxyz23456789";
  std::random_device source;  // the kernel's random source
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::string password;
  for (int group = 0; group < 4; ++group) {
    if (group > 0) password += '-';
    for (int i = 0; i < 5; ++i) password += kAlphabet[pick(source)];
  }
  return password;
}

}  // namespace

std::optional<std::string> securityTool() {
  namespace fs = std::filesystem;
  // Where the stand-ins live outside the bundle (as on the Mac, which ships none), tests say so.
  if (const char* standins = std::getenv("KESTROVA_STANDINS_DIR"); standins && *standins) {
    return (fs::path(standins) / "security").string();
  }
  if (const char* resources = std::getenv("KESTROVA_RESOURCES"); resources && *resources) {
    return (fs::path(resources).parent_path() / "standins" / "security").string();
  }
  // Contents/Resources/engine/runtime/kestrova-engine -> Contents/Resources/standins/security
  const fs::path self = standin::ownExecutable();
  if (self.empty()) return std::nullopt;
  return (self.parent_path().parent_path().parent_path() / "standins" / "security").string();
}

void ensureDashboardPassword(StreamLog& log) {
  const auto tool = securityTool();
  if (!tool || access(tool->c_str(), X_OK) != 0) {
    log.write("dashboard password not checked: no Keychain tool at " + tool.value_or("(unknown)"));
    return;
  }
  if (runQuietly(*tool, {"find-generic-password", "-s", kService, "-a", kAccount, "-w"}) == 0) {
    return;
  }
  std::string password = randomPassword();
  const int status =
      runQuietly(*tool, {"add-generic-password", "-s", kService, "-a", kAccount, "-w", password});
  std::fill(password.begin(), password.end(), '\0');
  log.write(status == 0
                ? "dashboard password created and stored in the Keychain"
                : "dashboard password could not be stored (status " + std::to_string(status) + ")");
}

}  // namespace kestrova::engine
