// Running the main run loop from a test, which never runs the application's own event loop.
#pragma once

#import <Foundation/Foundation.h>

namespace kestrova::testing {

// One pass of the main run loop in `mode`: it fires the timers due in that mode.
inline void passIn(NSRunLoopMode mode) { (void)[[NSRunLoop mainRunLoop] limitDateForMode:mode]; }

// Runs the main queue up to a marker queued now: whatever was queued before it has then run.
inline void drainMainQueue() {
  __block bool reached = false;
  [[NSOperationQueue mainQueue] addOperationWithBlock:^{
    reached = true;
  }];
  while (!reached) passIn(NSDefaultRunLoopMode);
}

}  // namespace kestrova::testing
