// The Linux program entry: installs the GTK platform and runs the portable application.
#include <glib.h>

#include "app/engine/constants.h"
#include "app/platform/curl_http.h"
#include "app/platform/platform.h"
#include "app/platform/posix_command_runner.h"
#include "app/platform/posix_host.h"
#include "app/platform/standin_tools.h"
#include "app/shell/program.h"
#include "frontends/gtk/glib_main_loop.h"
#include "frontends/gtk/gtk_ui.h"

int main() {
  using namespace kestrova;
  g_set_application_name(kAppName);
  PosixHost host;
  const std::string resources =
      host.resourcesPath().value_or(host.bundlePath() + "/Contents/Resources");
  gtk::GlibMainLoop loop;
  CurlHttp http;
  gtk::GtkUi ui(loop, kBundleID);
  PosixCommandRunner runner;
  Platform installed(loop, http, ui, host, runner, standinToolsIn(resources + "/standins"));
  ScopedPlatform scope(installed);
  // The teardown order, which the declarations above and these lines make: the controller with
  // its timers, status item and window goes when runApplication() returns; then HTTP ends its
  // transfers, whose completions still reach the installed platform (and find no controller);
  // then the platform is uninstalled, the Ui goes, and the loop last.
  const int status = runApplication();
  http.shutdown();
  return status;
}
