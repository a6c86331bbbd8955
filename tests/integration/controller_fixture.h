// The controller under test: sandboxed home, virtual time, scripted Ui and launchctl, and an HTTP
// double whose replies arrive through the virtual loop, so every request is counted, never waited
// for.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
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

// Answers by the URL's path (a path with no answer is refused, as a port where nothing listens),
// `delay` virtual seconds later. A download is held until finishDownload(), so a test can look at
// the controller while one is in flight. Everything runs on the loop's thread.
class ScriptedHttp final : public Http {
 public:
  explicit ScriptedHttp(VirtualLoop& loop) : loop_(loop) {}

  void on(const std::string& path, const std::string& body, double delay = 0, long status = 200) {
    answers_[path] = {{std::nullopt, status, body}, delay};
  }
  void send(HttpRequest request, std::function<void(HttpResponse)> done) override {
    auto [response, delay] = answer(std::move(request));
    loop_.postAfter(delay, [done = std::move(done), reply = std::move(response)] { done(reply); });
  }
  void download(HttpRequest request, std::function<void(DownloadResult)> done) override {
    held_ = {answer(std::move(request)).first.body.value_or(""), std::move(done)};
  }
  // Hands the held download its file (deleted after its completion, as the real client does).
  void finishDownload(const std::string& file) {
    std::exchange(held_.second, {})({std::nullopt, writeFile(file, held_.first)});
    std::filesystem::remove(file);
    loop_.runUntilIdle();
  }
  [[nodiscard]] std::size_t count(const std::string& path) const {
    return std::ranges::count(sent, path, [](const HttpRequest& r) { return pathOf(r.url); });
  }

  static inline const std::string kRefused = "Couldn't connect to server";
  std::vector<HttpRequest> sent;

 private:
  static std::string pathOf(const std::string& url) { return url.substr(url.find('/', 8)); }
  std::pair<HttpResponse, double> answer(HttpRequest request) {
    sent.push_back(std::move(request));
    const auto found = answers_.find(pathOf(sent.back().url));
    return found != answers_.end() ? found->second : std::pair{HttpResponse{kRefused, 0, {}}, 0.0};
  }

  VirtualLoop& loop_;
  std::map<std::string, std::pair<HttpResponse, double>> answers_;
  std::pair<std::string, std::function<void(DownloadResult)>> held_;
};

inline ScriptedAnswer answerWith(int response, double heldFor = 0) {
  return ScriptedAnswer{response, std::nullopt, heldFor};
}
inline AlertSpec ok(const std::string& message, const std::string& informative) {
  return AlertSpec{message, informative, {"OK"}, std::nullopt};
}
inline constexpr int kSecondButton = kAlertFirstButton + 1;

// Public, so that table rows can drive fresh controllers of their own.
class ControllerTest : public ::testing::Test {
 public:
  ControllerTest() {
    // This copy's engine lives in the sandbox, so the agent's engine choice and staleness check
    // see a real executable; placement still looks at the (fake) /Applications path.
    platform.host.resources = platform.sandbox.path("Kestrova.app/Contents/Resources");
    platform.sandbox.write(engine, "#!/bin/sh\n", std::filesystem::perms::owner_all);
    platform.sandbox.write(kConfigFile, R"({"port": 8800, "update_feed": )"
                                        R"("https://feed.example/appcast.json"})");
    http.on("/api/status", R"({"enabled": true, "now": "Morning Show"})");
  }
  void TestBody() override {}

  const std::string engine = "Kestrova.app/Contents/Resources/engine/runtime/kestrova-engine";
  [[nodiscard]] std::string enginePath() const { return platform.sandbox.path(engine); }
  // An agent file as a copy at `program` would have written it (staleness looks for the path).
  void writeAgentFile(const std::string& program) {
    platform.sandbox.write(kAgentFile, "<plist><string>" + program + "</string></plist>");
  }
  [[nodiscard]] std::string agentFile() const { return platform.sandbox.read(kAgentFile); }
  [[nodiscard]] bool agentForThisCopy() const {
    return agentFile().find(enginePath()) != std::string::npos;
  }
  void loadSucceeds() {
    runner.answer(kBootout, kOk);
    runner.answer(bootstrapLine, kOk);
  }
  void failEveryLoad() {
    runner.answer(kPrint, kUnknownService);
    runner.answer(kBootout, kOk);
    runner.answer(bootstrapLine, {5, "Bootstrap failed: 5: Input/output error\n"});
  }
  [[nodiscard]] std::size_t polls() const { return http.count("/api/status"); }
  // The next status request goes out exactly `delay` virtual seconds from now, not before.
  [[nodiscard]] bool pollsAfter(double delay) {
    const std::size_t before = polls();
    platform.loop.advance(delay - 0.1);
    const bool early = polls() != before;
    platform.loop.advance(0.1);
    return !early && polls() == before + 1;
  }
  // A launch with nothing to ask: agent file for this copy, service loaded.
  void launchSettled() {
    writeAgentFile(enginePath());
    runner.answer(kPrint, kOk);
    delegate->applicationDidFinishLaunching();
  }
  [[nodiscard]] FakeStatusItem& item() const { return *platform.ui.statusItem; }
  [[nodiscard]] const std::vector<AlertSpec>& alerts() const { return platform.ui.alerts; }

  ScriptedRunner runner;
  TestPlatform platform{Tools{}, &runner};
  ScriptedHttp http{platform.loop};
  Platform scripted{platform.loop, http, platform.ui, platform.host, runner, Tools{}};
  ScopedPlatform installed{scripted};
  const std::string bootstrapLine = kLaunchctl + " bootstrap gui/501 " + Paths::agentPlist();
  std::shared_ptr<AppDelegate> delegate = AppDelegate::create();
};

}  // namespace kestrova::testing
