#include "frontends/cocoa/app_delegate.h"

#include <utility>

@implementation KSAppDelegate {
  std::function<void()> _willTerminate;
  std::function<void()> _terminationBegins;
}

- (void)setWillTerminate:(std::function<void()>)willTerminate {
  _willTerminate = std::move(willTerminate);
}

- (void)setTerminationBegins:(std::function<void()>)terminationBegins {
  _terminationBegins = std::move(terminationBegins);
}

- (NSApplicationTerminateReply)applicationShouldTerminate:(NSApplication*)sender {
  if (_terminationBegins) {
    _terminationBegins();
  }
  return NSTerminateNow;
}

// The program keeps no window state of its own to restore; answering spares the launch warning
// recent macOS gives a delegate that leaves the question open.
- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)app {
  return YES;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  if (self.handler != nullptr) {
    self.handler->applicationDidFinishLaunching();
  }
}

- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag {
  if (self.handler == nullptr) {
    return YES;
  }
  return self.handler->applicationShouldHandleReopen(flag == YES) ? YES : NO;
}

- (BOOL)applicationShouldTerminateAfterLastWindowClosed:(NSApplication*)sender {
  return self.handler != nullptr && self.handler->applicationShouldTerminateAfterLastWindowClosed()
             ? YES
             : NO;
}

// AppKit calls exit() right after this returns, so the program's orderly teardown runs here
// rather than after the event loop, which never returns from a termination.
- (void)applicationWillTerminate:(NSNotification*)notification {
  self.handler = nullptr;
  if (_willTerminate) {
    const std::function<void()> teardown = std::exchange(_willTerminate, nullptr);
    teardown();
  }
}

@end
