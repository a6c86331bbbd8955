// Menus described as values: the core builds them, front ends render them.
#pragma once

#include <string>
#include <utility>
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

  // Defined below Menu: a vector of Menu needs Menu complete wherever it is built or compared.
  [[nodiscard]] static MenuItem makeSeparator();
  [[nodiscard]] static MenuItem makeCommand(std::string title, std::string action,
                                            std::string key = {},
                                            MenuTarget target = MenuTarget::controller);
  bool operator==(const MenuItem&) const;
};

struct Menu {
  std::string title;
  std::vector<MenuItem> items;
  bool isWindowsMenu = false;  // the platform appends its list of open windows to it
  bool operator==(const Menu&) const = default;
};

inline MenuItem MenuItem::makeCommand(std::string title, std::string action, std::string key,
                                      MenuTarget target) {
  MenuItem item;
  item.title = std::move(title);
  item.action = std::move(action);
  item.key = std::move(key);
  item.target = target;
  return item;
}

inline MenuItem MenuItem::makeSeparator() {
  MenuItem item;
  item.separator = true;
  return item;
}

// Spelled out: clang cannot default a comparison that recurses through Menu.
inline bool MenuItem::operator==(const MenuItem& other) const {
  return title == other.title && action == other.action && key == other.key &&
         enabled == other.enabled && checked == other.checked && separator == other.separator &&
         target == other.target && submenu == other.submenu;
}

}  // namespace kestrova
