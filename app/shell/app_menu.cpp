#include "app/shell/app_menu.h"

#include <string>

#include "app/engine/constants.h"

namespace kestrova {
namespace {

MenuItem standard(std::string title, std::string action, std::string key = {}) {
  return MenuItem::makeCommand(std::move(title), std::move(action), std::move(key),
                               MenuTarget::responderChain);
}

// A top-level item has no title of its own; its submenu carries one (or none, for the
// application menu, which the platform names after the application).
MenuItem holding(Menu submenu) {
  MenuItem item;
  item.submenu.push_back(std::move(submenu));
  return item;
}

}  // namespace

Menu buildAppMenu() {
  const std::string name = kAppName;
  Menu application;
  application.items = {
      standard("About " + name, "orderFrontStandardAboutPanel:"),
      MenuItem::makeSeparator(),
      standard("Hide " + name, "hide:", "h"),
      standard("Quit " + name, "terminate:", "q"),
  };
  Menu edit;
  edit.title = "Edit";
  edit.items = {
      standard("Undo", "undo:", "z"),   standard("Redo", "redo:", "Z"),
      standard("Cut", "cut:", "x"),     standard("Copy", "copy:", "c"),
      standard("Paste", "paste:", "v"), standard("Select All", "selectAll:", "a"),
  };
  Menu window;
  window.title = "Window";
  window.items = {
      standard("Close", "performClose:", "w"),
      standard("Minimise", "performMiniaturize:", "m"),
  };
  window.isWindowsMenu = true;

  Menu main;
  main.items = {holding(std::move(application)), holding(std::move(edit)),
                holding(std::move(window))};
  return main;
}

}  // namespace kestrova
