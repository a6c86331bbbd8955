// A controller under test: sandboxed home, virtual time, scripted launchctl, a loopback engine.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "app/engine/paths.h"
#include "app/shell/app_delegate.h"
#include "tests/support/launchctl_lines.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {

// An alert answer: which button, the field's text (absent: as filled in), how long it stays open.
inline ScriptedAnswer answerWith(int response, std::optional<std::string> text = std::nullopt,
                                 double heldFor = 0) {
  return ScriptedAnswer{response, std::move(text), heldFor};
}

class ShellHarness {
 public:
  ShellHarness() {
    // This copy's engine lives in the sandbox, so the agent's engine choice and staleness
    // check see a real executable; placement still looks at the (fake) /Applications path.
    resources = platform.sandbox.path("Kestrova.app/Contents/Resources");
    const std::string program = platform.sandbox.write(
        "Kestrova.app/Contents/Resources/engine/runtime/kestrova-engine", "#!/bin/sh\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    platform.host.resources = resources;
    // The quiet update checks ask the loopback server too, never the network.
    platform.sandbox.write("Library/Application Support/Kestrova/config.json",
                           R"({"port": )" + std::to_string(engine.port()) +
                               R"(, "update_feed": ")" + engine.url("/appcast.json") + R"("})");
    replyWith(R"({"enabled": true, "now": "Morning Show"})");
  }

  [[nodiscard]] std::string bootstrapLine() const {
    return kLaunchctl + " bootstrap gui/501 " + Paths::agentPlist();
  }
  [[nodiscard]] std::string enginePath() const {
    return resources + "/engine/runtime/kestrova-engine";
  }

  // An agent file as this copy would have written it (the staleness check looks for the path).
  void writeAgentFile(const std::string& programPath) {
    platform.sandbox.write("Library/LaunchAgents/com.talmiro.kestrova.engine.plist",
                           "<plist><string>" + programPath + "</string></plist>");
  }
  [[nodiscard]] bool agentFileExists() const {
    return platform.sandbox.exists("Library/LaunchAgents/com.talmiro.kestrova.engine.plist");
  }
  [[nodiscard]] std::string agentFile() const {
    return platform.sandbox.read("Library/LaunchAgents/com.talmiro.kestrova.engine.plist");
  }

  // launchd as the agent sees it: the query answers this from now on.
  void serviceLoaded(bool loaded) { runner.answer(kPrint, loaded ? kOk : kUnknownService); }

  void replyWith(const std::string& body) {
    engine.on("GET", "/api/status", LoopbackReply{200, body});
  }

  [[nodiscard]] std::size_t statusRequests() const {
    std::size_t count = 0;
    for (const auto& request : engine.requests()) {
      count += request.path == "/api/status" ? 1 : 0;
    }
    return count;
  }
  // Waits (in real time, for the sockets) until this many status requests have arrived. The
  // loop wakes for posts only, and an arrival at the server posts nothing: look in short slices.
  bool waitForRequests(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (platform.loop.runUntil([&] { return statusRequests() >= count; },
                                 std::chrono::milliseconds(5))) {
        return true;
      }
    }
    return false;
  }
  // Lets requests already sent reach the server and their replies come back, so that a count
  // taken afterwards also covers them (a test checking that something was NOT sent needs this).
  void settle() {
    (void)platform.loop.runUntil([] { return false; }, std::chrono::milliseconds(300));
  }

  // The next status request goes out exactly `delay` virtual seconds from now, not before.
  [[nodiscard]] ::testing::AssertionResult pollsAfter(double delay) {
    const std::size_t before = statusRequests();
    platform.loop.advance(delay - 0.1);
    settle();
    if (statusRequests() != before) {
      return ::testing::AssertionFailure() << "polled before " << delay << " s";
    }
    platform.loop.advance(0.1);
    if (!waitForRequests(before + 1)) {
      return ::testing::AssertionFailure() << "no poll at " << delay << " s";
    }
    return ::testing::AssertionSuccess();
  }

  // Replies applied so far: the status item's icon is set once at start-up and once per reply.
  [[nodiscard]] int repliesApplied() const {
    return platform.ui.statusItem ? platform.ui.statusItem->appearanceSets - 1 : 0;
  }
  bool waitForReplies(int count) {
    return platform.loop.runUntil([&] { return repliesApplied() >= count; });
  }

  void launch() { delegate->applicationDidFinishLaunching(); }

  // A launch with nothing to ask: agent file for this copy, service loaded.
  void launchSettled() {
    writeAgentFile(enginePath());
    serviceLoaded(true);
    launch();
  }

  [[nodiscard]] FakeStatusItem& item() const { return *platform.ui.statusItem; }

  ScriptedRunner runner;
  TestPlatform platform{Tools{}, &runner};
  LoopbackServer engine;
  std::string resources;
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create();
};

}  // namespace kestrova::testing
