// The status request over real HTTP on 127.0.0.1: the reply (or its absence) reaches the main
// loop once, derived from the body alone, within the 3-second limit.
#include "app/engine/status_request.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

// One request to `port`, run to its result, which must wait for the main loop and come once.
EngineStatus pollOnce(TestPlatform& test, int port) {
  test.sandbox.write(kConfigFile, "{\"port\": " + std::to_string(port) + "}");
  std::vector<StatusReport> results;
  requestStatus([&, mainThread = std::this_thread::get_id()](StatusReport report) {
    EXPECT_EQ(std::this_thread::get_id(), mainThread);
    results.push_back(std::move(report));
  });
  EXPECT_TRUE(results.empty()) << "the result must wait for the main loop";
  EXPECT_TRUE(test.loop.runUntil([&] { return !results.empty(); }));
  test.loop.runUntilIdle();
  EXPECT_EQ(results.size(), 1u);
  return results.empty() ? EngineStatus::needsSetup : results[0].status;
}

// The port is read for every request; the body decides whatever the status; an engine answering
// after one second is heard, after four it is offline (the request gives up at three), and so is
// whatever redirects elsewhere or sends far more than a status.
TEST(StatusRequest, EachReplyIsReducedFromItsBodyAloneAndASlowOneIsOffline) {
  TestPlatform test;
  EXPECT_EQ(pollOnce(test, freePort()), EngineStatus::offline);
  LoopbackServer engine, elsewhere;
  elsewhere.on("GET", "/api/status", LoopbackReply{.body = R"({"enabled":true})"});
  const std::string padded = R"({"enabled":true,"pad":")" + std::string(70'000, 'x') + "\"}";
  for (const auto& [reply, status] : std::vector<std::pair<LoopbackReply, EngineStatus>>{
           {{.status = 500, .body = R"({"enabled":true})"}, EngineStatus::onAir},
           {{.status = 302, .body = "", .headers = {{"Location", elsewhere.url("/api/status")}}},
            EngineStatus::offline},
           {{.body = padded}, EngineStatus::offline},
           {{.body = R"({"enabled":true})", .delaySeconds = 1}, EngineStatus::onAir},
           {{.body = R"({"enabled":true})", .delaySeconds = 4}, EngineStatus::offline}}) {
    engine.on("GET", "/api/status", reply);
    EXPECT_EQ(pollOnce(test, engine.port()), status) << reply.body;
  }
}

}  // namespace
}  // namespace kestrova::testing
