// Where the engine's files are, which port it answers on, and whether this copy may run from
// where it is: every poll and dashboard address depends on reading config.json this way.
#include "app/engine/paths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "app/update/placement.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

// Only a whole number from 1 to 65535 under "port" in a JSON object counts; anything else
// falls back to 8787.
TEST(Port, AcceptsOnlyWholeNumbersInRangeAndFallsBackOtherwise) {
  const std::pair<std::optional<std::string>, std::int64_t> cases[] = {
      {std::nullopt, 8787},
      {R"({"port": "9000"})", 8787},
      {R"({"port": 9000.5})", 8787},
      {R"({"port": 9e3})", 9000},
      {R"({"port": 0})", 8787},
      {R"({"port": 1})", 1},
      {R"({"port": 65535})", 65535},
      {R"({"port": 65536})", 8787},
      {R"([{"port": 9000}])", 8787},
      {R"({"port": 9000)", 8787},
      {R"({"port": 18446744073709551616})", 8787},
      {R"({"a": 1, "port": 8800, "b": [null]})", 8800},
  };
  for (const auto& [config, port] : cases) {
    TestPlatform test;
    if (config) test.sandbox.write(kConfigFile, *config);
    EXPECT_EQ(Paths::engineURL("/api/status"),
              "http://127.0.0.1:" + std::to_string(port) + "/api/status")
        << config.value_or("no file");
  }
}

// Exactly "1" in KESTROVA_ALLOW_ANYWHERE lifts the rule; otherwise the plain Applications prefix.
TEST(Placement, AllowsExactlyOneOverrideAndOtherwiseThePlainApplicationsPrefix) {
  const std::string downloads = "/Users/example/Downloads/Kestrova.app";
  for (const auto& [allow, bundle, allowed] :
       {std::tuple<std::optional<std::string>, std::string, bool>{"1", downloads, true},
        {"1 ", downloads, false},
        {"0", "/Applications/Media/Kestrova.app", true},
        {std::nullopt, "/Users/example/Applications/Kestrova.app", false},
        {std::nullopt, "/ApplicationsX/Kestrova.app", false},
        {std::nullopt, "/Applications", false}}) {
    TestPlatform test;
    if (allow) test.host.env["KESTROVA_ALLOW_ANYWHERE"] = *allow;
    test.host.bundle = bundle;
    EXPECT_EQ(Updater::runningFromApplications(), allowed) << bundle;
  }
}

}  // namespace
}  // namespace kestrova::testing
