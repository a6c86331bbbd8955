#include "app/shell/app_delegate.h"

#include <array>
#include <utility>

#include "app/dashboard/dashboard_window.h"
#include "app/engine/constants.h"
#include "app/engine/paths.h"
#include "app/engine/status_request.h"
#include "app/platform/platform.h"
#include "app/shell/agent_file.h"
#include "app/shell/status_menu.h"

namespace kestrova {

std::shared_ptr<AppDelegate> AppDelegate::create() {
  // The constructor is private so that every controller is shared-owned (weak_from_this works).
  return std::shared_ptr<AppDelegate>(new AppDelegate());
}

AppDelegate::AppDelegate() : dashboard_(DashboardWindow::create()) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
  scheduleUpdateChecks();
  statusItem_ = platform().ui().createStatusItem();
  applyStatusAppearance(status_);
  rebuildMenu();
  if (!checkPlacement()) {
    return;
  }
  checkAgentAtStartup();
  startPollTimer();
  poll();
}

void AppDelegate::startPollTimer() {
  std::weak_ptr<AppDelegate> weak = weak_from_this();
  timer_ = platform().loop().repeat(kPollInterval, [weak] {
    if (auto self = weak.lock()) {
      self->poll();
    }
  });
}

// Not serialised: each reply is applied as it arrives, so the last one to arrive wins.
void AppDelegate::poll() {
  std::weak_ptr<AppDelegate> weak = weak_from_this();
  requestStatus([weak](const StatusReport& report) {
    if (auto self = weak.lock()) {
      self->applyReport(report);
    }
  });
}

// Applied on every reply, changed or not: the icon and the whole menu are set again.
void AppDelegate::applyReport(const StatusReport& report) {
  status_ = report.status;
  lastNow_ = report.status == EngineStatus::offline ? std::string() : report.now;
  applyStatusAppearance(status_);
  rebuildMenu();
}

void AppDelegate::applyStatusAppearance(EngineStatus status) {
  if (!statusItem_) {
    return;
  }
  const StatusAppearance appearance = appearanceFor(status);
  if (!statusItem_->setSymbol(appearance.symbol, appearance.accessibility)) {
    statusItem_->setTitle(appearance.fallbackTitle);
  }
}

void AppDelegate::rebuildMenu() {
  if (!statusItem_) {
    return;
  }
  statusItem_->setMenu(buildStatusMenu(status_, lastNow_, agentFileExists()));
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
  if (!hasVisibleWindows) {
    dashboard_->show();
  }
  return true;
}

// The app lives in the menu bar: closing the dashboard never ends it.
bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() { return false; }

void AppDelegate::perform(std::string_view action) {
  using Action = void (AppDelegate::*)();
  static constexpr std::array<std::pair<std::string_view, Action>, 13> actions{{
      {"openDashboard", &AppDelegate::openDashboard},
      {"chooseMediaFolder", &AppDelegate::chooseMediaFolder},
      {"restartEngine", &AppDelegate::restartEngine},
      {"stopEngine", &AppDelegate::stopEngine},
      {"startEngine", &AppDelegate::startEngine},
      {"openDashboardInBrowser", &AppDelegate::openDashboardInBrowser},
      {"checkForUpdates", &AppDelegate::checkForUpdates},
      {"showLogs", &AppDelegate::showLogs},
      {"showPassword", &AppDelegate::showPassword},
      {"diagnostics", &AppDelegate::diagnostics},
      {"help", &AppDelegate::help},
      {"toggleAgent", &AppDelegate::toggleAgent},
      {"quit", &AppDelegate::quit},
  }};
  for (const auto& [name, method] : actions) {
    if (name == action) {
      (this->*method)();
      return;
    }
  }
}

void AppDelegate::openDashboard() { dashboard_->show(); }

void AppDelegate::openDashboardInBrowser() { (void)platform().ui().openURL(Paths::dashboardURL()); }

// Quitting leaves the engine alone; the text tells the user what that means for the channel.
void AppDelegate::quit() {
  AlertSpec question;
  question.message = "Quit " + std::string(kAppName) + "?";
  question.informative =
      agentFileExists()
          ? "Your channel will keep broadcasting in the background. To take it off air, use the "
            "dashboard."
          : "The engine will stop and your channel will go off air.";
  question.buttons = {"Quit", "Cancel"};
  if (platform().ui().runAlert(question).response == kAlertFirstButton) {
    platform().ui().terminate();
  }
}

void AppDelegate::alert(const std::string& message, const std::string& informative) {
  (void)platform().ui().runAlert(AlertSpec{message, informative, {"OK"}, std::nullopt});
}

}  // namespace kestrova
