// The modal alert and the folder chooser as GTK dialogs, holding the main loop's timers meanwhile.
#pragma once

#include <gtk/gtk.h>

#include <optional>
#include <string>
#include <vector>

#include "app/platform/main_loop.h"
#include "app/platform/ui.h"

namespace kestrova::gtk {

// Runs the alert modally over `parent` (may be null) and returns 1000 + the button's index and
// the field's text.
[[nodiscard]] AlertAnswer runAlertDialog(const AlertSpec& alert, GtkWindow* parent, MainLoop& loop);

// Object data on a folder chooser naming the folder chosen for it from outside (the state-query
// actions' companion); it takes the place of what the chooser's widgets hold.
inline constexpr const char* kChosenFolderKey = "kestrova-chosen-folder";

// A one-folder chooser titled and labelled as the panel says; the chosen path or absent.
[[nodiscard]] std::optional<std::string> runFolderChooser(const FolderPanelSpec& panel,
                                                          GtkWindow* parent, MainLoop& loop);

}  // namespace kestrova::gtk
