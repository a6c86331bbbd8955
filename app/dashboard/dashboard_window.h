// The one dashboard window on the engine's web interface: opening, load retries, page dialogs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/platform/ui.h"

namespace kestrova {

inline constexpr int kDashboardWidth = 1040;
inline constexpr int kDashboardHeight = 760;
inline constexpr double kDashboardLoadTimeout = 60.0;
// The engine may take a while to start listening after its agent is loaded: reload this many
// times, this far apart, before giving up until the next launch.
inline constexpr std::int64_t kDashboardRetryLimit = 20;
inline constexpr double kDashboardRetryDelay = 1.0;

// Owned by a shared_ptr (see create) so that a pending reload can hold it weakly.
class DashboardWindow final : public WebWindowDelegate,
                              public std::enable_shared_from_this<DashboardWindow> {
 public:
  [[nodiscard]] static std::shared_ptr<DashboardWindow> create();
  DashboardWindow(const DashboardWindow&) = delete;
  DashboardWindow& operator=(const DashboardWindow&) = delete;

  // Creates the window and loads the dashboard the first time; afterwards only brings the same
  // window (and whatever page it holds) forward.
  void show();

  // Consecutive failed loads since the last one that finished.
  [[nodiscard]] std::int64_t retries() const { return retries_; }
  [[nodiscard]] bool created() const { return window_ != nullptr; }
  [[nodiscard]] bool isVisible() const { return window_ && window_->isVisible(); }

  void didFailProvisionalLoad() override;
  void didFinishLoad() override;
  void runAlertPanel(const std::string& message) override;
  [[nodiscard]] bool runConfirmPanel(const std::string& message) override;
  [[nodiscard]] std::optional<std::string> runPromptPanel(const std::string& prompt,
                                                          const std::string& defaultText) override;

 private:
  DashboardWindow() = default;
  void loadDashboard();

  std::unique_ptr<WebWindow> window_;
  std::int64_t retries_ = 0;
};

// Whether a page's prompt asks for a secret and so gets a masked field.
[[nodiscard]] bool promptWantsMaskedField(const std::string& prompt);

}  // namespace kestrova
