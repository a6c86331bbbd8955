// The controller's setup and support commands: media folder, password, diagnostics, logs, help.
#include "app/dashboard/dashboard_password.h"
#include "app/dashboard/dashboard_window.h"
#include "app/dashboard/media_folder.h"
#include "app/shell/app_delegate.h"
#include "app/support/diagnostics.h"
#include "app/support/logs_and_help.h"

namespace kestrova {

void AppDelegate::chooseMediaFolder() {
  // A reply that finds the controller gone (the program is ending) is not told.
  MediaFolder::choose(whileAlive([](AppDelegate& self, const MediaFolder::Reply& reply) {
    MediaFolder::tell(reply, [&self] { self.dashboard().show(); });
  }));
}

void AppDelegate::showPassword() { DashboardPassword::show(); }

void AppDelegate::showLogs() { Support::showLogs(); }

void AppDelegate::diagnostics() { Diagnostics::save(status()); }

void AppDelegate::help() { Support::openHelp(); }

}  // namespace kestrova
