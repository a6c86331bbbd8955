// The status request over real HTTP on 127.0.0.1: the reply (or its absence) must reach the main
// loop as exactly one posted result, derived from the body alone, within the 3-second limit.
#include "app/engine/status_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova {
// Failures show the state's label and text rather than the object's bytes.
void PrintTo(const StatusReport& report, std::ostream* out) {
  *out << label(report.status) << " \"" << report.now << '"';
}
}  // namespace kestrova

namespace kestrova::testing {
namespace {

// Forwards to the virtual loop and counts what crosses over from other threads.
class CountingLoop final : public MainLoop {
 public:
  explicit CountingLoop(VirtualLoop& inner) : inner_(inner) {}
  void post(Task task) override {
    ++posts;
    inner_.post(std::move(task));
  }
  void postAfter(double seconds, Task task) override { inner_.postAfter(seconds, std::move(task)); }
  [[nodiscard]] std::unique_ptr<Timer> repeat(double seconds, Task tick) override {
    return inner_.repeat(seconds, std::move(tick));
  }
  void modalBegan() override { inner_.modalBegan(); }
  void modalEnded() override { inner_.modalEnded(); }

  std::atomic<int> posts{0};

 private:
  VirtualLoop& inner_;
};

class StatusRequest : public ::testing::Test {
 protected:
  void usePort(int port) {
    test.sandbox.write("Library/Application Support/Kestrova/config.json",
                       "{\"port\": " + std::to_string(port) + "}");
  }

  // One request, run to its result; checks the result came as one post, on the test's thread.
  StatusReport pollOnce() {
    std::optional<StatusReport> result;
    std::thread::id appliedOn;
    const int postsBefore = loop.posts;
    requestStatus([&](StatusReport report) {
      appliedOn = std::this_thread::get_id();
      result = std::move(report);
    });
    EXPECT_FALSE(result.has_value()) << "the result must wait for the main loop";
    EXPECT_TRUE(test.loop.runUntil([&] { return result.has_value(); }));
    EXPECT_EQ(loop.posts - postsBefore, 1);
    EXPECT_EQ(appliedOn, std::this_thread::get_id());
    return result.value_or(StatusReport{EngineStatus::needsSetup, "no result"});
  }

  TestPlatform test;
  CountingLoop loop{test.loop};
  Platform counted{loop, *test.http, test.ui, test.host, test.realRunner, Tools{}};
  ScopedPlatform installed{counted};
};

TEST_F(StatusRequest, NothingListeningIsOffline) {
  usePort(freePort());  // free a moment ago, and nobody listens there
  EXPECT_EQ(pollOnce(), (StatusReport{EngineStatus::offline, ""}));
}

// A plain GET of the status address; the body alone decides, whatever the status code.
TEST_F(StatusRequest, AsksTheStatusAddressAndReadsTheBodyWhateverTheStatusCode) {
  LoopbackServer engine;
  usePort(engine.port());
  engine.on("GET", "/api/status", LoopbackReply{.body = R"({"enabled":true,"now":"a.mp4"})"});
  EXPECT_EQ(pollOnce(), (StatusReport{EngineStatus::onAir, "a.mp4"}));
  ASSERT_EQ(engine.requestCount(), 1U);
  EXPECT_EQ(engine.requests()[0].method, "GET");
  EXPECT_EQ(engine.requests()[0].path, "/api/status");
  engine.on("GET", "/api/status", LoopbackReply{.status = 500, .body = R"({"enabled":true})"});
  EXPECT_EQ(pollOnce().status, EngineStatus::onAir);
  engine.on("GET", "/api/status", LoopbackReply{.body = R"([{"enabled":true}])"});
  EXPECT_EQ(pollOnce().status, EngineStatus::offline);
  engine.on("GET", "/api/status", LoopbackReply{.status = 404, .body = "not found"});
  EXPECT_EQ(pollOnce().status, EngineStatus::offline);
}

TEST_F(StatusRequest, ReadsThePortAfreshForEveryRequest) {
  LoopbackServer first;
  LoopbackServer second;
  first.on("GET", "/api/status", LoopbackReply{.body = R"({"enabled":true})"});
  second.on("GET", "/api/status", LoopbackReply{.body = R"({"live_mode":true})"});
  usePort(first.port());
  EXPECT_EQ(pollOnce().status, EngineStatus::onAir);
  usePort(second.port());
  EXPECT_EQ(pollOnce().status, EngineStatus::live);
  EXPECT_EQ(first.requestCount(), 1U);
  EXPECT_EQ(second.requestCount(), 1U);
}

TEST_F(StatusRequest, AnEngineThatAnswersAfterFourSecondsIsOfflineBeforeItAnswers) {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  std::atomic<bool> answered{false};
  LoopbackServer engine;
  engine.on("GET", "/api/status", [&](const RecordedRequest&) {
    std::unique_lock lock(mutex);
    released.wait_for(lock, std::chrono::seconds(4), [&] { return release; });
    answered = true;
    return LoopbackReply{.body = R"({"enabled":true})"};
  });
  usePort(engine.port());

  const StatusReport report = pollOnce();
  const bool answeredBeforeResult = answered;
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  released.notify_all();
  EXPECT_EQ(report, (StatusReport{EngineStatus::offline, ""}));
  EXPECT_FALSE(answeredBeforeResult) << "the request must give up before the engine answers";
}

}  // namespace
}  // namespace kestrova::testing
