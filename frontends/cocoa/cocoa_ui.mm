#include "frontends/cocoa/cocoa_ui.h"

#include <utility>

#include "frontends/cocoa/alerts.h"
#include "frontends/cocoa/status_item.h"
#include "frontends/cocoa/web_window.h"
#include "frontends/cocoa/workspace.h"

namespace kestrova::cocoa {

CocoaUi::CocoaUi(MainLoop& loop)
    : loop_(loop), delegate_([[KSAppDelegate alloc] init]), router_([[KSMenuRouter alloc] init]) {
  [NSApplication sharedApplication];
  NSApp.delegate = delegate_;
  [delegate_ setTerminationBegins:[this] { dismissModalsForTermination(); }];
}

CocoaUi::~CocoaUi() {
  [delegate_ setTerminationBegins:nullptr];
  if (NSApp.delegate == delegate_) {
    NSApp.delegate = nil;
  }
}

void CocoaUi::setRegularActivationPolicy() {
  [NSApp setActivationPolicy:NSApplicationActivationPolicyRegular];
}

// The Window submenu also becomes the windows menu, to which AppKit adds the open windows.
void CocoaUi::setMainMenu(const Menu& mainMenu) {
  NSMenu* windowsMenu = nil;
  NSApp.mainMenu = buildMenu(mainMenu, router_, &windowsMenu);
  if (windowsMenu != nil) {
    NSApp.windowsMenu = windowsMenu;
  }
}

int CocoaUi::run(AppHandler& handler) {
  delegate_.handler = &handler;
  router_.handler = &handler;
  [NSApp run];
  router_.handler = nullptr;
  delegate_.handler = nullptr;
  return 0;
}

// From macOS 14 activation is a request the system may decline; before, it was a command.
void CocoaUi::activate() {
  if (@available(macOS 14.0, *)) {
    [NSApp activate];
  } else {
    [NSApp activateIgnoringOtherApps:YES];
  }
}

void CocoaUi::terminate() {
  dismissModalsForTermination();
  [NSApp terminate:nil];
}

void CocoaUi::dismissModalsForTermination() {
  terminating_ = true;
  if (NSApp.modalWindow != nil) {
    [NSApp abortModal];
  }
}

// A status-item click does not activate the app, so an alert chosen from its menu would open
// behind other windows: the app is activated first.
AlertAnswer CocoaUi::runAlert(const AlertSpec& alert) {
  if (terminating_) {
    return {dismissedAlertResponse(alert.buttons), alert.field ? alert.field->text : std::string()};
  }
  activate();
  return runModalAlert(alert, loop_);
}

std::optional<std::string> CocoaUi::chooseFolder(const FolderPanelSpec& panel) {
  if (terminating_) {
    return std::nullopt;
  }
  activate();
  return runFolderPanel(panel, loop_);
}

std::unique_ptr<StatusItem> CocoaUi::createStatusItem() {
  return std::make_unique<CocoaStatusItem>(router_);
}

std::unique_ptr<WebWindow> CocoaUi::createWebWindow(const WebWindowSpec& shape,
                                                    WebWindowDelegate& delegate) {
  return std::make_unique<CocoaWebWindow>(shape, delegate);
}

void CocoaUi::setPasteboardText(const std::string& text) { putTextOnPasteboard(text); }

bool CocoaUi::openURL(const std::string& url) { return openInWorkspace(url); }

void CocoaUi::revealFile(const std::string& path) { revealInFinder(path); }

void CocoaUi::setWillTerminate(std::function<void()> teardown) {
  [delegate_ setWillTerminate:std::move(teardown)];
}

}  // namespace kestrova::cocoa
