#include "frontends/gtk/menu_widgets.h"

#include <cctype>
#include <memory>

#include "frontends/gtk/gobject_ptr.h"

namespace kestrova::gtk {
namespace {

constexpr const char* kActionKey = "kestrova-action";

struct PendingActivation {
  GObjectPtr<GApplication> app;
  std::string action;
};

// Runs after the menu has gone away, so an action that opens a modal dialog does not start
// while the menu still holds the pointer grab.
gboolean activateLater(gpointer data) {
  std::unique_ptr<PendingActivation> pending(static_cast<PendingActivation*>(data));
  GActionGroup* group = G_ACTION_GROUP(pending->app.get());
  if (g_action_group_has_action(group, pending->action.c_str())) {
    g_action_group_activate_action(group, pending->action.c_str(), nullptr);
  }
  return G_SOURCE_REMOVE;
}

void onItemActivated(GtkMenuItem* item, gpointer app) {
  const auto* action = static_cast<const char*>(g_object_get_data(G_OBJECT(item), kActionKey));
  if (action == nullptr) {
    return;
  }
  auto pending = std::make_unique<PendingActivation>(
      PendingActivation{GObjectPtr<GApplication>(G_APPLICATION(g_object_ref(app))), action});
  g_idle_add(&activateLater, pending.release());
}

// The key equivalent an item shows, as keyval and modifiers; false when it shows none.
bool shownAccelerator(GtkWidget* item, guint& keyval, GdkModifierType& modifiers) {
  GtkWidget* child = GTK_IS_BIN(item) ? gtk_bin_get_child(GTK_BIN(item)) : nullptr;
  if (child == nullptr || !GTK_IS_ACCEL_LABEL(child)) {
    return false;
  }
  gtk_accel_label_get_accel(GTK_ACCEL_LABEL(child), &keyval, &modifiers);
  return keyval != 0;
}

// A key equivalent shown beside an enabled item chooses it while the menu is open, as on the
// Mac; a GTK menu only displays it. The menu closes and the item's action runs as when clicked.
gboolean onMenuKeyPress(GtkWidget* menu, GdkEventKey* event, gpointer /*unused*/) {
  const guint pressed = gdk_keyval_to_lower(event->keyval);
  const auto held =
      static_cast<GdkModifierType>(event->state & gtk_accelerator_get_default_mod_mask());
  GtkWidget* chosen = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
  for (GList* node = children; node != nullptr && chosen == nullptr; node = node->next) {
    GtkWidget* item = GTK_WIDGET(node->data);
    guint keyval = 0;
    GdkModifierType modifiers{};
    if (gtk_widget_is_sensitive(item) != FALSE && shownAccelerator(item, keyval, modifiers) &&
        gdk_keyval_to_lower(keyval) == pressed && modifiers == held) {
      chosen = item;
    }
  }
  g_list_free(children);
  if (chosen == nullptr) {
    return FALSE;
  }
  gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), chosen, TRUE);
  return TRUE;
}

void showAccelerator(GtkWidget* item, const std::string& key) {
  const auto accelerator = acceleratorFor(key);
  GtkWidget* child = gtk_bin_get_child(GTK_BIN(item));
  if (!accelerator || child == nullptr || !GTK_IS_ACCEL_LABEL(child)) {
    return;
  }
  guint keyval = 0;
  GdkModifierType modifiers{};
  gtk_accelerator_parse(accelerator->c_str(), &keyval, &modifiers);
  gtk_accel_label_set_accel(GTK_ACCEL_LABEL(child), keyval, modifiers);
}

GtkWidget* buildItem(const MenuItem& item, GApplication* app) {
  if (item.separator) {
    return gtk_separator_menu_item_new();
  }
  GtkWidget* widget = nullptr;
  if (item.checked) {
    widget = gtk_check_menu_item_new_with_label(item.title.c_str());
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), TRUE);
  } else {
    widget = gtk_menu_item_new_with_label(item.title.c_str());
  }
  gtk_widget_set_sensitive(widget, item.enabled ? TRUE : FALSE);
  showAccelerator(widget, item.key);
  if (!item.submenu.empty()) {
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), buildMenuWidget(item.submenu.front(), app));
  }
  const std::string action = actionNameFor(item);
  if (!action.empty()) {
    g_object_set_data_full(G_OBJECT(widget), kActionKey, g_strdup(action.c_str()), &g_free);
    connectSignal(widget, "activate", &onItemActivated, app);
  }
  return widget;
}

}  // namespace

std::string actionNameFor(const MenuItem& item) {
  std::string name = item.action;
  if (!name.empty() && name.back() == ':') {
    name.pop_back();
  }
  return name;
}

std::optional<std::string> acceleratorFor(const std::string& key) {
  if (key.size() != 1) {
    return std::nullopt;
  }
  const auto letter = static_cast<unsigned char>(key.front());
  std::string accelerator = "<Control>";
  if (std::isupper(letter) != 0) {
    accelerator += "<Shift>";
  }
  accelerator += static_cast<char>(std::tolower(letter));
  return accelerator;
}

GtkWidget* buildMenuWidget(const Menu& menu, GApplication* app) {
  GtkWidget* shell = gtk_menu_new();
  connectSignal(shell, "key-press-event", &onMenuKeyPress, nullptr);
  for (const MenuItem& item : menu.items) {
    gtk_menu_shell_append(GTK_MENU_SHELL(shell), buildItem(item, app));
  }
  gtk_widget_show_all(shell);
  return shell;
}

GtkWidget* buildMenuBar(const Menu& mainMenu, GApplication* app,
                        const std::string& applicationName) {
  GtkWidget* bar = gtk_menu_bar_new();
  for (const MenuItem& top : mainMenu.items) {
    if (top.submenu.empty()) {
      continue;
    }
    const Menu& submenu = top.submenu.front();
    const std::string& title = submenu.title.empty() ? applicationName : submenu.title;
    GtkWidget* entry = gtk_menu_item_new_with_label(title.c_str());
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(entry), buildMenuWidget(submenu, app));
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), entry);
  }
  gtk_widget_show_all(bar);
  return bar;
}

nlohmann::json describeMenuWidget(GtkMenuShell* menu) {
  nlohmann::json items = nlohmann::json::array();
  GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
  for (GList* node = children; node != nullptr; node = node->next) {
    GtkWidget* widget = GTK_WIDGET(node->data);
    nlohmann::json item;
    if (GTK_IS_SEPARATOR_MENU_ITEM(widget)) {
      item["separator"] = true;
      items.push_back(item);
      continue;
    }
    const char* label = gtk_menu_item_get_label(GTK_MENU_ITEM(widget));
    item["title"] = label != nullptr ? label : "";
    item["enabled"] = gtk_widget_get_sensitive(widget) != FALSE;
    item["checked"] = GTK_IS_CHECK_MENU_ITEM(widget) &&
                      gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(widget)) != FALSE;
    const auto* action = static_cast<const char*>(g_object_get_data(G_OBJECT(widget), kActionKey));
    item["action"] = action != nullptr ? action : "";
    guint keyval = 0;
    GdkModifierType modifiers{};
    if (shownAccelerator(widget, keyval, modifiers)) {
      gchar* shown = gtk_accelerator_get_label(keyval, modifiers);
      item["shortcut"] = shown;
      g_free(shown);
    }
    if (GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(widget)); sub != nullptr) {
      item["submenu"] = describeMenuWidget(GTK_MENU_SHELL(sub));
    }
    items.push_back(item);
  }
  g_list_free(children);
  return items;
}

}  // namespace kestrova::gtk
