#include "app/shell/status_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace kestrova {
namespace {

// One line per item: "title | action | key | flags", "---" for a separator, so a whole menu
// compares as one readable list.
std::vector<std::string> describe(const Menu& menu) {
  std::vector<std::string> lines;
  for (const MenuItem& item : menu.items) {
    if (item.separator) {
      lines.emplace_back("---");
      continue;
    }
    std::string flags;
    flags += item.enabled ? "" : "disabled";
    flags += item.checked ? "checked" : "";
    lines.push_back(item.title + " | " + item.action + " | " + item.key + " | " + flags);
  }
  return lines;
}

const std::vector<std::string> kCommonTail = {
    "---",
    "Open Dashboard in Browser\u2026 | openDashboardInBrowser |  | ",
    "Check for Updates\u2026 | checkForUpdates |  | ",
    "Show Logs\u2026 | showLogs |  | ",
    "Show Dashboard Password\u2026 | showPassword |  | ",
    "Send Diagnostics to Support\u2026 | diagnostics |  | ",
    "Get Help\u2026 | help |  | ",
    "---",
    "Start Automatically at Login | toggleAgent |  | ",
    "---",
    "Quit Kestrova | quit | q | ",
};

// The state's own items, then the common ones; with `checked` the login item carries its mark.
std::vector<std::string> withTail(std::vector<std::string> head, bool checked = false) {
  head.insert(head.end(), kCommonTail.begin(), kCommonTail.end());
  if (checked) {
    head[head.size() - 3] += "checked";
  }
  return head;
}

struct MenuCase {
  EngineStatus status;
  std::vector<std::string> head;
};

// Every state, as is, with a now-playing text (its own disabled line right after the state
// line) and with the agent file present (the login item checked, nothing else).
TEST(StatusMenu, EachStateWithAndWithoutNowPlayingAndTheLoginMark) {
  const std::vector<MenuCase> cases = {
      {EngineStatus::offline,
       {"Kestrova \u2014 Offline |  |  | disabled", "---",
        "Open Dashboard\u2026 | openDashboard | d | ", "Start Kestrova | startEngine |  | "}},
      {EngineStatus::idle,
       {"Kestrova \u2014 Idle \u2014 not broadcasting |  |  | disabled", "---",
        "Open Dashboard\u2026 | openDashboard | d | ", "Restart Engine | restartEngine |  | ",
        "Stop Kestrova\u2026 | stopEngine |  | "}},
      {EngineStatus::onAir,
       {"Kestrova \u2014 ON AIR |  |  | disabled", "---",
        "Open Dashboard\u2026 | openDashboard | d | ", "Restart Engine | restartEngine |  | ",
        "Stop Kestrova\u2026 | stopEngine |  | "}},
      {EngineStatus::live,
       {"Kestrova \u2014 LIVE EVENT |  |  | disabled", "---",
        "Open Dashboard\u2026 | openDashboard | d | ", "Restart Engine | restartEngine |  | ",
        "Stop Kestrova\u2026 | stopEngine |  | "}},
      {EngineStatus::needsSetup,
       {"Kestrova \u2014 Setup needed |  |  | disabled", "---",
        "Continue Setup\u2026 | openDashboard | d | ",
        "Choose Media Folder\u2026 | chooseMediaFolder |  | ",
        "Restart Engine | restartEngine |  | ", "Stop Kestrova\u2026 | stopEngine |  | "}},
  };
  for (const MenuCase& c : cases) {
    SCOPED_TRACE(std::string(label(c.status)));
    EXPECT_EQ(describe(buildStatusMenu(c.status, "", false)), withTail(c.head));
    std::vector<std::string> playing = c.head;
    playing.insert(playing.begin() + 1, "  \u25B6 Morning Show |  |  | disabled");
    EXPECT_EQ(describe(buildStatusMenu(c.status, "Morning Show", false)), withTail(playing));
    EXPECT_EQ(describe(buildStatusMenu(c.status, "", true)), withTail(c.head, true));
  }
}

TEST(StatusAppearanceTable, SymbolDescriptionAndFallbackPerState) {
  struct Case {
    EngineStatus status;
    StatusAppearance expected;
  };
  const std::vector<Case> cases = {
      {EngineStatus::offline, {"dot.radiowaves.left.and.right", "Offline", "\u25CB Kestrova"}},
      {EngineStatus::idle,
       {"pause.circle", "Idle \u2014 not broadcasting", "\u2759\u2759 Kestrova"}},
      {EngineStatus::onAir, {"antenna.radiowaves.left.and.right", "ON AIR", "\u25CF ON AIR"}},
      {EngineStatus::live, {"video.circle.fill", "LIVE EVENT", "\u25CF LIVE"}},
      {EngineStatus::needsSetup, {"exclamationmark.circle", "Setup needed", "! Kestrova"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(appearanceFor(c.status), c.expected) << label(c.status);
  }
}

}  // namespace
}  // namespace kestrova
