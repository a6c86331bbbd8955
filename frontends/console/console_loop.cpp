#include "frontends/console/console_loop.h"

#include <utility>

namespace kestrova::console {
namespace {

class CancellableTimer final : public Timer {
 public:
  CancellableTimer(std::mutex& mutex, std::shared_ptr<bool> cancelled)
      : mutex_(mutex), cancelled_(std::move(cancelled)) {}
  ~CancellableTimer() override { cancel(); }
  CancellableTimer(const CancellableTimer&) = delete;
  CancellableTimer& operator=(const CancellableTimer&) = delete;
  void cancel() override {
    std::lock_guard lock(mutex_);
    *cancelled_ = true;
  }

 private:
  std::mutex& mutex_;
  std::shared_ptr<bool> cancelled_;
};

std::chrono::steady_clock::duration toDuration(double seconds) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
}

}  // namespace

void ConsoleLoop::post(Task task) {
  {
    std::lock_guard lock(mutex_);
    posts_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void ConsoleLoop::schedule(Clock::time_point due, Scheduled scheduled) {
  {
    std::lock_guard lock(mutex_);
    timers_.emplace(std::make_pair(due, sequence_++), std::move(scheduled));
  }
  wake_.notify_one();
}

void ConsoleLoop::postAfter(double seconds, Task task) {
  schedule(Clock::now() + toDuration(seconds),
           {std::move(task), {}, std::make_shared<bool>(false)});
}

std::unique_ptr<Timer> ConsoleLoop::repeat(double seconds, Task tick) {
  auto cancelled = std::make_shared<bool>(false);
  const Clock::duration period = toDuration(seconds);
  schedule(Clock::now() + period, {std::move(tick), period, cancelled});
  return std::make_unique<CancellableTimer>(mutex_, cancelled);
}

void ConsoleLoop::modalBegan() {
  std::lock_guard lock(mutex_);
  ++modalDepth_;
}

void ConsoleLoop::modalEnded() {
  {
    std::lock_guard lock(mutex_);
    --modalDepth_;
  }
  wake_.notify_one();
}

void ConsoleLoop::quit() {
  {
    std::lock_guard lock(mutex_);
    quitting_ = true;
  }
  wake_.notify_one();
}

Task ConsoleLoop::next() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quitting_) {
      return {};
    }
    if (!posts_.empty()) {
      Task task = std::move(posts_.front());
      posts_.pop_front();
      return task;
    }
    // Timers wait while a modal dialog is open, as they do in the Mac's default run-loop mode.
    if (!timers_.empty() && modalDepth_ == 0) {
      auto first = timers_.begin();
      if (*first->second.cancelled) {
        timers_.erase(first);
        continue;
      }
      if (first->first.first <= Clock::now()) {
        Scheduled due = std::move(first->second);
        timers_.erase(first);
        if (due.period != Clock::duration::zero()) {
          timers_.emplace(std::make_pair(Clock::now() + due.period, sequence_++), due);
        }
        return due.task;
      }
      wake_.wait_until(lock, first->first.first);
      continue;
    }
    wake_.wait(lock);
  }
}

void ConsoleLoop::run() {
  while (Task task = next()) {
    task();
  }
  // A later run() waits for its own quit(): a tool may run the loop once per network step.
  std::lock_guard lock(mutex_);
  quitting_ = false;
}

}  // namespace kestrova::console
