#include "app/shell/status_menu.h"

#include "app/engine/constants.h"

namespace kestrova {
namespace {

MenuItem command(std::string title, std::string action, std::string key = {}) {
  return MenuItem::makeCommand(std::move(title), std::move(action), std::move(key));
}

MenuItem information(std::string title) {
  MenuItem item;
  item.title = std::move(title);
  item.enabled = false;
  return item;
}

// The product name stays the fixed word in the fallback titles: they are short glyph badges,
// not sentences, and must fit the menu bar whatever the constant says.
std::string fallbackTitle(EngineStatus status) {
  switch (status) {
    case EngineStatus::offline:
      return "\u25CB Kestrova";
    case EngineStatus::idle:
      return "\u2759\u2759 Kestrova";
    case EngineStatus::onAir:
      return "\u25CF ON AIR";
    case EngineStatus::live:
      return "\u25CF LIVE";
    case EngineStatus::needsSetup:
      return "! Kestrova";
  }
  return "\u25CB Kestrova";
}

std::string symbolName(EngineStatus status) {
  switch (status) {
    case EngineStatus::offline:
      return "dot.radiowaves.left.and.right";
    case EngineStatus::idle:
      return "pause.circle";
    case EngineStatus::onAir:
      return "antenna.radiowaves.left.and.right";
    case EngineStatus::live:
      return "video.circle.fill";
    case EngineStatus::needsSetup:
      return "exclamationmark.circle";
  }
  return "dot.radiowaves.left.and.right";
}

// Items 1 to 7: the state line, the now-playing line and the state's own commands.
void addStateItems(Menu& menu, EngineStatus status, const std::string& lastNow) {
  menu.items.push_back(
      information(std::string(kAppName) + " \u2014 " + std::string(label(status))));
  if (!lastNow.empty()) {
    menu.items.push_back(information("  \u25B6 " + lastNow));
  }
  menu.items.push_back(MenuItem::makeSeparator());
  const bool needsSetup = status == EngineStatus::needsSetup;
  menu.items.push_back(
      command(needsSetup ? "Continue Setup\u2026" : "Open Dashboard\u2026", "openDashboard", "d"));
  if (needsSetup) {
    menu.items.push_back(command("Choose Media Folder\u2026", "chooseMediaFolder"));
  }
  if (status == EngineStatus::offline) {
    menu.items.push_back(command("Start Kestrova", "startEngine"));
  } else {
    menu.items.push_back(command("Restart Engine", "restartEngine"));
    menu.items.push_back(command("Stop Kestrova\u2026", "stopEngine"));
  }
}

}  // namespace

StatusAppearance appearanceFor(EngineStatus status) {
  return {symbolName(status), std::string(label(status)), fallbackTitle(status)};
}

Menu buildStatusMenu(EngineStatus status, const std::string& lastNow, bool agentFileExists) {
  Menu menu;
  addStateItems(menu, status, lastNow);
  menu.items.push_back(MenuItem::makeSeparator());
  menu.items.push_back(command("Open Dashboard in Browser\u2026", "openDashboardInBrowser"));
  menu.items.push_back(command("Check for Updates\u2026", "checkForUpdates"));
  menu.items.push_back(command("Show Logs\u2026", "showLogs"));
  menu.items.push_back(command("Show Dashboard Password\u2026", "showPassword"));
  menu.items.push_back(command("Send Diagnostics to Support\u2026", "diagnostics"));
  menu.items.push_back(command("Get Help\u2026", "help"));
  menu.items.push_back(MenuItem::makeSeparator());
  MenuItem login = command("Start Automatically at Login", "toggleAgent");
  login.checked = agentFileExists;
  menu.items.push_back(login);
  menu.items.push_back(MenuItem::makeSeparator());
  menu.items.push_back(command("Quit " + std::string(kAppName), "quit", "q"));
  return menu;
}

}  // namespace kestrova
