// The application delegate: AppKit's questions and notices, forwarded to the core's AppHandler.
#pragma once

#import <AppKit/AppKit.h>

#include <functional>

#include "app/platform/ui.h"

@interface KSAppDelegate : NSObject <NSApplicationDelegate>
// Where the questions go; null outside the event loop, when the answers are AppKit's defaults.
@property(nonatomic) kestrova::AppHandler* handler;
// Runs once AppKit has decided to end the process, before it does.
- (void)setWillTerminate:(std::function<void()>)willTerminate;
// Runs when a termination begins (a logout, a restart, Quit), before AppKit decides on it.
- (void)setTerminationBegins:(std::function<void()>)terminationBegins;
@end
