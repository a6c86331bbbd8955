// The status request over real HTTP on 127.0.0.1: the reply (or its absence) reaches the main
// loop once, derived from the body alone, within the 3-second limit.
#include "app/engine/status_request.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

class StatusRequest : public ::testing::Test {
 protected:
  // One request to `port`, run to its result, which must wait for the main loop and come once.
  EngineStatus pollOnce(int port) {
    test.sandbox.write("Library/Application Support/Kestrova/config.json",
                       "{\"port\": " + std::to_string(port) + "}");
    std::optional<StatusReport> result;
    int calls = 0;
    requestStatus([&, mainThread = std::this_thread::get_id()](StatusReport report) {
      ++calls;
      EXPECT_EQ(std::this_thread::get_id(), mainThread);
      result = std::move(report);
    });
    EXPECT_FALSE(result.has_value()) << "the result must wait for the main loop";
    EXPECT_TRUE(test.loop.runUntil([&] { return result.has_value(); }));
    test.loop.runUntilIdle();
    EXPECT_EQ(calls, 1);
    return result ? result->status : EngineStatus::needsSetup;
  }

  TestPlatform test;
};

// The port is read for every request: the first goes where nobody listens.
TEST_F(StatusRequest, TheBodyDecidesWhateverTheStatusAndThePortIsReadForEveryRequest) {
  EXPECT_EQ(pollOnce(freePort()), EngineStatus::offline);
  LoopbackServer engine;
  const std::pair<LoopbackReply, EngineStatus> rows[] = {
      {LoopbackReply{.status = 500, .body = R"({"enabled":true})"}, EngineStatus::onAir},
      {LoopbackReply{.status = 404, .body = "not found"}, EngineStatus::offline},
  };
  for (const auto& [reply, status] : rows) {
    engine.on("GET", "/api/status", reply);
    EXPECT_EQ(pollOnce(engine.port()), status) << reply.body;
  }
  ASSERT_EQ(engine.requestCount(), 2U);
  EXPECT_EQ(engine.requests()[0].method, "GET");
}

TEST_F(StatusRequest, AnEngineThatAnswersAfterFourSecondsIsOfflineBeforeItAnswers) {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  bool answered = false;
  LoopbackServer engine;
  engine.on("GET", "/api/status", [&](const RecordedRequest&) {
    std::unique_lock lock(mutex);
    released.wait_for(lock, std::chrono::seconds(4), [&] { return release; });
    answered = true;
    return LoopbackReply{.body = R"({"enabled":true})"};
  });
  EXPECT_EQ(pollOnce(engine.port()), EngineStatus::offline);
  {
    std::lock_guard lock(mutex);
    EXPECT_FALSE(answered) << "the request must give up before the engine answers";
    release = true;
  }
  released.notify_all();
}

}  // namespace
}  // namespace kestrova::testing
