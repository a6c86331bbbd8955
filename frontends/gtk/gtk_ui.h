// The user interface on GTK 3: the application object, alerts, status item, web windows.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/main_loop.h"
#include "app/platform/ui.h"
#include "frontends/gtk/app_actions.h"
#include "frontends/gtk/gobject_ptr.h"

namespace kestrova::gtk {

class IndicatorStatusItem;
class GtkWebWindow;

// One GtkApplication per process: a second launch finds the first over D-Bus and becomes the
// platform's reopen question there. The application holds itself, so it keeps running with no
// window open, like a menu-bar application.
class GtkUi final : public Ui {
 public:
  GtkUi(MainLoop& loop, const std::string& applicationId);
  ~GtkUi() override;
  GtkUi(const GtkUi&) = delete;
  GtkUi& operator=(const GtkUi&) = delete;

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

  // Removes a status item or web window from what the state query reports; called by their
  // owning handles.
  void forget(const void* item);

 private:
  static void onStartup(GApplication* app, gpointer self);
  static void onActivate(GApplication* app, gpointer self);
  static void onWindowHidden(GtkWidget* window, gpointer self);
  void exportStandardActions();
  void runStandardAction(const std::string& name);
  void editInFocusedWindow(const std::string& name);
  void showAbout();
  void writeState(const std::string& path) const;
  static void chooseInOpenFolderChooser(const std::string& folder);
  [[nodiscard]] GtkWindow* focusedWindow() const;
  [[nodiscard]] bool anyWindowVisible() const;

  MainLoop& loop_;
  GObjectPtr<GtkApplication> app_;
  AppActions actions_;
  AppHandler* handler_ = nullptr;
  bool launched_ = false;
  std::optional<Menu> mainMenu_;
  std::vector<IndicatorStatusItem*> statusItems_;
  std::vector<GtkWebWindow*> webWindows_;
  std::vector<AlertSpec> openAlerts_;
  bool terminating_ = false;
};

}  // namespace kestrova::gtk
