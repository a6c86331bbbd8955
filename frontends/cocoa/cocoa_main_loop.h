// The main loop on the main run loop and the main operation queue.
#pragma once

#include <atomic>
#include <memory>

#include "app/platform/main_loop.h"

namespace kestrova::cocoa {

// Delayed tasks and timer ticks are NSTimers in the main run loop's default mode, so they wait
// while a modal alert, a panel or an open menu runs the loop in another mode, and a repeating
// timer that missed several ticks fires once afterwards. Posts go through the main operation
// queue, which the main thread serves in every mode: they are how replies from the URL-loading
// queue reach the main thread, and they are not held.
class CocoaMainLoop final : public MainLoop {
 public:
  CocoaMainLoop() = default;
  CocoaMainLoop(const CocoaMainLoop&) = delete;
  CocoaMainLoop& operator=(const CocoaMainLoop&) = delete;

  void post(Task task) override;
  void postAfter(double seconds, Task task) override;
  [[nodiscard]] std::unique_ptr<Timer> repeat(double seconds, Task tick) override;
  // The run loop's modes already hold the timers.
  void modalBegan() override {}
  void modalEnded() override {}

  // From here on nothing posted or scheduled runs, whether it was queued before or after: the
  // first step of the program's teardown, so no task reaches a controller on its way out.
  void shutDown() { open_->store(false); }

 private:
  std::shared_ptr<std::atomic<bool>> open_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace kestrova::cocoa
