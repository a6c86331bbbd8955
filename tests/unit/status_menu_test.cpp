// The status item for each state of the engine: the title shown where no symbol image can be had
// (before macOS 11, or a theme without it), and the menu. The symbols are the desktop tests'. Also
// the application menu's edit commands, whose shortcuts the dashboard's fields rely on.
#include "app/shell/status_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/shell/app_menu.h"

namespace kestrova {
namespace {

// One line per item, "title|action|key|flags", and "---" for a separator.
std::string describe(const Menu& menu) {
  std::string text;
  for (const MenuItem& item : menu.items) {
    text += item.separator ? "---\n"
                           : item.title + "|" + item.action + "|" + item.key + "|" +
                                 (item.enabled ? "" : "off") + (item.checked ? "on" : "") + "\n";
  }
  return text;
}

const std::string kCommon =
    "---\nOpen Dashboard in Browser\u2026|openDashboardInBrowser||\n"
    "Check for Updates\u2026|checkForUpdates||\nShow Logs\u2026|showLogs||\n"
    "Show Dashboard Password\u2026|showPassword||\n"
    "Send Diagnostics to Support\u2026|diagnostics||\nGet Help\u2026|help||\n---\n"
    "Start Automatically at Login|toggleAgent||\n---\nQuit Kestrova|quit|q|\n";
const std::string kOpen = "---\nOpen Dashboard\u2026|openDashboard|d|\n";
const std::string kRunning = "Restart Engine|restartEngine||\nStop Kestrova\u2026|stopEngine||\n";

// Each state's fallback title, its own items, then the common ones; a now-playing text gets its
// own disabled line after the state line, and the login item is checked while the agent file
// exists.
TEST(StatusMenu, EachStatesFallbackTitleItsOwnItemsThenTheCommonOnes) {
  const std::tuple<EngineStatus, std::string, std::string> cases[] = {
      {EngineStatus::offline, "\u25CB Kestrova",
       "Kestrova \u2014 Offline|||off\n" + kOpen + "Start Kestrova|startEngine||\n"},
      {EngineStatus::idle, "\u2759\u2759 Kestrova",
       "Kestrova \u2014 Idle \u2014 not broadcasting|||off\n" + kOpen + kRunning},
      {EngineStatus::onAir, "\u25CF ON AIR", "Kestrova \u2014 ON AIR|||off\n" + kOpen + kRunning},
      {EngineStatus::live, "\u25CF LIVE", "Kestrova \u2014 LIVE EVENT|||off\n" + kOpen + kRunning},
      {EngineStatus::needsSetup, "! Kestrova",
       "Kestrova \u2014 Setup needed|||off\n---\nContinue Setup\u2026|openDashboard|d|\n"
       "Choose Media Folder\u2026|chooseMediaFolder||\n" +
           kRunning},
  };
  for (const auto& [status, fallback, own] : cases) {
    EXPECT_EQ(appearanceFor(status).fallbackTitle, fallback);
    EXPECT_EQ(describe(buildStatusMenu(status, "", false)), own + kCommon) << label(status);
  }
  std::string playing =
      "Kestrova \u2014 LIVE EVENT|||off\n  \u25B6 Show|||off\n" + kOpen + kRunning + kCommon;
  playing.replace(playing.find("toggleAgent||"), 13, "toggleAgent||on");
  EXPECT_EQ(describe(buildStatusMenu(EngineStatus::live, "Show", true)), playing);
}

// An upper-case key adds Shift: Redo is Undo's key with Shift, not a second Undo.
TEST(AppMenu, TheEditCommandsHaveTheirShortcuts) {
  EXPECT_EQ(describe(buildAppMenu().items.at(1).submenu.at(0)),
            "Undo|undo:|z|\nRedo|redo:|Z|\nCut|cut:|x|\nCopy|copy:|c|\nPaste|paste:|v|\n"
            "Select All|selectAll:|a|\n");
}

}  // namespace
}  // namespace kestrova
