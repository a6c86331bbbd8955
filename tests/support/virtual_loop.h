// A main loop on virtual time: deterministic clock, timers held while a modal alert is open.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "app/platform/main_loop.h"

namespace kestrova::testing {

class VirtualLoop final : public MainLoop {
 private:
  // Runs `f` holding the mutex (declared first: the inline members below use it).
  template <typename F>
  auto locked(F f) const {
    std::lock_guard lock(mutex_);
    return f();
  }

 public:
  void post(Task task) override;
  void postAfter(double seconds, Task task) override {
    (void)schedule(seconds, 0, std::move(task));
  }
  [[nodiscard]] std::unique_ptr<Timer> repeat(double seconds, Task tick) override;
  void modalBegan() override {
    locked([&] { ++modalDepth_; });
  }
  void modalEnded() override {
    locked([&] { --modalDepth_; });
  }

  // Virtual seconds since the loop was made.
  [[nodiscard]] double now() const {
    return locked([&] { return now_; });
  }
  // Runs posted tasks and anything already due until nothing is left to run now.
  void runUntilIdle() {
    while (runOne(now())) {
    }
  }
  // Moves the clock forward, running every task and timer tick at its due time in order.
  // While a modal alert is open the clock moves but nothing fires.
  void advance(double seconds);
  // Runs posts as they arrive from other threads until `done` holds or `realLimit` of real time
  // has passed; for replies that come over real sockets. Returns `done()`.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds realLimit = std::chrono::seconds(10));
  // Number of delayed tasks and timers waiting.
  [[nodiscard]] std::size_t pendingTimers() const;

 private:
  struct Scheduled {
    Task task;
    double period = 0;  // 0 for a one-shot task
    std::shared_ptr<bool> cancelled;
  };
  // Posted tasks are due at -1: before every timer, and run even while a modal alert is open.
  static constexpr double kPosted = -1;

  std::shared_ptr<bool> schedule(double delay, double period, Task task);
  bool runOne(double upTo);

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::multimap<std::pair<double, std::uint64_t>, Scheduled> scheduled_;
  std::uint64_t sequence_ = 0;
  double now_ = 0;
  int modalDepth_ = 0;
};

}  // namespace kestrova::testing
