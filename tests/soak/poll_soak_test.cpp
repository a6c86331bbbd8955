// Ten thousand status polls against a server that misbehaves at random: every result must be
// exactly what the pure derivation makes of what the server sent, and the poller must end with
// the descriptors and threads it started with.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "app/engine/engine_status.h"
#include "app/engine/status_request.h"
#include "tests/support/child_process.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

constexpr int kPolls = 10'000;
constexpr int kInFlight = 100;

std::string decodeBase64(const std::string& text) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  for (const char c : text) {
    const auto value = alphabet.find(c);
    if (value == std::string::npos) {
      continue;  // padding
    }
    buffer = (buffer << 6U) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((buffer >> static_cast<unsigned>(bits)) & 0xFFU));
    }
  }
  return out;
}

using Tally = std::map<std::pair<EngineStatus, std::string>, int>;

Tally expectedFrom(const std::string& logFile) {
  Tally tally;
  std::ifstream log(logFile);
  std::string line;
  while (std::getline(log, line)) {
    const auto report = line.rfind("full ", 0) == 0 ? deriveStatus(decodeBase64(line.substr(5)))
                                                    : deriveStatus(std::nullopt);
    ++tally[{report.status, report.now}];
  }
  return tally;
}

TEST(PollSoak, EveryResultIsTheDerivationOfWhatWasSentAndNothingLeaks) {
  testing::TestPlatform test;
  const std::string portFile = test.sandbox.path("port");
  const std::string logFile = test.sandbox.path("sent.log");
  // The misbehaving server runs as its own process, so its sockets and threads never mix with
  // the poller's counts.
  testing::ChildProcess server(
      {.argv = {"/usr/bin/python3", KESTROVA_SOURCE_DIR "/tests/soak/misbehaving_server.py",
                portFile, logFile, "20261206"}});
  ASSERT_TRUE(server.started()) << server.error();
  ASSERT_TRUE(test.loop.runUntil([&] { return std::filesystem::exists(portFile); }));
  std::string port;
  std::ifstream(portFile) >> port;
  test.sandbox.write("Library/Application Support/Kestrova/config.json",
                     "{\"port\": " + port + "}");

  // The first poll warms up, so that lazily made threads and caches exist before the count.
  Tally results;
  int issued = 1;
  int finished = 0;
  requestStatus([&](const StatusReport& report) {
    ++results[{report.status, report.now}];
    ++finished;
  });
  ASSERT_TRUE(test.loop.runUntil([&] { return finished == 1; }));
  const std::size_t descriptorsBefore = testing::entriesIn("/proc/self/fd");
  const std::size_t threadsBefore = testing::entriesIn("/proc/self/task");

  while (issued < kPolls) {
    if (issued - finished < kInFlight) {
      ++issued;
      requestStatus([&](const StatusReport& report) {
        ++results[{report.status, report.now}];
        ++finished;
      });
      continue;
    }
    ASSERT_TRUE(test.loop.runUntil([&] { return issued - finished < kInFlight; },
                                   std::chrono::seconds(30)));
  }
  ASSERT_TRUE(test.loop.runUntil([&] { return finished == kPolls; }, std::chrono::seconds(60)));

  const Tally expected = expectedFrom(logFile);
  int logged = 0;
  for (const auto& [key, count] : expected) {
    logged += count;
  }
  ASSERT_EQ(logged, kPolls);
  EXPECT_EQ(expected, results);

  // Give finished transfers a moment to close their sockets before the final count.
  for (int i = 0; i < 50 && testing::entriesIn("/proc/self/fd") != descriptorsBefore; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(testing::entriesIn("/proc/self/fd"), descriptorsBefore);
  EXPECT_EQ(testing::entriesIn("/proc/self/task"), threadsBefore);
}

}  // namespace
}  // namespace kestrova
