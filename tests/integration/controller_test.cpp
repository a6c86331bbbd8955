// The controller as the user meets it: every alert text, the start-up checks, the first run, the
// engine commands and their follow-up polls, the poll cadence, and the program entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/integration/controller_fixture.h"

namespace kestrova::testing {
namespace {

using F = ControllerTest;

const std::string kStartFailed =
    "The background service would not start. launchctl said: Bootstrap failed: 5: Input/output "
    "error";
const std::string kLogs = "Library/Application Support/Kestrova/logs";
const std::string kOldCopy = "/Volumes/Kestrova/Kestrova.app/Contents/Resources/engine/runtime/x";
AlertSpec ask(const std::string& message, const std::string& informative,
              std::vector<std::string> buttons) {
  return AlertSpec{message, informative, std::move(buttons), std::nullopt};
}
const AlertSpec kMove = ask("Move Kestrova to Applications",
                            "Kestrova is running from:\n/Users/example/Downloads/Kestrova.app\n\n"
                            "It must live in the Applications folder to broadcast reliably. "
                            "Quit, drag Kestrova to Applications, and open it from there.",
                            {"Quit"});
const AlertSpec kWelcome =
    ask("Welcome to Kestrova",
        "Kestrova will set itself up to run in the background, so your channel keeps broadcasting "
        "after restarts and power cuts.\n\nNext it will open the dashboard, where you choose your "
        "video folder and connect your YouTube channel.",
        {"Set Up", "Later"});
const AlertSpec kRepointed = ok("Kestrova updated",
                                "This copy of Kestrova is now the one that runs in the background, "
                                "and your channel will keep broadcasting as before.");
const AlertSpec kQuitOnAir = ask("Quit Kestrova?",
                                 "Your channel will keep broadcasting in the background. To take "
                                 "it off air, use the dashboard.",
                                 {"Quit", "Cancel"});
const AlertSpec kQuitOffAir = ask(
    "Quit Kestrova?", "The engine will stop and your channel will go off air.", {"Quit", "Cancel"});
const AlertSpec kStop = ask("Stop broadcasting?",
                            "Your channel goes off air until you choose Start Kestrova. Playout "
                            "resumes from exactly where it stopped.",
                            {"Stop", "Cancel"});
const AlertSpec kNotStopped = ok("Could not stop the engine",
                                 "macOS did not release the background service. Try again, or "
                                 "restart the Mac.");

// Each row on a fresh controller: set up, answer the alerts, act; then what the user saw, whether
// the app ended, how many status requests went out in the 30 virtual seconds after the last alert
// closed, and whether launchd was asked anything.
TEST(ControllerTexts, EveryAlertTheUserCanMeetAndWhatFollows) {
  const auto row = [](const char* name, std::deque<ScriptedAnswer> answers, std::string_view action,
                      const std::vector<AlertSpec>& shown, bool terminates, std::size_t polls,
                      bool launchd, const std::function<void(F&)>& setUp = {}) {
    SCOPED_TRACE(name);
    F f;
    if (setUp) setUp(f);
    f.platform.ui.answers = std::move(answers);
    action == "launch" ? f.delegate->applicationDidFinishLaunching() : f.delegate->perform(action);
    f.platform.loop.advance(30);
    EXPECT_EQ(f.alerts(), shown);
    EXPECT_EQ(f.platform.ui.terminated, terminates);
    EXPECT_EQ(f.polls(), polls);
    EXPECT_EQ(!f.runner.calls().empty(), launchd);
    EXPECT_TRUE(!launchd || f.agentFile().empty() || f.agentForThisCopy());
  };
  const auto later = answerWith(kSecondButton);
  row("outside Applications", {}, "launch", {kMove}, true, 0, false,
      [](F& f) { f.platform.host.bundle = "/Users/example/Downloads/Kestrova.app"; });
  // A poll timer started before the welcome would fire once more when it closed.
  row("welcome, later after 30 s", {answerWith(kSecondButton, 30)}, "launch", {kWelcome}, false, 7,
      false);
  // The first copy's controller goes at once (nothing holds it), after its one immediate poll.
  row("stale agent repointed, and told once", {}, "launch", {kRepointed}, false, 8, true, [](F& f) {
    f.writeAgentFile(kOldCopy);
    f.runner.answer(kPrint, kOk);
    f.loadSucceeds();
    AppDelegate::create()->applicationDidFinishLaunching();
  });
  // A repair whose reinstallation fails is a failure, never "updated".
  row("stale agent that cannot be reloaded", {}, "launch",
      {ok("The engine could not be started", kStartFailed)}, false, 7, true, [](F& f) {
        f.writeAgentFile(kOldCopy);
        f.runner.answer(kPrint, kOk);  // loaded; gone for good once unloaded
        f.failEveryLoad();
      });
  // Unloaded (after a power cut, say): installed again without a word, even when that fails.
  row("present but not loaded", {}, "launch", {}, false, 7, true, [](F& f) {
    f.writeAgentFile(kOldCopy);
    f.failEveryLoad();
  });
  row("quit with the agent", {}, "quit", {kQuitOnAir}, true, 0, false,
      [](F& f) { f.writeAgentFile(f.enginePath()); });
  row("quit without the agent", {}, "quit", {kQuitOffAir}, true, 0, false);
  row("quit cancelled", {later}, "quit", {kQuitOffAir}, false, 0, false);
  row("start fails", {}, "startEngine", {ok("Could not start Kestrova", kStartFailed)}, false, 1,
      true, &F::failEveryLoad);
  row("login switch cannot install", {}, "toggleAgent",
      {ok("Could not enable automatic start", kStartFailed)}, false, 0, true, &F::failEveryLoad);
  row("stop cancelled", {later}, "stopEngine", {kStop}, false, 0, false);
  row("stop, and launchd keeps the service", {}, "stopEngine", {kStop, kNotStopped}, false, 1, true,
      [](F& f) { f.runner.answer(kPrint, kOk); });
}

// A failed setup leaves nothing to wait for; a failed start polls 2 s after its alert closes; a
// setup that succeeds opens the dashboard and polls 3 s later, once the engine listens.
TEST_F(ControllerTest, AfterAFailedSetUpNothingIsPendingAndAFailedStartPollsAfterItsAlert) {
  failEveryLoad();
  runner.answer(bootstrapLine, {5, "  \n"});
  delegate->firstRun();
  EXPECT_EQ(alerts().back(),
            ok("Setup could not finish", "The background service would not start."));
  EXPECT_EQ(platform.loop.pendingTimers(), 0u);
  platform.ui.answers.push_back(answerWith(kAlertFirstButton, 30));
  delegate->perform("startEngine");
  EXPECT_TRUE(pollsAfter(2.0));
  EXPECT_TRUE(platform.ui.webWindowSpecs.empty());
  runner.answer(kPrint, {kUnknownService, kOk});
  runner.answer(bootstrapLine, kOk);
  delegate->firstRun();
  EXPECT_TRUE(pollsAfter(3.0) && platform.ui.webWindowSpecs.size() == 1u);
}

// Each reply rebuilds the menu in full, even when unchanged; an unreadable one is offline. Without
// symbol images the item shows the state's fallback title.
TEST_F(ControllerTest, StartUpDrawsOfflineThenPollsAtOnceAndEveryFiveSeconds) {
  launchSettled();
  EXPECT_EQ(item().menu.items.at(0).title, "Kestrova \u2014 Offline");
  platform.loop.runUntilIdle();
  EXPECT_EQ(item().menu.items.at(1).title, "  \u25B6 Morning Show");
  http.on("/api/status", "<html>starting");
  ASSERT_TRUE(pollsAfter(kPollInterval));
  EXPECT_EQ(item().accessibility, "Offline");
  EXPECT_EQ(item().appearanceSets + item().menuSets, 6) << "once at start-up, once per reply";
  item().hasSymbols = false;
  ASSERT_TRUE(pollsAfter(kPollInterval));
  EXPECT_EQ(item().symbol + item().title, "\u25CB Kestrova") << "the fallback title, alone";
}

// What each command asks of launchd, and the single follow-up poll it leaves behind. Starting
// restarts a loaded service with its file (wherever that points) and installs anything else.
TEST(ControllerCommands, EachCommandRunsItsLaunchctlLinesThenPollsOnce) {
  const struct {
    const char* action;
    bool agentFile;
    std::vector<ShellResult> prints;
    std::size_t bootstraps, kickstarts, bootouts;
    double pollAfter;
  } rows[] = {
      {"startEngine", true, {kOk}, 0, 1, 0, 2},
      {"startEngine", true, {kUnknownService, kUnknownService, kOk}, 1, 0, 1, 2},
      {"startEngine", false, {kOk, kUnknownService, kOk}, 1, 0, 1, 2},
      {"restartEngine", false, {}, 0, 1, 0, 2},
      {"stopEngine", true, {kUnknownService}, 0, 0, 1, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.action + std::to_string(row.prints.size()));
    F f;
    if (row.agentFile) f.writeAgentFile("/somewhere/else/kestrova-engine");
    if (!row.prints.empty()) f.runner.answer(kPrint, row.prints);
    f.loadSucceeds();
    f.runner.answer(kKickstart, {1, "Could not find service"});  // not checked, not shown
    f.delegate->perform(row.action);
    EXPECT_EQ(f.runner.count(f.bootstrapLine), row.bootstraps);
    EXPECT_EQ(f.runner.count(kKickstart), row.kickstarts);
    EXPECT_EQ(f.runner.count(kBootout), row.bootouts);
    EXPECT_EQ(f.agentForThisCopy(), row.bootstraps == 1) << "only an install rewrites the file";
    EXPECT_TRUE(f.pollsAfter(row.pollAfter));
    EXPECT_EQ(f.platform.loop.pendingTimers(), 0u);
  }
}

// The login switch acts at once: the file, the menu's checkmark, and no extra poll.
TEST_F(ControllerTest, TheLoginSwitchUninstallsAndInstallsAndRebuildsTheMenuAtOnce) {
  const auto loginChecked = [&] {
    return std::ranges::find(item().menu.items, "toggleAgent", &MenuItem::action)->checked;
  };
  launchSettled();
  runner.answer(kBootout, kOk);
  const std::size_t timers = platform.loop.pendingTimers();
  delegate->perform("toggleAgent");
  EXPECT_TRUE(agentFile().empty() && !loginChecked());
  failEveryLoad();
  delegate->perform("toggleAgent");
  EXPECT_TRUE(loginChecked()) << "the file was written, so the next login loads it";
  EXPECT_EQ(item().menuSets, 3);
  EXPECT_EQ(platform.loop.pendingTimers(), timers);
}

// Reopening shows the dashboard, at its own width, only when no window is visible; a log folder
// that does not exist yet is still revealed without a message.
TEST_F(ControllerTest, MenuActionsReopenLogsAndHelp) {
  EXPECT_TRUE(delegate->applicationShouldHandleReopen(true) && platform.ui.webWindowSpecs.empty());
  EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
  for (const char* action : {"openDashboardInBrowser", "showLogs", "help", "noSuchAction"}) {
    delegate->perform(action);
  }
  EXPECT_EQ(std::tuple(platform.ui.webWindowSpecs.size(), platform.ui.webWindowSpecs.at(0).width),
            std::tuple(1u, 1040));
  EXPECT_EQ(platform.ui.openedURLs,
            (std::vector<std::string>{"http://127.0.0.1:8800/", "https://kestrova.talmiro.com/"}));
  EXPECT_EQ(platform.ui.revealedFiles, std::vector{platform.sandbox.path(kLogs + "/stream.log")});
  EXPECT_TRUE(runner.calls().empty() && alerts().empty());
}

}  // namespace
}  // namespace kestrova::testing
