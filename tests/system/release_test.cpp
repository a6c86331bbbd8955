// A release from the publisher to a station on air again: kestrova-release turns the built bundle
// into the next version (signed image and feed), a loopback server serves what it wrote, and a
// sandboxed copy of the current version, pointed there by update_feed, offers, downloads,
// verifies and installs it through the real helper. The reopened desktop program reports the new
// version with its engine on air. The publisher's refusals are the integration tests'.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/engine/agent.h"
#include "app/engine/shell.h"
#include "app/platform/posix_host.h"
#include "app/shell/app_delegate.h"
#include "app/update/swap_and_relaunch.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"
#include "tests/support/standin_machine.h"
#include "tests/system/desktop_program.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kPublisher = std::string(KESTROVA_BINARY_DIR) + "/tools/release/kestrova-release";
const std::string kTeam = "TEAM123456";

class Release : public ::testing::Test, protected StandinMachine {
 protected:
  ScopedEnv temporary{"TMPDIR", env.sandbox.home()};
};

TEST_F(Release, AStationOffersInstallsAndReopensThePublishedRelease) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "the reopened program needs a display";
  // The reopened program's session bus, state dump and placement come from our environment; it
  // ends with its bus.
  const std::string socket = env.sandbox.path("bus");
  const ChildProcess bus(
      {.argv = {"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + socket}});
  const std::string app = env.sandbox.path("Applications/Kestrova.app");
  const ScopedEnv busEnv{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket};
  const std::string dump = env.sandbox.path("state.json");
  const ScopedEnv dumpEnv{"KESTROVA_STATE_DUMP", dump}, anywhere{"KESTROVA_ALLOW_ANYWHERE", "1"},
      noBridge{"NO_AT_BRIDGE", "1"}, identity{"KESTROVA_SIGN_IDENTITY", kTeam};

  // The station: a copy of the built bundle, signed by our team, its agent on air.
  fs::create_directories(env.sandbox.path("Applications"));
  fs::copy(KESTROVA_BUNDLE_DIR, app, fs::copy_options::recursive);
  ASSERT_EQ(shell(env.get().tools().codesign, {"-s", kTeam, app}).status, 0);
  useCopy(app);
  env.host.info = {{"CFBundleShortVersionString", KESTROVA_VERSION}};
  LoopbackServer server;
  writeFile(env.sandbox.path("Movies/morning.mp4"), "not really a video");
  env.sandbox.write(kConfigFile, json{{"port", port},
                                      {"media_folder", env.sandbox.path("Movies")},
                                      {"update_feed", server.url("/appcast.json")}}
                                     .dump());
  ASSERT_EQ(Agent::install(), std::nullopt);

  // The built version with its last part one higher.
  const std::string now = KESTROVA_VERSION,
                    version = now.substr(0, now.rfind('.') + 1) +
                              std::to_string(std::stoi(now.substr(now.rfind('.') + 1)) + 1);
  const std::string out = env.sandbox.path("published");
  const auto published = shell(kPublisher, {version, "--base-url", server.url("/"), "--out", out});
  ASSERT_EQ(published.status, 0) << published.output;
  const std::string image = "/Kestrova-" + version + ".dmg";
  // Not compressed on the way, as a disk image from a web server is not.
  server.on(
      "GET", image,
      LoopbackReply{.body = readFile(out + image), .contentType = "application/octet-stream"});
  server.on("GET", "/appcast.json", LoopbackReply{.body = readFile(out + "/appcast.json")});
  const auto verified =
      shell(kPublisher, {"--verify", server.url("/appcast.json"), "--bundle", app});
  ASSERT_EQ(verified.status, 0) << verified.output;

  // The running copy: its process is a stand-in the helper waits for.
  ChildProcess running({.argv = {"sleep", "600"}});
  env.host.pid = running.pid();
  env.host.realSpawns = true;
  const auto delegate = AppDelegate::create();
  env.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, {}, 0});  // "Update Now"
  delegate->checkForUpdates();
  const bool spawned =
      env.loop.runUntil([&] { return !env.host.spawned().empty(); }, std::chrono::seconds(60));
  (void)running.stop(SIGKILL);
  ASSERT_TRUE(spawned) << env.ui.alerts.back().informative;
  env.loop.runUntilIdle();
  EXPECT_TRUE(env.ui.terminated);

  // The reopened program: the new version, its agent loaded again, the engine on air.
  const json::json_pointer title("/statusItems/0/menu/0/title");
  const json seen = stateOnce(
      dump, [&](const json& s) { return s.value(title, "") == "Kestrova \u2014 ON AIR"; }, 90);
  EXPECT_EQ(seen.value(title, ""), "Kestrova \u2014 ON AIR")
      << seen.dump(2)
      << readFile(env.sandbox.path("Library/Application Support/Kestrova/updates/update.log"));
  EXPECT_EQ(PosixHost(app).infoString("CFBundleShortVersionString"), version);
  EXPECT_EQ(PosixHost(app).infoString("CFBundleVersion"), version);
}

}  // namespace
}  // namespace kestrova::testing
