#include "frontends/gtk/indicator_status_item.h"

#include "frontends/gtk/menu_widgets.h"
#include "frontends/gtk/symbol_icons.h"

namespace kestrova::gtk {
namespace {

constexpr int kDimmedIconSize = 22;
constexpr double kDimmedOpacity = 0.4;

bool themeHasIcon(const std::string& name) {
  return gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), name.c_str()) != FALSE;
}

}  // namespace

IndicatorStatusItem::IndicatorStatusItem(GApplication* app, AppActions& actions,
                                         const std::string& id)
    : app_(app),
      actions_(actions),
      indicator_(app_indicator_new(id.c_str(), "", APP_INDICATOR_CATEGORY_APPLICATION_STATUS)) {
  app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_ACTIVE);
  // An indicator is not shown without a menu; the core sets the real one right away.
  installMenu(Menu{});
}

IndicatorStatusItem::~IndicatorStatusItem() {
  if (pendingSource_ != 0) {
    g_source_remove(pendingSource_);
  }
  if (menu_) {
    gtk_widget_destroy(menu_.get());
  }
}

bool IndicatorStatusItem::setSymbol(const std::string& symbolName,
                                    const std::string& accessibility) {
  const auto icon = iconForSymbol(symbolName);
  if (!icon || !themeHasIcon(*icon)) {
    return false;
  }
  iconName_ = *icon;
  accessibility_ = accessibility;
  title_.clear();
  app_indicator_set_label(indicator_.get(), "", "");
  showIcon();
  return true;
}

void IndicatorStatusItem::setTitle(const std::string& title) {
  iconName_.clear();
  title_ = title;
  app_indicator_set_icon_full(indicator_.get(), "", title.c_str());
  app_indicator_set_label(indicator_.get(), title.c_str(), title.c_str());
}

void IndicatorStatusItem::setAppearsDisabled(bool disabled) {
  disabled_ = disabled;
  showIcon();
}

void IndicatorStatusItem::showIcon() {
  if (iconName_.empty()) {
    return;
  }
  std::optional<std::string> dimmed = disabled_ ? dimmedIconFile(iconName_) : std::nullopt;
  const std::string& shown = dimmed ? *dimmed : iconName_;
  app_indicator_set_icon_full(indicator_.get(), shown.c_str(), accessibility_.c_str());
}

void IndicatorStatusItem::setMenu(const Menu& menu) {
  actions_.exportControllerActions(menu);
  if (menu_ && gtk_widget_get_visible(menu_.get()) != FALSE) {
    pending_ = menu;
    return;
  }
  installMenu(menu);
}

void IndicatorStatusItem::installMenu(const Menu& menu) {
  pending_.reset();
  actions_.enableOnlyShown(menu);
  GObjectPtr<GtkWidget> fresh = adoptFloating(buildMenuWidget(menu, app_));
  connectSignal(fresh.get(), "hide", &IndicatorStatusItem::onMenuHidden, this);
  app_indicator_set_menu(indicator_.get(), GTK_MENU(fresh.get()));
  if (menu_) {
    // A menu is held by its own popup window as well: only destroying it frees it.
    gtk_widget_destroy(menu_.get());
  }
  menu_ = std::move(fresh);
}

void IndicatorStatusItem::onMenuHidden(GtkWidget* /*menu*/, gpointer self) {
  auto* item = static_cast<IndicatorStatusItem*>(self);
  if (!item->pending_ || item->pendingSource_ != 0) {
    return;
  }
  // Not from inside the hide handler of the very menu that is about to be destroyed.
  item->pendingSource_ = g_idle_add(&IndicatorStatusItem::installPending, item);
}

gboolean IndicatorStatusItem::installPending(gpointer self) {
  auto* item = static_cast<IndicatorStatusItem*>(self);
  item->pendingSource_ = 0;
  if (item->pending_) {
    const Menu menu = *item->pending_;
    item->installMenu(menu);
  }
  return G_SOURCE_REMOVE;
}

nlohmann::json IndicatorStatusItem::describe() const {
  const char* icon = app_indicator_get_icon(indicator_.get());
  const char* label = app_indicator_get_label(indicator_.get());
  const char* title = app_indicator_get_title(indicator_.get());
  const char* iconDesc = app_indicator_get_icon_desc(indicator_.get());
  return {
      {"icon", icon != nullptr ? icon : ""},
      {"iconDescription", iconDesc != nullptr ? iconDesc : ""},
      {"title", title != nullptr ? title : ""},
      {"label", label != nullptr ? label : ""},
      {"appearsDisabled", disabled_},
      {"menu", describeMenuWidget(GTK_MENU_SHELL(menu_.get()))},
      {"rebuildPending", pending_.has_value()},
  };
}

std::optional<std::string> dimmedIconFile(const std::string& iconName) {
  ErrorHolder error;
  GObjectPtr<GdkPixbuf> icon(gtk_icon_theme_load_icon(gtk_icon_theme_get_default(),
                                                      iconName.c_str(), kDimmedIconSize,
                                                      GTK_ICON_LOOKUP_FORCE_SIZE, error.out()));
  if (!icon) {
    return std::nullopt;
  }
  GObjectPtr<GdkPixbuf> rgba(gdk_pixbuf_add_alpha(icon.get(), FALSE, 0, 0, 0));
  const int width = gdk_pixbuf_get_width(rgba.get());
  const int height = gdk_pixbuf_get_height(rgba.get());
  const int stride = gdk_pixbuf_get_rowstride(rgba.get());
  guchar* pixels = gdk_pixbuf_get_pixels(rgba.get());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      guchar& alpha = pixels[y * stride + x * 4 + 3];
      alpha = static_cast<guchar>(alpha * kDimmedOpacity);
    }
  }
  gchar* folder = g_build_filename(g_get_user_cache_dir(), "kestrova", nullptr);
  g_mkdir_with_parents(folder, 0700);
  const std::string path = std::string(folder) + "/" + iconName + "-dimmed.png";
  g_free(folder);
  if (gdk_pixbuf_save(rgba.get(), path.c_str(), "png", nullptr, nullptr) == FALSE) {
    return std::nullopt;
  }
  return path;
}

}  // namespace kestrova::gtk
