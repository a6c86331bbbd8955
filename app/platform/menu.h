// Menus described as values: the core builds them, front ends render them.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

struct Menu;

// Where a chosen item's action goes: to the controller by name, or along the front end's own
// responder chain (standard editing and window commands such as "copy:" or "performClose:").
enum class MenuTarget { controller, responderChain };

struct MenuItem {
  std::string title;
  std::string action;  // selector name; empty for information lines and submenu holders
  std::string key;     // key equivalent with the Command key; an upper-case letter adds Shift
  bool enabled = true;
  bool checked = false;
  bool separator = false;
  MenuTarget target = MenuTarget::controller;
  std::vector<Menu> submenu;  // zero or one element

  [[nodiscard]] static MenuItem makeSeparator() {
    MenuItem item;
    item.separator = true;
    return item;
  }
  bool operator==(const MenuItem&) const = default;
};

struct Menu {
  std::string title;
  std::vector<MenuItem> items;
  bool isWindowsMenu = false;  // the platform appends its list of open windows to it
  bool operator==(const Menu&) const = default;
};

}  // namespace kestrova
