// A Ui for the headless console program: everything the core shows is printed to stdout.
#pragma once

#include <iosfwd>

#include "app/platform/ui.h"
#include "frontends/console/console_loop.h"

namespace kestrova::console {

// There is nobody to answer: alerts take their first button, panels are cancelled, and windows
// only report what they would load.
class ConsoleUi final : public Ui {
 public:
  ConsoleUi(ConsoleLoop& loop, std::ostream& out) : loop_(loop), out_(out) {}

  void setRegularActivationPolicy() override {}
  void setMainMenu(const Menu& mainMenu) override;
  int run(AppHandler& handler) override;
  void activate() override {}
  void terminate() override { loop_.quit(); }
  AlertAnswer runAlert(const AlertSpec& alert) override;
  [[nodiscard]] std::optional<std::string> chooseFolder(const FolderPanelSpec& panel) override;
  [[nodiscard]] std::unique_ptr<StatusItem> createStatusItem() override;
  [[nodiscard]] std::unique_ptr<WebWindow> createWebWindow(const WebWindowSpec& shape,
                                                           WebWindowDelegate& delegate) override;
  void setPasteboardText(const std::string& text) override;
  bool openURL(const std::string& url) override;
  void revealFile(const std::string& path) override;

 private:
  ConsoleLoop& loop_;
  std::ostream& out_;
};

}  // namespace kestrova::console
