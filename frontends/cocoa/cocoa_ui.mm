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
}

CocoaUi::~CocoaUi() {
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

void CocoaUi::activate() { [NSApp activateIgnoringOtherApps:YES]; }

void CocoaUi::terminate() { [NSApp terminate:nil]; }

AlertAnswer CocoaUi::runAlert(const AlertSpec& alert) { return runModalAlert(alert, loop_); }

std::optional<std::string> CocoaUi::chooseFolder(const FolderPanelSpec& panel) {
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
