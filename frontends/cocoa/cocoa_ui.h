// The user interface on AppKit: the application object, alerts, panels, status item, web windows.
#pragma once

#import <AppKit/AppKit.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/platform/main_loop.h"
#include "app/platform/ui.h"
#include "frontends/cocoa/app_delegate.h"
#include "frontends/cocoa/menus.h"

namespace kestrova::cocoa {

class CocoaUi : public Ui {
 public:
  explicit CocoaUi(MainLoop& loop);
  ~CocoaUi() override;
  CocoaUi(const CocoaUi&) = delete;
  CocoaUi& operator=(const CocoaUi&) = delete;

  void setRegularActivationPolicy() override;
  void setMainMenu(const Menu& mainMenu) override;
  int run(AppHandler& handler) override;
  void activate() override;
  void terminate() override;

  AlertAnswer runAlert(const AlertSpec& alert) override;
  [[nodiscard]] std::optional<std::string> chooseFolder(const FolderPanelSpec& panel) override;

  [[nodiscard]] std::unique_ptr<StatusItem> createStatusItem() override;
  [[nodiscard]] std::unique_ptr<WebWindow> createWebWindow(const WebWindowSpec& shape,
                                                           WebWindowDelegate& delegate) override;

  void setPasteboardText(const std::string& text) override;
  bool openURL(const std::string& url) override;
  void revealFile(const std::string& path) override;

  // What runs when AppKit terminates the application (the core's terminate(), the main menu's
  // Quit, logging out): AppKit then ends the process without returning from run().
  void setWillTerminate(std::function<void()> teardown);

  // A termination has begun, ours or AppKit's (logout, restart): a modal alert or panel runs a
  // loop of its own and nobody may be at the station to answer it, so the open one is abandoned
  // with its dismissed answer and none opens after this, as in the GTK program.
  void dismissModalsForTermination();

 private:
  MainLoop& loop_;
  bool terminating_ = false;
  KSAppDelegate* delegate_;  // NSApplication holds its delegate weakly
  KSMenuRouter* router_;     // menu items hold their target weakly
};

}  // namespace kestrova::cocoa
