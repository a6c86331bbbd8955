// Menus described as values, rendered as GTK menu widgets whose items activate application actions.
#pragma once

#include <gtk/gtk.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "app/platform/menu.h"

namespace kestrova::gtk {

// The application action an item triggers: its selector without the trailing colon
// ("copy:" -> "copy"), since action names cannot carry one. Empty for items without an action.
[[nodiscard]] std::string actionNameFor(const MenuItem& item);

// A key equivalent as a GTK accelerator with Control in place of Command ("Z" adds Shift):
// "<Control>q", "<Control><Shift>z". Absent when the item has no key.
[[nodiscard]] std::optional<std::string> acceleratorFor(const std::string& key);

// A new (floating) GtkMenu for the menu value. Choosing an item (by a click, or by the key
// equivalent it shows while the menu is open) activates the application action of that name on
// `app` once the menu has closed.
[[nodiscard]] GtkWidget* buildMenuWidget(const Menu& menu, GApplication* app);

// A menu bar whose top-level entries carry the value's submenus; an untitled submenu is shown
// under the application's name.
[[nodiscard]] GtkWidget* buildMenuBar(const Menu& mainMenu, GApplication* app,
                                      const std::string& applicationName);

// What a rendered menu shows, read back from its widgets: title, enabled, checked, separator,
// the shortcut as displayed, and the action it triggers.
[[nodiscard]] nlohmann::json describeMenuWidget(GtkMenuShell* menu);

}  // namespace kestrova::gtk
