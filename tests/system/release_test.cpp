// A release from the publisher to a station on air again: kestrova-release turns a built bundle
// into the next version (signed image and feed), a loopback server serves what it wrote, and a
// sandboxed copy of the current version, pointed there by update_feed, offers, downloads,
// verifies and installs it through the real helper, which opens the new bundle. The published
// program only notes that it was opened: the core plays it here, headless, so that the journey
// runs wherever the tests do and never starts a desktop program on the machine's own services.
// The publisher's refusals are the integration tests'.
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
  const std::string app = env.sandbox.path("Applications/Kestrova.app");
  // The publisher signs with the stand-ins too: no Apple identity signs in a test.
  const ScopedEnv identity{"KESTROVA_SIGN_IDENTITY", kTeam},
      standins{"KESTROVA_STANDINS_DIR", KESTROVA_STANDINS_DIR};

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
  const std::string built = env.sandbox.path("build/Kestrova.app");
  fs::create_directories(env.sandbox.path("build"));
  fs::copy(KESTROVA_BUNDLE_DIR, built, fs::copy_options::recursive);
  writeFile(built + "/Contents/MacOS/Kestrova", "#!/bin/sh\necho \"$0\" > \"$HOME/reopened\"\n",
            fs::perms(0755));
  const auto published =
      shell(kPublisher, {version, "--bundle", built, "--base-url", server.url("/"), "--out", out});
  ASSERT_EQ(published.status, 0) << published.output;
  const std::string image = "/Kestrova-" + version + ".dmg";
  // Not compressed on the way, as a disk image from a web server is not.
  server.on(
      "GET", image,
      LoopbackReply{.body = readFile(out + image), .contentType = "application/octet-stream"});
  server.on("GET", "/appcast.json", LoopbackReply{.body = readFile(out + "/appcast.json")});
  const std::string previous =
      env.sandbox.write("previous.json", json{{"version", now},
                                              {"url", "https://a.invalid/x"},
                                              {"published", 0},
                                              {"sha256", std::string(64, 'a')}}
                                             .dump());
  const auto verified = shell(kPublisher, {"--verify", server.url("/appcast.json"), "--bundle", app,
                                           "--previous-feed", previous});
  ASSERT_EQ(verified.status, 0) << verified.output;

  // The running copy: its process is a stand-in the helper waits for.
  ChildProcess running({.argv = {"sleep", "600"}});
  env.host.pid = running.pid();
  env.host.realSpawns = true;
  auto delegate = AppDelegate::create();
  env.ui.answers.push_back(ScriptedAnswer{kAlertFirstButton, {}, 0});  // "Update Now"
  delegate->checkForUpdates();
  const bool spawned =
      env.loop.runUntil([&] { return !env.host.spawned().empty(); }, std::chrono::seconds(60));
  (void)running.stop(SIGKILL);
  ASSERT_TRUE(spawned) << env.ui.alerts.back().informative;
  env.loop.runUntilIdle();
  EXPECT_TRUE(env.ui.terminated);
  delegate.reset();

  // The helper swaps the bundles and opens the new one at the old one's path.
  EXPECT_TRUE(eventually([&] { return env.sandbox.exists("reopened"); }, 60))
      << readFile(env.sandbox.path("Library/Application Support/Kestrova/updates/update.log"));
  EXPECT_EQ(env.sandbox.read("reopened"), app + "/Contents/MacOS/Kestrova\n");
  EXPECT_EQ(PosixHost(app).infoString("CFBundleShortVersionString"), version);
  EXPECT_EQ(PosixHost(app).infoString("CFBundleVersion"), version);

  // The reopened program takes the agent back: the new bundle's engine is on air.
  env.host.info = {{"CFBundleShortVersionString", version}};
  const auto reopened = AppDelegate::create();
  reopened->applicationDidFinishLaunching();
  const auto onAir = [&] { return reopened->status() == EngineStatus::onAir; };
  EXPECT_TRUE(eventually(
      [&] {
        env.loop.advance(kPollInterval);
        return env.loop.runUntil(onAir, std::chrono::seconds(2));
      },
      60));
  EXPECT_EQ(env.ui.statusItem->menu.items.at(0).title, "Kestrova \u2014 ON AIR");
  EXPECT_EQ(executableOf(enginePid().value_or(0)),
            app + "/Contents/Resources/engine/runtime/kestrova-engine");
}

}  // namespace
}  // namespace kestrova::testing
