// The modal alert: NSAlert with an optional plain or secure text field.
#pragma once

#include "app/platform/main_loop.h"
#include "app/platform/ui.h"

namespace kestrova::cocoa {

// Runs the alert application-modally. The answer is AppKit's own numbering (1000 for the first
// button, NSAlertFirstButtonReturn), or the dismissed answer when the alert was abandoned
// (NSApplication's abortModal, at termination), and the field's text. The alert never holds up
// the application's termination.
[[nodiscard]] AlertAnswer runModalAlert(const AlertSpec& alert, MainLoop& loop);

}  // namespace kestrova::cocoa
