// The status item as an AppIndicator: a symbolic icon (or a text label) and the core's menu.
#pragma once

#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "app/platform/ui.h"
#include "frontends/gtk/app_actions.h"
#include "frontends/gtk/gobject_ptr.h"

namespace kestrova::gtk {

// No title is set on the indicator: hosts show it as a tooltip, and the item has none (its
// state is told by the icon's description).
class IndicatorStatusItem : public StatusItem {
 public:
  // `app` receives the actions of the menu's items, exported through `actions`; both outlive
  // the item.
  IndicatorStatusItem(GApplication* app, AppActions& actions, const std::string& id);
  ~IndicatorStatusItem() override;
  IndicatorStatusItem(const IndicatorStatusItem&) = delete;
  IndicatorStatusItem& operator=(const IndicatorStatusItem&) = delete;

  bool setSymbol(const std::string& symbolName, const std::string& accessibility) override;
  void setTitle(const std::string& title) override;
  void setMenu(const Menu& menu) override;
  void setAppearsDisabled(bool disabled) override;

  // What the item shows right now, read back from the indicator and the menu's widgets.
  [[nodiscard]] nlohmann::json describe() const;

 private:
  static void onMenuHidden(GtkWidget* menu, gpointer self);
  static gboolean installPending(gpointer self);
  void installMenu(const Menu& menu);
  void showIcon();

  GApplication* app_;
  AppActions& actions_;
  GObjectPtr<AppIndicator> indicator_;
  GObjectPtr<GtkWidget> menu_;
  // A rebuild that arrived while the menu was open; applied when it closes, so the poll every
  // few seconds does not snatch the menu from under the user's pointer.
  std::optional<Menu> pending_;
  guint pendingSource_ = 0;
  std::string iconName_;
  std::string accessibility_;
  std::string title_;
  bool disabled_ = false;
};

// A half-transparent copy of a theme icon written as a PNG file, for the look of a disabled
// item (an indicator cannot dim its icon itself). The file's path, or absent.
[[nodiscard]] std::optional<std::string> dimmedIconFile(const std::string& iconName);

}  // namespace kestrova::gtk
