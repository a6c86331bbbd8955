#include "app/dashboard/dashboard_window.h"

#include <algorithm>
#include <cctype>

#include "app/engine/constants.h"
#include "app/engine/paths.h"
#include "app/platform/platform.h"

namespace kestrova {

std::shared_ptr<DashboardWindow> DashboardWindow::create() {
  // The constructor is private so that every instance is shared-owned (weak_from_this works).
  return std::shared_ptr<DashboardWindow>(new DashboardWindow());
}

void DashboardWindow::show() {
  Ui& ui = platform().ui();
  if (!window_) {
    window_ = ui.createWebWindow(
        WebWindowSpec{kDashboardWidth, kDashboardHeight, kAppName, "KestrovaDashboard"}, *this);
    loadDashboard();
  }
  window_->bringToFront();
  ui.activate();
}

// Always the root address, computed now: the port may have changed, and a failed link inside
// the dashboard is answered by going back to its start page.
void DashboardWindow::loadDashboard() {
  window_->load(Paths::dashboardURL(), kDashboardLoadTimeout);
}

void DashboardWindow::didFailProvisionalLoad() {
  if (retries_ >= kDashboardRetryLimit) {
    return;
  }
  ++retries_;
  std::weak_ptr<DashboardWindow> weak = weak_from_this();
  platform().loop().postAfter(kDashboardRetryDelay, [weak] {
    if (auto self = weak.lock(); self && self->window_) {
      self->loadDashboard();
    }
  });
}

void DashboardWindow::didFinishLoad() { retries_ = 0; }

void DashboardWindow::runAlertPanel(const std::string& message) {
  (void)platform().ui().runAlert(AlertSpec{message, "", {"OK"}, std::nullopt});
}

bool DashboardWindow::runConfirmPanel(const std::string& message) {
  const AlertAnswer answer =
      platform().ui().runAlert(AlertSpec{message, "", {"OK", "Cancel"}, std::nullopt});
  return answer.response == kAlertFirstButton;
}

std::optional<std::string> DashboardWindow::runPromptPanel(const std::string& prompt,
                                                           const std::string& defaultText) {
  AlertField field;
  field.text = defaultText;
  field.masked = promptWantsMaskedField(prompt);
  const AlertAnswer answer =
      platform().ui().runAlert(AlertSpec{prompt, "", {"OK", "Cancel"}, field});
  if (answer.response != kAlertFirstButton) {
    return std::nullopt;
  }
  return answer.fieldText;
}

bool promptWantsMaskedField(const std::string& prompt) {
  std::string lower = prompt;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find("password") != std::string::npos;
}

}  // namespace kestrova
