// A main loop for the headless console program: a thread-safe task queue with timers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "app/platform/main_loop.h"

namespace kestrova::console {

class ConsoleLoop final : public MainLoop {
 public:
  void post(Task task) override;
  void postAfter(double seconds, Task task) override;
  [[nodiscard]] std::unique_ptr<Timer> repeat(double seconds, Task tick) override;
  void modalBegan() override;
  void modalEnded() override;

  // Runs tasks on the calling thread, which becomes the main thread, until quit() is called;
  // it may then be run again.
  void run();
  // Safe from any thread; run() returns after the task it is running, if any.
  void quit();

 private:
  using Clock = std::chrono::steady_clock;
  struct Scheduled {
    Task task;
    Clock::duration period{};  // zero for a one-shot task
    std::shared_ptr<bool> cancelled;
  };
  void schedule(Clock::time_point due, Scheduled scheduled);
  // The next task to run, waiting for one; empty once quit() was called.
  [[nodiscard]] Task next();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> posts_;
  std::multimap<std::pair<Clock::time_point, std::uint64_t>, Scheduled> timers_;
  std::uint64_t sequence_ = 0;
  int modalDepth_ = 0;
  bool quitting_ = false;
};

}  // namespace kestrova::console
