// The Mac program entry: installs the Cocoa platform and runs the portable application.
#import <Foundation/Foundation.h>

#include "app/platform/platform.h"
#include "app/platform/posix_command_runner.h"
#include "app/platform/tools.h"
#include "app/shell/program.h"
#include "frontends/cocoa/cocoa_host.h"
#include "frontends/cocoa/cocoa_http.h"
#include "frontends/cocoa/cocoa_main_loop.h"
#include "frontends/cocoa/cocoa_ui.h"

int main() {
  using namespace kestrova;
  @autoreleasepool {
    cocoa::CocoaHost host;
    cocoa::CocoaMainLoop loop;
    cocoa::CocoaHttp http;
    cocoa::CocoaUi ui(loop);
    PosixCommandRunner runner;
    // The system's own tools at their macOS paths.
    Platform installed(loop, http, ui, host, runner, Tools{});
    ScopedPlatform scope(installed);

    // Teardown, in order: nothing more reaches the controller (its timers and posted tasks are
    // dropped), then HTTP ends its transfers while the platform is still installed, so their
    // completions find it; the Ui and the loop go last. A termination runs this from
    // applicationWillTerminate:, as AppKit ends the process without returning from the event
    // loop; an event loop that was stopped instead returns, and it runs here.
    const auto tearDown = [&loop, &http] {
      loop.shutDown();
      http.shutDown();
    };
    ui.setWillTerminate(tearDown);
    const int status = runApplication();
    tearDown();
    return status;
  }
}
