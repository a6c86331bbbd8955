// Where the engine's files are and which port it answers on: every poll and every dashboard
// address depends on reading config.json exactly this way, and on never failing.
#include "app/engine/paths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/update/placement.h"
#include "tests/support/test_platform.h"

namespace kestrova::testing {
namespace {

constexpr const char* kConfig = "Library/Application Support/Kestrova/config.json";

struct PortCase {
  const char* name;
  std::optional<std::string> config;  // absent: no file at all
  std::int64_t expected;
};

TEST(Port, AcceptsOnlyWholeNumbersInRangeAndFallsBackOtherwise) {
  const std::vector<PortCase> cases = {
      {"no file", std::nullopt, 8787},
      {"string", R"({"port": "9000"})", 8787},
      {"fraction", R"({"port": 9000.5})", 8787},
      {"whole float", R"({"port": 9000.0})", 9000},
      {"exponent", R"({"port": 9e3})", 9000},
      {"null", R"({"port": null})", 8787},
      {"boolean", R"({"port": true})", 8787},
      {"array value", R"({"port": [9000]})", 8787},
      {"object value", R"({"port": {"value": 9000}})", 8787},
      {"empty object", R"({})", 8787},
      {"top-level array", R"([{"port": 9000}])", 8787},
      {"top-level number", R"(9000)", 8787},
      {"invalid JSON", R"({"port": 9000)", 8787},
      {"empty file", "", 8787},
      {"zero", R"({"port": 0})", 8787},
      {"above 65535", R"({"port": 70000})", 8787},
      {"negative", R"({"port": -1})", 8787},
      {"beyond 64 bits", R"({"port": 18446744073709551616})", 8787},
      {"huge float", R"({"port": 1e300})", 8787},
      {"lowest", R"({"port": 1})", 1},
      {"highest", R"({"port": 65535})", 65535},
      {"other keys around", R"({"a": 1, "port": 8800, "b": [null]})", 8800},
  };
  for (const PortCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestPlatform test;
    if (c.config) {
      test.sandbox.write(kConfig, *c.config);
    }
    EXPECT_EQ(Paths::port(), c.expected);
    // Every address is built from the port read just now.
    const std::string root = "http://127.0.0.1:" + std::to_string(c.expected) + "/";
    EXPECT_EQ(Paths::dashboardURL(), root);
    EXPECT_EQ(Paths::engineURL("/api/status"), root + "api/status");
  }
}

TEST(Port, AnUnreadableConfigurationFallsBackWithoutLogging) {
  TestPlatform test;
  // A folder where the file should be cannot be read as one.
  test.sandbox.write("Library/Application Support/Kestrova/config.json/inside", "");
  EXPECT_EQ(Paths::port(), 8787);
  EXPECT_TRUE(test.host.logLines().empty());
}

TEST(Port, AnEditedPortIsPickedUpAtTheNextUse) {
  TestPlatform test;
  test.sandbox.write(kConfig, R"({"port": 9000})");
  EXPECT_EQ(Paths::port(), 9000);
  test.sandbox.write(kConfig, R"({"port": 9100})");
  EXPECT_EQ(Paths::port(), 9100);
  EXPECT_EQ(Paths::dashboardURL(), "http://127.0.0.1:9100/");
}

TEST(Locations, AreJoinedFromTheHomeFolderAsThePlatformReportsIt) {
  TestPlatform test;
  for (const std::string home : {"/Users/example", "/Users/example/"}) {
    FakeHost host(home);
    Platform withHome(test.loop, *test.http, test.ui, host, test.realRunner, Tools{});
    ScopedPlatform installed(withHome);
    EXPECT_EQ(Paths::agentPlist(),
              "/Users/example/Library/LaunchAgents/com.talmiro.kestrova.engine.plist")
        << home;
    EXPECT_EQ(Paths::logDir(), "/Users/example/Library/Application Support/Kestrova/logs") << home;
    EXPECT_EQ(Paths::configFile(),
              "/Users/example/Library/Application Support/Kestrova/config.json")
        << home;
  }
}

struct PlacementCase {
  const char* name;
  std::optional<std::string> allowAnywhere;
  std::string bundle;
  bool expected;
};

TEST(Placement, AllowsExactlyOneOverrideAndOtherwiseThePlainApplicationsPrefix) {
  const std::vector<PlacementCase> cases = {
      {"override 1", "1", "/Users/example/Downloads/Kestrova.app", true},
      {"override true", "true", "/Users/example/Downloads/Kestrova.app", false},
      {"override yes", "yes", "/Users/example/Downloads/Kestrova.app", false},
      {"override with space", "1 ", "/Users/example/Downloads/Kestrova.app", false},
      {"override empty", "", "/Users/example/Downloads/Kestrova.app", false},
      {"Applications", std::nullopt, "/Applications/Kestrova.app", true},
      {"Applications subfolder", std::nullopt, "/Applications/Media/Kestrova.app", true},
      {"user's Applications", std::nullopt, "/Users/example/Applications/Kestrova.app", false},
      {"lookalike folder", std::nullopt, "/ApplicationsX/Kestrova.app", false},
      {"no trailing slash", std::nullopt, "/Applications", false},
      {"disk image", std::nullopt, "/Volumes/Kestrova/Kestrova.app", false},
      {"override other value inside", "0", "/Applications/Kestrova.app", true},
  };
  for (const PlacementCase& c : cases) {
    TestPlatform test;
    if (c.allowAnywhere) {
      test.host.env["KESTROVA_ALLOW_ANYWHERE"] = *c.allowAnywhere;
    }
    test.host.bundle = c.bundle;
    EXPECT_EQ(Updater::runningFromApplications(), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace kestrova::testing
