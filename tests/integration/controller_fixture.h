// The controller under test: sandboxed home, virtual time, scripted Ui and launchctl, and an HTTP
// double whose replies arrive through the virtual loop, so every request is counted, never waited
// for.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/engine/paths.h"
#include "app/shell/app_delegate.h"
#include "tests/support/alert_print.h"
#include "tests/support/launchctl_lines.h"
#include "tests/support/sandbox.h"
#include "tests/support/scripted_runner.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {

// Answers by the URL's path; a path with no answer is refused, as a port where nothing listens.
// Replies are posted to the loop (after `delay` virtual seconds when given); downloads are held
// until finishDownloads(), so a test can look at the controller while one is in flight.
class ScriptedHttp final : public Http {
 public:
  explicit ScriptedHttp(VirtualLoop& loop) : loop_(loop) {}

  void on(const std::string& path, const std::string& body, double delay = 0, long status = 200) {
    std::lock_guard lock(mutex_);
    answers_[path] = {body, delay, status};
  }
  void send(HttpRequest request, std::function<void(HttpResponse)> done) override {
    const auto answer = record(request);
    HttpResponse response;
    if (answer) {
      response.statusCode = answer->status;
      response.body = answer->body;
    } else {
      response.error = kRefused;
    }
    auto reply = [done = std::move(done), response] { done(response); };
    answer && answer->delay > 0 ? loop_.postAfter(answer->delay, reply) : loop_.post(reply);
  }
  void download(HttpRequest request, std::function<void(DownloadResult)> done) override {
    const auto answer = record(request);
    std::lock_guard lock(mutex_);
    held_.emplace_back(answer ? std::optional(answer->body) : std::nullopt, std::move(done));
  }
  // Hands every held download its file (deleted after its completion, as the real client does).
  void finishDownloads(const std::string& folder) {
    std::vector<std::pair<std::optional<std::string>, std::function<void(DownloadResult)>>> held;
    {
      std::lock_guard lock(mutex_);
      held.swap(held_);
    }
    for (auto& [body, done] : held) {
      DownloadResult result;
      const std::string file = folder + "/download-" + std::to_string(downloads_++);
      if (body) {
        writeFile(file, *body);
        result.file = file;
      } else {
        result.error = kRefused;
      }
      done(result);
      std::filesystem::remove(file);
    }
    loop_.runUntilIdle();
  }
  [[nodiscard]] std::size_t count(const std::string& path) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const HttpRequest& request : requests_) n += pathOf(request.url) == path ? 1 : 0;
    return n;
  }
  [[nodiscard]] std::vector<HttpRequest> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

  static inline const std::string kRefused = "Couldn't connect to server";

 private:
  struct Answer {
    std::string body;
    double delay;
    long status;
  };
  static std::string pathOf(const std::string& url) {
    const auto authority = url.find("//");
    const auto slash = url.find('/', authority == std::string::npos ? 0 : authority + 2);
    return slash == std::string::npos ? "/" : url.substr(slash);
  }
  std::optional<Answer> record(const HttpRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    const auto found = answers_.find(pathOf(request.url));
    return found == answers_.end() ? std::nullopt : std::optional(found->second);
  }

  VirtualLoop& loop_;
  mutable std::mutex mutex_;
  std::map<std::string, Answer> answers_;
  std::vector<HttpRequest> requests_;
  std::vector<std::pair<std::optional<std::string>, std::function<void(DownloadResult)>>> held_;
  int downloads_ = 0;
};

inline ScriptedAnswer answerWith(int response, double heldFor = 0) {
  return ScriptedAnswer{response, std::nullopt, heldFor};
}
inline constexpr int kSecondButton = kAlertFirstButton + 1;
inline constexpr int kEnginePort = 8800;
inline const std::string kAgentFile = "Library/LaunchAgents/com.talmiro.kestrova.engine.plist";
inline const std::string kConfigFile = "Library/Application Support/Kestrova/config.json";

// Public, so that table rows can drive fresh controllers of their own.
class ControllerTest : public ::testing::Test {
 public:
  ControllerTest() {
    // This copy's engine lives in the sandbox, so the agent's engine choice and staleness check
    // see a real executable; placement still looks at the (fake) /Applications path.
    platform.host.resources = platform.sandbox.path("Kestrova.app/Contents/Resources");
    const std::string program = platform.sandbox.write(
        "Kestrova.app/Contents/Resources/engine/runtime/kestrova-engine", "#!/bin/sh\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    platform.sandbox.write(kConfigFile, R"({"port": 8800, "update_feed": )"
                                        R"("https://feed.example/appcast.json"})");
    replyWith(R"({"enabled": true, "now": "Morning Show"})");
  }

  [[nodiscard]] std::string bootstrapLine() const {
    return kLaunchctl + " bootstrap gui/501 " + Paths::agentPlist();
  }
  [[nodiscard]] std::string enginePath() const {
    return *platform.host.resources + "/engine/runtime/kestrova-engine";
  }
  // An agent file as a copy at `program` would have written it (staleness looks for the path).
  void writeAgentFile(const std::string& program) {
    platform.sandbox.write(kAgentFile, "<plist><string>" + program + "</string></plist>");
  }
  [[nodiscard]] bool agentFileExists() const { return platform.sandbox.exists(kAgentFile); }
  [[nodiscard]] std::string agentFile() const { return platform.sandbox.read(kAgentFile); }
  void serviceLoaded(bool loaded) { runner.answer(kPrint, loaded ? kOk : kUnknownService); }
  void loadSucceeds() {
    runner.answer(kBootout, kOk);
    runner.answer(bootstrapLine(), kOk);
  }
  void replyWith(const std::string& body) { http.on("/api/status", body); }

  [[nodiscard]] std::size_t polls() const { return http.count("/api/status"); }
  // Replies applied so far: the status item's icon is set once at start-up and once per reply.
  [[nodiscard]] int repliesApplied() {
    platform.loop.runUntilIdle();
    return platform.ui.statusItem ? platform.ui.statusItem->appearanceSets - 1 : 0;
  }
  // The next status request goes out exactly `delay` virtual seconds from now, not before.
  [[nodiscard]] ::testing::AssertionResult pollsAfter(double delay) {
    const std::size_t before = polls();
    platform.loop.advance(delay - 0.1);
    if (polls() != before) return ::testing::AssertionFailure() << "polled before " << delay;
    platform.loop.advance(0.1);
    if (polls() != before + 1) return ::testing::AssertionFailure() << "no poll at " << delay;
    return ::testing::AssertionSuccess();
  }
  void launch() { delegate->applicationDidFinishLaunching(); }
  // A launch with nothing to ask: agent file for this copy, service loaded.
  void launchSettled() {
    writeAgentFile(enginePath());
    serviceLoaded(true);
    launch();
  }
  [[nodiscard]] FakeStatusItem& item() const { return *platform.ui.statusItem; }
  [[nodiscard]] const std::vector<AlertSpec>& alerts() const { return platform.ui.alerts; }

  ScriptedRunner runner;
  TestPlatform platform{Tools{}, &runner};
  ScriptedHttp http{platform.loop};
  Platform scripted{platform.loop, http, platform.ui, platform.host, runner, Tools{}};
  ScopedPlatform installed{scripted};
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create();
};

}  // namespace kestrova::testing
