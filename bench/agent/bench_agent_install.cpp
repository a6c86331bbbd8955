// Agent::install() against the launchctl stand-in and the stand-in engine in a sandboxed home:
// wall time and launchctl invocations per install, for a fresh install and for a reinstall over
// a loaded service (which waits for the old one to go first).
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/engine/agent.h"
#include "app/engine/paths.h"
#include "app/engine/shell.h"
#include "app/platform/posix_command_runner.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace {

using namespace kestrova;
using kestrova::testing::freePort;

// Forwards to the real runner and counts launchctl invocations.
class CountingRunner final : public CommandRunner {
 public:
  explicit CountingRunner(std::string launchctl) : launchctl_(std::move(launchctl)) {}
  ShellResult run(const std::string& path, const std::vector<std::string>& arguments,
                  double timeout) override {
    if (path == launchctl_) {
      ++launchctlCalls;
    }
    return real_.run(path, arguments, timeout);
  }
  ToolOutput runLimited(const std::string& path, const std::vector<std::string>& arguments,
                        double limitSeconds) override {
    return real_.runLimited(path, arguments, limitSeconds);
  }
  int launchctlCalls = 0;

 private:
  std::string launchctl_;
  PosixCommandRunner real_;
};

struct Sample {
  double milliseconds;
  int invocations;
};

void waitForEngine() {
  httplib::Client client("127.0.0.1", static_cast<int>(Paths::port()));
  client.set_connection_timeout(1);
  for (int tries = 0; tries < 200; ++tries) {
    if (const auto reply = client.Get("/api/status"); reply && reply->status == 200) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  std::fprintf(stderr, "the engine did not answer\n");
  std::exit(1);
}

Sample timedInstall(CountingRunner& runner) {
  runner.launchctlCalls = 0;
  const auto start = std::chrono::steady_clock::now();
  const auto failure = Agent::install();
  const auto end = std::chrono::steady_clock::now();
  if (failure) {
    std::fprintf(stderr, "install failed: %s\n", failure->c_str());
    std::exit(1);
  }
  return {std::chrono::duration<double, std::milli>(end - start).count(), runner.launchctlCalls};
}

void report(const char* name, std::vector<Sample> samples) {
  std::sort(samples.begin(), samples.end(),
            [](const Sample& a, const Sample& b) { return a.milliseconds < b.milliseconds; });
  int fewest = samples.front().invocations;
  int most = fewest;
  for (const auto& sample : samples) {
    fewest = std::min(fewest, sample.invocations);
    most = std::max(most, sample.invocations);
  }
  std::printf("%-28s n=%zu  median %.1f ms  min %.1f ms  max %.1f ms  launchctl calls %d-%d\n",
              name, samples.size(), samples[samples.size() / 2].milliseconds,
              samples.front().milliseconds, samples.back().milliseconds, fewest, most);
}

}  // namespace

int main() {
  constexpr int kRounds = 10;
  const Tools tools = testing::standinTools();
  CountingRunner runner(tools.launchctl);
  testing::TestPlatform env{tools, &runner};
  ::setenv("HOME", env.sandbox.home().c_str(), 1);
  env.host.realSleeps = true;
  env.host.uid = ::getuid();
  env.host.env["KESTROVA_ALLOW_ANYWHERE"] = "1";
  env.host.bundle = KESTROVA_BUNDLE_DIR;
  env.host.resources = std::string(KESTROVA_BUNDLE_DIR) + "/Contents/Resources";
  env.sandbox.write("Library/Application Support/Kestrova/config.json",
                    "{\"port\": " + std::to_string(freePort()) + "}");

  std::vector<Sample> fresh;
  std::vector<Sample> over;
  for (int round = 0; round < kRounds; ++round) {
    Agent::stop();
    // Each install starts from an engine that is up, as a user's would.
    fresh.push_back(timedInstall(runner));
    waitForEngine();
    over.push_back(timedInstall(runner));
    waitForEngine();
  }
  Agent::uninstall();
  shell(tools.launchctl, {"x-power-cut"});
  report("install (nothing loaded)", fresh);
  report("install (over a loaded one)", over);
  return 0;
}
