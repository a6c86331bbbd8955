// The controller as the user meets it: every alert text, the start-up checks, the first run, the
// engine commands and their follow-up polls, the poll cadence, and the program entry.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/shell/program.h"
#include "tests/integration/controller_fixture.h"

namespace kestrova::testing {
namespace {

const std::string kKeepsBroadcasting =
    "Your channel will keep broadcasting in the background. To take it off air, use the dashboard.";
const std::string kStartFailed =
    "The background service would not start. launchctl said: Bootstrap failed: 5: Input/output "
    "error";
const AlertSpec kWelcome{
    "Welcome to Kestrova",
    "Kestrova will set itself up to run in the background, so your channel keeps broadcasting "
    "after restarts and power cuts.\n\nNext it will open the dashboard, where you choose your "
    "video folder and connect your YouTube channel.",
    {"Set Up", "Later"},
    std::nullopt};

AlertSpec ok(const std::string& message, const std::string& informative) {
  return AlertSpec{message, informative, {"OK"}, std::nullopt};
}

// One fresh controller per table row.
struct Fresh : ControllerTest {
  void TestBody() override {}
  void failEveryLoad() {
    runner.answer(kPrint, kUnknownService);
    runner.answer(kBootout, kOk);
    runner.answer(bootstrapLine(), {5, "Bootstrap failed: 5: Input/output error\n"});
  }
  [[nodiscard]] bool loginChecked() const {
    for (const MenuItem& entry : item().menu.items) {
      if (entry.action == "toggleAgent") return entry.checked;
    }
    ADD_FAILURE() << "no login item";
    return false;
  }
};

TEST(ControllerTexts, EveryAlertTheUserCanMeet) {
  struct Row {
    const char* name;
    std::function<void(Fresh&)> act;
    std::vector<AlertSpec> shown;
    bool terminates;
  };
  const std::vector<Row> rows = {
      {"outside Applications",
       [](Fresh& f) {
         f.platform.host.bundle = "/Users/example/Downloads/Kestrova.app";
         f.launch();
       },
       {{"Move Kestrova to Applications",
         "Kestrova is running from:\n/Users/example/Downloads/Kestrova.app\n\nIt must live in the "
         "Applications folder to broadcast reliably. Quit, drag Kestrova to Applications, and "
         "open it from there.",
         {"Quit"},
         std::nullopt}},
       true},
      {"welcome, later",
       [](Fresh& f) {
         f.platform.ui.answers.push_back(answerWith(kSecondButton));
         f.launch();
       },
       {kWelcome},
       false},
      {"stale agent repointed",
       [](Fresh& f) {
         f.writeAgentFile("/Volumes/Kestrova/Kestrova.app/Contents/Resources/engine/runtime/x");
         f.serviceLoaded(true);
         f.loadSucceeds();
         f.launch();
       },
       {ok("Kestrova updated",
           "This copy of Kestrova is now the one that runs in the background, and your channel "
           "will keep broadcasting as before.")},
       false},
      {"stale agent that cannot be reloaded",
       [](Fresh& f) {
         f.writeAgentFile("/Volumes/Kestrova/Kestrova.app/Contents/Resources/engine/runtime/x");
         f.serviceLoaded(true);
         f.failEveryLoad();  // loaded at first, gone once unloaded, and never back
         f.launch();
       },
       {ok("The engine could not be started", kStartFailed)},
       false},
      {"quit with the agent",
       [](Fresh& f) {
         f.writeAgentFile(f.enginePath());
         f.delegate->quit();
       },
       {{"Quit Kestrova?", kKeepsBroadcasting, {"Quit", "Cancel"}, std::nullopt}},
       true},
      {"quit without the agent",
       [](Fresh& f) { f.delegate->quit(); },
       {{"Quit Kestrova?",
         "The engine will stop and your channel will go off air.",
         {"Quit", "Cancel"},
         std::nullopt}},
       true},
      {"quit cancelled",
       [](Fresh& f) {
         f.platform.ui.answers.push_back(answerWith(kSecondButton));
         f.delegate->perform("quit");
       },
       {{"Quit Kestrova?",
         "The engine will stop and your channel will go off air.",
         {"Quit", "Cancel"},
         std::nullopt}},
       false},
      {"setup fails",
       [](Fresh& f) {
         f.runner.answer(kPrint, kUnknownService);
         f.runner.answer(kBootout, kOk);
         f.runner.answer(f.bootstrapLine(), {5, "  \n"});
         f.delegate->firstRun();
       },
       {kWelcome, ok("Setup could not finish", "The background service would not start.")},
       false},
      {"start fails",
       [](Fresh& f) {
         f.failEveryLoad();
         f.delegate->perform("startEngine");
       },
       {ok("Could not start Kestrova", kStartFailed)},
       false},
      {"login switch cannot install",
       [](Fresh& f) {
         f.failEveryLoad();
         f.delegate->perform("toggleAgent");
       },
       {ok("Could not enable automatic start", kStartFailed)},
       false},
      {"stop, and launchd keeps the service",
       [](Fresh& f) {
         f.runner.answer(kBootout, kOk);
         f.serviceLoaded(true);
         f.delegate->perform("stopEngine");
       },
       {{"Stop broadcasting?",
         "Your channel goes off air until you choose Start Kestrova. Playout resumes from "
         "exactly where it stopped.",
         {"Stop", "Cancel"},
         std::nullopt},
        ok("Could not stop the engine",
           "macOS did not release the background service. Try again, or restart the Mac.")},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fresh f;
    row.act(f);
    EXPECT_EQ(f.alerts(), row.shown);
    EXPECT_EQ(f.platform.ui.terminated, row.terminates);
    if (std::string(row.name).starts_with("quit")) {
      EXPECT_TRUE(f.runner.calls().empty()) << "quitting never touches the service";
    }
  }
}

using Controller = Fresh;

TEST_F(Controller, StartUpDrawsOfflineThenEachReplyRebuildsTheMenuEveryFiveSeconds) {
  launchSettled();
  EXPECT_EQ(item().symbol, "dot.radiowaves.left.and.right");
  EXPECT_EQ(item().accessibility, "Offline");
  EXPECT_EQ(item().menu.items.at(0).title, "Kestrova \u2014 Offline");
  EXPECT_EQ(item().menu.items.at(3).title, "Start Kestrova");
  EXPECT_EQ(polls(), 1u) << "the first poll goes out at launch";
  ASSERT_EQ(repliesApplied(), 1);
  EXPECT_EQ(delegate->status(), EngineStatus::onAir);
  EXPECT_EQ(item().symbol, "antenna.radiowaves.left.and.right");
  EXPECT_EQ(item().menu.items.at(1).title, "  \u25B6 Morning Show");
  const Menu first = item().menu;
  const int menus = item().menuSets;
  // An unchanged reply is applied in full; an unreadable one is offline and clears the text.
  ASSERT_TRUE(pollsAfter(kPollInterval));
  EXPECT_EQ(repliesApplied(), 2);
  EXPECT_EQ(item().menuSets, menus + 1);
  EXPECT_EQ(item().menu, first);
  replyWith("<html>starting");
  ASSERT_TRUE(pollsAfter(kPollInterval));
  EXPECT_EQ(repliesApplied(), 3);
  EXPECT_EQ(delegate->lastNow(), "");
  EXPECT_TRUE(item().menu.items.at(1).separator);
  EXPECT_EQ(item().symbol, "dot.radiowaves.left.and.right");
}

TEST_F(Controller, WithoutSymbolsTheItemShowsTitles) {
  platform.ui.statusSymbolsAvailable = false;
  launchSettled();
  EXPECT_EQ(item().title, "\u25CB Kestrova");
  EXPECT_EQ(repliesApplied(), 1);
  EXPECT_EQ(item().title, "\u25CF ON AIR");
}

// A tick held over an alert fires once when it closes (not once per missed period).
TEST_F(Controller, AnAlertOpenForAMinuteHoldsThePollTimer) {
  launchSettled();
  ASSERT_EQ(repliesApplied(), 1);
  platform.ui.answers.push_back(answerWith(kSecondButton, 60));
  delegate->quit();
  EXPECT_EQ(platform.loop.now(), 60);
  EXPECT_EQ(polls(), 1u);
  platform.loop.runUntilIdle();
  EXPECT_EQ(polls(), 2u);
  EXPECT_TRUE(pollsAfter(kPollInterval));
}

TEST_F(Controller, PollsAreNotSerialisedAndTheLastReplyToArriveWins) {
  launchSettled();
  ASSERT_EQ(repliesApplied(), 1);
  http.on("/api/status", "{}", 1.0);  // idle, a second late
  delegate->poll();
  http.on("/api/status", R"({"live_mode": true})");
  delegate->poll();
  EXPECT_EQ(polls(), 3u) << "the second went out while the first was unanswered";
  EXPECT_EQ(repliesApplied(), 2);
  EXPECT_EQ(delegate->status(), EngineStatus::live);
  platform.loop.advance(1.0);
  EXPECT_EQ(delegate->status(), EngineStatus::idle);
}

TEST_F(Controller, APendingReplyDoesNotKeepTheControllerAlive) {
  delegate->poll();
  const std::weak_ptr<AppDelegate> watch = delegate;
  delegate.reset();
  EXPECT_TRUE(watch.expired());
  platform.loop.runUntilIdle();  // the reply arrives and is dropped
  EXPECT_EQ(polls(), 1u);
}

TEST_F(Controller, OutsideApplicationsNothingRunsAfterTheAlert) {
  platform.host.bundle = "/Users/example/Downloads/Kestrova.app";
  launch();
  EXPECT_EQ(item().menuSets, 1);
  EXPECT_FALSE(agentFileExists());
  EXPECT_TRUE(runner.calls().empty());
  platform.loop.advance(30);
  EXPECT_EQ(polls(), 0u);
}

TEST_F(Controller, TheFirstRunComesBeforeThePollTimerStarts) {
  platform.ui.answers.push_back(answerWith(kSecondButton, 30));  // "Later" after 30 s
  launch();
  EXPECT_FALSE(agentFileExists());
  EXPECT_EQ(runner.calls(), std::vector<std::string>{});
  platform.loop.runUntilIdle();
  EXPECT_EQ(polls(), 1u) << "a timer started before the welcome would fire once it closed";
  EXPECT_TRUE(pollsAfter(kPollInterval));
}

// Unloaded (after a power cut, say): installed again without a word, even when that fails.
TEST(ControllerStartUp, AFilePresentButNotLoadedIsInstalledSilently) {
  for (const bool loads : {true, false}) {
    SCOPED_TRACE(loads);
    Fresh f;
    f.writeAgentFile("/Applications/Old Kestrova.app/engine");
    f.runner.answer(kPrint, {kUnknownService, kUnknownService, loads ? kOk : kUnknownService});
    f.runner.answer(kBootout, kOk);
    f.runner.answer(f.bootstrapLine(), loads ? kOk : ShellResult{5, "Bootstrap failed"});
    f.launch();
    EXPECT_EQ(f.platform.host.logLines(),
              std::vector<std::string>{
                  "Kestrova: startup agent present but not loaded \u2014 bootstrapping"});
    EXPECT_EQ(f.runner.count(f.bootstrapLine()), loads ? 1u : 3u);
    EXPECT_NE(f.agentFile().find(f.enginePath()), std::string::npos);
    EXPECT_TRUE(f.alerts().empty());
    EXPECT_EQ(f.polls(), 1u);
  }
}

TEST_F(Controller, ALoadedAgentForThisCopyOnlyAsksLaunchdAndARepairedOneIsToldOnce) {
  launchSettled();
  EXPECT_EQ(runner.calls(), std::vector<std::string>{kPrint});
  writeAgentFile("/Volumes/Kestrova/Kestrova.app/Contents/Resources/engine/runtime/x");
  loadSucceeds();
  AppDelegate::create()->applicationDidFinishLaunching();
  AppDelegate::create()->applicationDidFinishLaunching();
  EXPECT_EQ(alerts().size(), 1u);
  EXPECT_NE(agentFile().find(enginePath()), std::string::npos);
}

TEST_F(Controller, FirstRunLaterLeavesNothingAndSetUpOpensTheDashboardThreeSecondsLater) {
  platform.ui.answers.push_back(answerWith(kSecondButton));
  delegate->firstRun();
  EXPECT_FALSE(agentFileExists());
  EXPECT_TRUE(runner.calls().empty());
  EXPECT_EQ(platform.loop.pendingTimers(), 0u);

  runner.answer(kPrint, {kUnknownService, kOk});
  loadSucceeds();
  delegate->firstRun();
  EXPECT_TRUE(agentFileExists());
  platform.loop.advance(2.9);
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  EXPECT_EQ(polls(), 0u);
  platform.loop.advance(0.1);
  ASSERT_EQ(platform.ui.webWindowSpecs.size(), 1u);
  EXPECT_EQ(platform.ui.webWindow->loads, std::vector<std::string>{"http://127.0.0.1:8800/"});
  EXPECT_EQ(polls(), 1u);
}

TEST_F(Controller, AFailedSetUpNeverOpensTheDashboardNorPolls) {
  runner.answer(kPrint, kUnknownService);
  runner.answer(kBootout, kOk);
  runner.answer(bootstrapLine(), {5, ""});
  delegate->firstRun();
  EXPECT_EQ(platform.loop.pendingTimers(), 0u);
  platform.loop.advance(30);
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  EXPECT_EQ(polls(), 0u);
}

// What each command asks of launchd, and the single follow-up poll it leaves behind.
TEST(ControllerCommands, EachCommandRunsItsLaunchctlLinesThenPollsOnce) {
  struct Row {
    const char* name;
    std::optional<std::string> agentFile;  // "engine": this copy's
    std::vector<ShellResult> prints;
    const char* action;
    std::size_t bootstraps, kickstarts, bootouts;
    double pollAfter;
  };
  const std::vector<Row> rows = {
      {"start while loaded", "/somewhere/else/kestrova-engine", {kOk}, "startEngine", 0, 1, 0, 2},
      {"start after a stop",
       "engine",
       {kUnknownService, kUnknownService, kOk},
       "startEngine",
       1,
       0,
       1,
       2},
      {"start without a file", std::nullopt, {kUnknownService, kOk}, "startEngine", 1, 0, 1, 2},
      {"restart", std::nullopt, {}, "restartEngine", 0, 1, 0, 2},
      {"stop", "engine", {kUnknownService}, "stopEngine", 0, 0, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fresh f;
    if (row.agentFile)
      f.writeAgentFile(*row.agentFile == "engine" ? f.enginePath() : *row.agentFile);
    const std::string before = row.agentFile ? f.agentFile() : "";
    if (!row.prints.empty()) f.runner.answer(kPrint, row.prints);
    f.loadSucceeds();
    f.runner.answer(kKickstart, {1, "Could not find service"});  // not checked, not shown
    f.delegate->perform(row.action);
    EXPECT_EQ(f.runner.count(f.bootstrapLine()), row.bootstraps);
    EXPECT_EQ(f.runner.count(kKickstart), row.kickstarts);
    EXPECT_EQ(f.runner.count(kBootout), row.bootouts);
    if (row.kickstarts == 1 && row.agentFile) {
      EXPECT_EQ(f.agentFile(), before) << "a restart leaves the file as it is";
    }
    if (row.bootstraps == 1) {
      EXPECT_NE(f.agentFile().find(f.enginePath()), std::string::npos);
    }
    EXPECT_TRUE(f.agentFileExists() || !row.agentFile) << "a stop keeps the file";
    EXPECT_EQ(f.alerts().size(), std::string(row.action) == "stopEngine" ? 1u : 0u);
    EXPECT_TRUE(f.pollsAfter(row.pollAfter));
    EXPECT_EQ(f.platform.loop.pendingTimers(), 0u);
  }
}

TEST_F(Controller, CancelledStopRunsNothingAndAFailedStartPollsTwoSecondsAfterItsAlert) {
  writeAgentFile(enginePath());
  platform.ui.answers.push_back(answerWith(kSecondButton));
  delegate->perform("stopEngine");
  EXPECT_TRUE(runner.calls().empty());
  EXPECT_EQ(platform.loop.pendingTimers(), 0u);

  failEveryLoad();
  platform.ui.answers.push_back(answerWith(kAlertFirstButton, 30));
  delegate->perform("startEngine");
  EXPECT_EQ(runner.count(bootstrapLine()), 3u);
  EXPECT_EQ(platform.loop.now(), 30);
  EXPECT_EQ(polls(), 0u);
  EXPECT_TRUE(pollsAfter(2.0));
}

// The login switch acts at once: the file, the menu's checkmark, and no extra poll.
TEST_F(Controller, TheLoginSwitchUninstallsAndInstallsAndRebuildsTheMenuAtOnce) {
  launchSettled();
  ASSERT_EQ(repliesApplied(), 1);
  EXPECT_TRUE(loginChecked());
  runner.answer(kBootout, kOk);
  const int menus = item().menuSets;
  const std::size_t timers = platform.loop.pendingTimers();
  delegate->perform("toggleAgent");
  EXPECT_FALSE(agentFileExists());
  EXPECT_FALSE(loginChecked());
  failEveryLoad();
  delegate->perform("toggleAgent");
  EXPECT_EQ(alerts().size(), 1u);
  EXPECT_TRUE(loginChecked()) << "the file was written, so the next login loads it";
  runner.answer(kPrint, {kUnknownService, kOk});
  runner.answer(bootstrapLine(), kOk);
  delegate->perform("toggleAgent");  // off
  delegate->perform("toggleAgent");  // on
  EXPECT_TRUE(loginChecked());
  EXPECT_EQ(alerts().size(), 1u);
  EXPECT_EQ(item().menuSets, menus + 4);
  EXPECT_EQ(platform.loop.pendingTimers(), timers);
}

TEST_F(Controller, MenuActionsReopenLogsAndHelp) {
  delegate->perform("openDashboardInBrowser");
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  EXPECT_TRUE(delegate->applicationShouldHandleReopen(true));
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
  EXPECT_EQ(platform.ui.webWindowSpecs.size(), 1u);
  delegate->perform("openDashboard");
  EXPECT_EQ(platform.ui.webWindow->broughtToFront, 2);
  EXPECT_FALSE(delegate->applicationShouldTerminateAfterLastWindowClosed());
  // Before the engine has ever run there is no log folder: still no message.
  delegate->perform("showLogs");
  delegate->perform("help");
  delegate->perform("noSuchAction");
  delegate->perform("terminate:");  // a responder-chain action is not the controller's
  EXPECT_EQ(platform.ui.openedURLs,
            (std::vector<std::string>{"http://127.0.0.1:8800/", "https://kestrova.talmiro.com/"}));
  EXPECT_EQ(platform.ui.revealedFiles,
            std::vector<std::string>{
                platform.sandbox.path("Library/Application Support/Kestrova/logs/stream.log")});
  EXPECT_TRUE(runner.calls().empty());
  EXPECT_TRUE(alerts().empty());
  EXPECT_FALSE(platform.ui.terminated);
}

TEST_F(Controller, TheProgramIsARegularApplicationWithAMainMenuThatRunsTheController) {
  writeAgentFile(enginePath());
  serviceLoaded(true);
  EXPECT_EQ(runApplication(), 0);
  EXPECT_TRUE(platform.ui.regularPolicy);
  EXPECT_TRUE(platform.ui.mainMenu.has_value());
  ASSERT_NE(platform.ui.statusItem, nullptr);
  EXPECT_EQ(polls(), 1u);
}

}  // namespace
}  // namespace kestrova::testing
