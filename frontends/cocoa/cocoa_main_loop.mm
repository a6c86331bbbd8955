#include "frontends/cocoa/cocoa_main_loop.h"

#import <Foundation/Foundation.h>

#include <algorithm>
#include <utility>

namespace kestrova::cocoa::detail {

// One delayed task or repeating timer, shared by its NSTimer's target and its handle. Its
// fields other than `open` are touched on the main thread only.
struct Scheduled {
  Task task;
  bool repeating = false;
  bool cancelled = false;
  NSTimer* __weak timer = nil;
  std::shared_ptr<std::atomic<bool>> open;
};

}  // namespace kestrova::cocoa::detail

using kestrova::cocoa::detail::Scheduled;

// An NSTimer's target; the timer keeps it alive until the timer is invalidated.
@interface KSLoopTimerTarget : NSObject
- (instancetype)initWithEntry:(std::shared_ptr<Scheduled>)entry;
- (void)fire:(NSTimer*)timer;
@end

@implementation KSLoopTimerTarget {
  std::shared_ptr<Scheduled> _entry;
}

- (instancetype)initWithEntry:(std::shared_ptr<Scheduled>)entry {
  self = [super init];
  if (self != nil) {
    _entry = std::move(entry);
  }
  return self;
}

- (void)fire:(NSTimer*)timer {
  const std::shared_ptr<Scheduled> entry = _entry;
  if (entry->cancelled || !entry->open->load()) {
    [timer invalidate];
    return;
  }
  // A copy: the task may cancel or replace its own timer while it runs.
  const kestrova::Task task = entry->task;
  task();
}

@end

namespace kestrova::cocoa {
namespace {

// NSRunLoop is not thread-safe: timers are added and invalidated on the main thread only.
void onMainThread(Task task) {
  if ([NSThread isMainThread]) {
    task();
    return;
  }
  [[NSOperationQueue mainQueue] addOperationWithBlock:^{
    task();
  }];
}

void cancelEntry(const std::shared_ptr<Scheduled>& entry) {
  onMainThread([entry] {
    entry->cancelled = true;
    [entry->timer invalidate];
  });
}

class CocoaTimer final : public Timer {
 public:
  explicit CocoaTimer(std::shared_ptr<Scheduled> entry) : entry_(std::move(entry)) {}
  ~CocoaTimer() override { cancel(); }
  CocoaTimer(const CocoaTimer&) = delete;
  CocoaTimer& operator=(const CocoaTimer&) = delete;

  void cancel() override { cancelEntry(entry_); }

 private:
  std::shared_ptr<Scheduled> entry_;
};

std::shared_ptr<Scheduled> schedule(double seconds, Task task, bool repeating,
                                    std::shared_ptr<std::atomic<bool>> open) {
  auto entry = std::make_shared<Scheduled>();
  entry->task = std::move(task);
  entry->repeating = repeating;
  entry->open = std::move(open);
  onMainThread([entry, seconds] {
    if (entry->cancelled) {
      return;
    }
    KSLoopTimerTarget* target = [[KSLoopTimerTarget alloc] initWithEntry:entry];
    NSTimer* timer = [NSTimer timerWithTimeInterval:std::max(0.0, seconds)
                                             target:target
                                           selector:@selector(fire:)
                                           userInfo:nil
                                            repeats:entry->repeating ? YES : NO];
    entry->timer = timer;
    [[NSRunLoop mainRunLoop] addTimer:timer forMode:NSDefaultRunLoopMode];
  });
  return entry;
}

}  // namespace

void CocoaMainLoop::post(Task task) {
  const std::shared_ptr<std::atomic<bool>> open = open_;
  [[NSOperationQueue mainQueue] addOperationWithBlock:^{
    if (open->load()) {
      task();
    }
  }];
}

void CocoaMainLoop::postAfter(double seconds, Task task) {
  (void)schedule(seconds, std::move(task), false, open_);
}

std::unique_ptr<Timer> CocoaMainLoop::repeat(double seconds, Task tick) {
  return std::make_unique<CocoaTimer>(schedule(seconds, std::move(tick), true, open_));
}

}  // namespace kestrova::cocoa
