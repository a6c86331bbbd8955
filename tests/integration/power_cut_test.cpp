// A power cut in the middle of a write must leave the old file or the new one, whole, at the
// target path. A SIGKILL at a random moment stands in for the cut: the writer gets no chance
// to clean up, exactly as when the power goes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "app/engine/agent.h"
#include "app/platform/atomic_file.h"
#include "tests/support/test_platform.h"

extern char** environ;

namespace kestrova {
namespace {

void killAfter(pid_t pid, std::chrono::microseconds delay) {
  std::this_thread::sleep_for(delay);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

// The writers the app uses for its own files: the agent's property list (small) and a report or
// script of some size; each run alternates between two versions of the same file.
TEST(PowerCut, AtomicWriteLeavesOldOrNewWhole) {
  std::string small;
  {
    // The platform's HTTP threads are gone again before the fork below.
    testing::TestPlatform test;
    small = Agent::plist({"/usr/bin/caffeinate", "-is", "/A & B/<engine>"});
  }
  testing::Sandbox sandbox;
  const std::string target = sandbox.path("Library/LaunchAgents/agent.plist");
  const std::string large(3 << 20, 'r');
  ASSERT_EQ(sandbox.write("Library/LaunchAgents/agent.plist", small), target);

  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> delay(0, 30'000);
  for (int cut = 0; cut < 40; ++cut) {
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      for (int i = 0;; ++i) {
        (void)writeFileAtomically(target, i % 2 == 0 ? large : small);
      }
    }
    killAfter(writer, std::chrono::microseconds(delay(random)));
    const std::string now = sandbox.read("Library/LaunchAgents/agent.plist");
    ASSERT_TRUE(now == small || now == large)
        << "torn file of " << now.size() << " bytes at cut " << cut;
  }
}

bool wholePng(const std::string& bytes) {
  static const std::string signature = "\x89PNG\r\n\x1a\n";
  static const std::string end("IEND\xae\x42\x60\x82", 8);
  return bytes.size() > signature.size() + end.size() && bytes.rfind(signature, 0) == 0 &&
         bytes.compare(bytes.size() - end.size(), end.size(), end) == 0;
}

TEST(PowerCut, InkslabCardIsOldOrNewWhole) {
  testing::Sandbox sandbox;
  const std::string inkslab = std::string(KESTROVA_ENGINE_RUNTIME_DIR) + "/inkslab";
  const std::string target = sandbox.path("card.png");
  auto render = [&](const char* text) {
    std::vector<std::string> args{inkslab, target,   "1920",        "1080", "203040", text,
                                  "96",    "FFFFFF", "Second line", "48",   "FFCC00"};
    std::vector<char*> argv;
    for (auto& arg : args) {
      argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, inkslab.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    return pid;
  };
  const pid_t first = render("Old card");
  ASSERT_GT(first, 0);
  int status = 0;
  ::waitpid(first, &status, 0);
  ASSERT_TRUE(wholePng(sandbox.read("card.png")));

  std::mt19937 random(7);
  std::uniform_int_distribution<int> delay(0, 60'000);
  for (int cut = 0; cut < 25; ++cut) {
    const pid_t pid = render(cut % 2 == 0 ? "New card" : "Old card");
    ASSERT_GT(pid, 0);
    killAfter(pid, std::chrono::microseconds(delay(random)));
    ASSERT_TRUE(wholePng(sandbox.read("card.png"))) << "torn card at cut " << cut;
  }
}

}  // namespace
}  // namespace kestrova
