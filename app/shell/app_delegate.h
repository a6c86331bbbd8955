// The one controller: owns the status item, the poll timer, the engine state and the dashboard.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/engine/engine_status.h"
#include "app/platform/main_loop.h"
#include "app/platform/ui.h"
#include "app/update/release.h"

namespace kestrova {

class DashboardWindow;

inline constexpr double kPollInterval = 5.0;

// Lives in a shared_ptr so that timers and replies can hold it weakly. Nothing but the program
// entry holds it strongly: when the entry lets it go, it goes at once, with its status item,
// timers and dashboard window, while the Ui they belong to still exists; a reply or a timer that
// comes later finds it gone and does nothing.
class AppDelegate final : public AppHandler, public std::enable_shared_from_this<AppDelegate> {
 public:
  [[nodiscard]] static std::shared_ptr<AppDelegate> create();
  ~AppDelegate() override;
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // Platform callbacks.
  void applicationDidFinishLaunching() override;
  [[nodiscard]] bool applicationShouldHandleReopen(bool hasVisibleWindows) override;
  [[nodiscard]] bool applicationShouldTerminateAfterLastWindowClosed() override;
  // Menu actions by selector name.
  void perform(std::string_view action) override;

  void applyStatusAppearance(EngineStatus status);
  void poll();
  void rebuildMenu();

  // Menu actions.
  void openDashboard();
  void openDashboardInBrowser();
  void checkForUpdates();
  void startEngine();
  void stopEngine();
  void restartEngine();
  void chooseMediaFolder();
  void showPassword();
  void showLogs();
  void diagnostics();
  void help();
  void toggleAgent();
  void quit();

  void runUpdateCheck(bool quiet);
  void offerUpdate(const Updater::Release& release);
  void beginUpdate(const Updater::Release& release);
  void firstRun();
  // The shared simple alert: message, informative text and one "OK" button.
  void alert(const std::string& message, const std::string& informative);

  [[nodiscard]] EngineStatus status() const { return status_; }
  [[nodiscard]] const std::string& lastNow() const { return lastNow_; }
  [[nodiscard]] DashboardWindow& dashboard() const { return *dashboard_; }

 private:
  AppDelegate();
  void applyReport(const StatusReport& report);
  void scheduleUpdateChecks();
  // The end of a download and verification: show a failure, or hand the image to the helper.
  void finishUpdate(std::optional<std::string> image, std::optional<std::string> message);
  // Start-up: false when this copy may not run from where it lies (the user was told, and the
  // application is terminating).
  [[nodiscard]] bool checkPlacement();
  void checkAgentAtStartup();
  void startPollTimer();
  // A follow-up poll after an engine command or the first-run setup.
  void pollAfter(double seconds);
  // Wraps `step` so that it runs on the controller only while the controller still exists.
  template <typename Step>
  [[nodiscard]] auto whileAlive(Step step) {
    return [weak = weak_from_this(), step = std::move(step)](auto&&... args) {
      if (auto self = weak.lock()) {
        step(*self, std::forward<decltype(args)>(args)...);
      }
    };
  }

  std::unique_ptr<StatusItem> statusItem_;
  std::unique_ptr<Timer> timer_;
  EngineStatus status_ = EngineStatus::offline;
  std::string lastNow_;
  std::shared_ptr<DashboardWindow> dashboard_;
  // True from "Update Now" until the download and verification have ended.
  bool updateInProgress_ = false;
  // The daily quiet update check; runs for the life of the process.
  std::unique_ptr<Timer> updateCheckTimer_;
};

}  // namespace kestrova
