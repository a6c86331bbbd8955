// Two thousand status polls, sixteen at a time, against a server answering at random (good
// replies, errors, garbage, huge bodies): every result is exactly what the pure derivation makes
// of what was sent, and the poller ends with the descriptors and threads it started with.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "app/engine/engine_status.h"
#include "app/engine/status_request.h"
#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

constexpr int kPolls = 2'000;
constexpr int kInFlight = 16;  // as many as the server has threads
using Tally = std::map<std::pair<EngineStatus, std::string>, int>;

std::string randomBody(std::mt19937& random) {
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  static const char* const values[] = {"true",  "false", "0",   "1",  "2",
                                       "\"1\"", "null",  "0.5", "[]", "{}"};
  static const char* const titles[] = {"\"Morning\"", "\"\"", "42", "null", "\"\\u00dc\\u25b6\""};
  if (pick(10) == 0) {
    std::string garbage(pick(300), ' ');
    for (char& c : garbage) c = static_cast<char>(random());
    return garbage;
  }
  if (pick(100) == 0) return R"({"enabled": true, "now": ")" + std::string(4 << 20, 'x') + "\"}";
  std::string body = "{\"x\": 0";
  for (const std::string key : {"setup_complete", "enabled", "live_mode", "playing", "now"}) {
    if (pick(10) < 6)
      body += ", \"" + key + "\": " + (key == "now" ? titles[pick(5)] : values[pick(10)]);
  }
  return body + "}";
}

TEST(PollSoak, EveryResultIsTheDerivationOfWhatWasSentAndNothingLeaks) {
  testing::TestPlatform test;
  testing::LoopbackServer server;
  std::mutex mutex;
  std::mt19937 random(20261206);
  Tally sent, results;
  server.on("GET", "/api/status", [&](const testing::RecordedRequest&) {
    std::lock_guard lock(mutex);
    testing::LoopbackReply reply{.status = random() % 8 == 0 ? 500 : 200,
                                 .body = randomBody(random)};
    reply.headers = {{"Connection", "close"}};
    const StatusReport report = deriveStatus(reply.body);
    ++sent[{report.status, report.now}];
    return reply;
  });
  test.sandbox.write("Library/Application Support/Kestrova/config.json",
                     "{\"port\": " + std::to_string(server.port()) + "}");
  int issued = 0;
  int finished = 0;
  const auto poll = [&] {
    ++issued;
    requestStatus([&](const StatusReport& report) {
      ++results[{report.status, report.now}];
      ++finished;
    });
  };
  // The first poll warms up, so that lazily made threads and caches exist before the count.
  poll();
  ASSERT_TRUE(test.loop.runUntil([&] { return finished == 1; }));
  const std::size_t descriptorsBefore = testing::entriesIn("/proc/self/fd");
  const std::size_t threadsBefore = testing::entriesIn("/proc/self/task");
  while (issued < kPolls) {
    if (issued - finished < kInFlight)
      poll();
    else
      ASSERT_TRUE(test.loop.runUntil([&] { return issued - finished < kInFlight; }));
  }
  ASSERT_TRUE(test.loop.runUntil([&] { return finished == kPolls; }, std::chrono::seconds(60)));
  {
    // A poll the server never saw (its short listen queue overflowed) can only be offline.
    std::lock_guard lock(mutex);
    int answered = 0;
    for (const auto& [key, count] : sent) answered += count;
    EXPECT_GT(answered, kPolls * 9 / 10);
    sent[{EngineStatus::offline, ""}] += kPolls - answered;
    EXPECT_EQ(results, sent);
  }
  // Finished transfers close their sockets a moment after their answers: a bounded wait.
  (void)testing::eventually(
      [&] { return testing::entriesIn("/proc/self/fd") == descriptorsBefore; }, 5);
  EXPECT_EQ(testing::entriesIn("/proc/self/fd"), descriptorsBefore);
  EXPECT_EQ(testing::entriesIn("/proc/self/task"), threadsBefore);
}

}  // namespace
}  // namespace kestrova
