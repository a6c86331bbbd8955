// Menu actions exported as application actions, so menus, accelerators and D-Bus reach them alike.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "app/platform/main_loop.h"
#include "app/platform/menu.h"
#include "app/platform/ui.h"

namespace kestrova::gtk {

// The controller's actions are named after their selectors ("openDashboard", "quit"); each one
// appears the first time a menu carrying it is rendered and then stays, so it can be triggered
// (gapplication action, org.gtk.Actions over D-Bus) whatever the menu shows at that moment.
// They reach the controller through the main loop as delayed tasks, so one triggered while a
// modal alert is open waits for it to close, as a menu command must on the Mac; the controller
// is never re-entered from under its own alert.
class AppActions {
 public:
  AppActions(GActionMap* map, MainLoop& loop) : map_(map), loop_(loop) {}
  AppActions(const AppActions&) = delete;
  AppActions& operator=(const AppActions&) = delete;

  // Where controller actions go; null while the event loop is not running (they are ignored).
  void setHandler(AppHandler* handler) { handler_ = handler; }

  // Exports every controller action the menu (and its submenus) carries.
  void exportControllerActions(const Menu& menu);
  // The status menu now shown: of the controller's actions, only those of its enabled items can
  // be triggered (from anywhere, D-Bus included); the others do nothing until a menu shows them.
  void enableOnlyShown(const Menu& menu);
  // An action of the front end's own (standard editing and window commands, state queries).
  void add(const std::string& name, std::function<void()> run);
  // An action taking one string argument.
  void addWithText(const std::string& name, std::function<void(const std::string&)> run);

 private:
  static void onActivate(GSimpleAction* action, GVariant* parameter, gpointer self);
  void addAction(const std::string& name, const GVariantType* parameterType);

  GActionMap* map_;
  MainLoop& loop_;
  AppHandler* handler_ = nullptr;
  std::map<std::string, std::function<void(GVariant*)>, std::less<>> runs_;
  std::set<std::string, std::less<>> controllerActions_;
  std::set<std::string, std::less<>> shown_;
};

}  // namespace kestrova::gtk
