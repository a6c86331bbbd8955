// A web window: a WKWebView filling an NSWindow, reporting each load's outcome once.
#pragma once

#import <AppKit/AppKit.h>

#include "app/platform/ui.h"

@class KSWebWindowController;

namespace kestrova::cocoa {

// Titled, closable, miniaturizable and resizable; centred, then moved to the frame saved under
// the autosave name by an earlier run. Closing only orders it out: the page is kept.
class CocoaWebWindow final : public WebWindow {
 public:
  // The delegate outlives the window.
  CocoaWebWindow(const WebWindowSpec& shape, WebWindowDelegate& delegate);
  ~CocoaWebWindow() override;
  CocoaWebWindow(const CocoaWebWindow&) = delete;
  CocoaWebWindow& operator=(const CocoaWebWindow&) = delete;

  void load(const std::string& url, double timeoutSeconds) override;
  void bringToFront() override;
  [[nodiscard]] bool isVisible() const override;

 private:
  KSWebWindowController* controller_;
};

}  // namespace kestrova::cocoa
