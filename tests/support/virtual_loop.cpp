#include "tests/support/virtual_loop.h"

#include <cmath>

namespace kestrova::testing {
namespace {

class VirtualTimer final : public Timer {
 public:
  explicit VirtualTimer(std::shared_ptr<bool> cancelled) : cancelled_(std::move(cancelled)) {}
  ~VirtualTimer() override { cancel(); }
  VirtualTimer(const VirtualTimer&) = delete;
  VirtualTimer& operator=(const VirtualTimer&) = delete;
  void cancel() override { *cancelled_ = true; }

 private:
  std::shared_ptr<bool> cancelled_;
};

}  // namespace

void VirtualLoop::post(Task task) {
  {
    std::lock_guard lock(mutex_);
    posts_.push_back(std::move(task));
  }
  posted_.notify_all();
}

void VirtualLoop::postAfter(double seconds, Task task) {
  std::lock_guard lock(mutex_);
  scheduled_.emplace(std::pair{now_ + seconds, sequence_++},
                     Scheduled{std::move(task), 0, std::make_shared<bool>(false)});
}

std::unique_ptr<Timer> VirtualLoop::repeat(double seconds, Task tick) {
  auto cancelled = std::make_shared<bool>(false);
  std::lock_guard lock(mutex_);
  scheduled_.emplace(std::pair{now_ + seconds, sequence_++},
                     Scheduled{std::move(tick), seconds, cancelled});
  return std::make_unique<VirtualTimer>(cancelled);
}

void VirtualLoop::modalBegan() {
  std::lock_guard lock(mutex_);
  ++modalDepth_;
}

void VirtualLoop::modalEnded() {
  std::lock_guard lock(mutex_);
  --modalDepth_;
}

double VirtualLoop::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

bool VirtualLoop::modalOpen() const {
  std::lock_guard lock(mutex_);
  return modalDepth_ > 0;
}

std::size_t VirtualLoop::pendingTimers() const {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (const auto& [key, item] : scheduled_) {
    count += *item.cancelled ? 0 : 1;
  }
  return count;
}

bool VirtualLoop::runOnePosted() {
  Task task;
  {
    std::lock_guard lock(mutex_);
    if (posts_.empty()) {
      return false;
    }
    task = std::move(posts_.front());
    posts_.pop_front();
  }
  task();
  return true;
}

// Fires the earliest scheduled item due at or before `upTo`, moving the clock to its due time
// (never backwards: an item held over a modal alert fires at the current time).
bool VirtualLoop::fireOneDue(double upTo) {
  Scheduled item;
  {
    std::lock_guard lock(mutex_);
    if (modalDepth_ > 0 || scheduled_.empty() || scheduled_.begin()->first.first > upTo) {
      return false;
    }
    auto first = scheduled_.begin();
    now_ = std::max(now_, first->first.first);
    item = std::move(first->second);
    scheduled_.erase(first);
    if (*item.cancelled) {
      return true;
    }
    if (item.period > 0) {
      // Like a run-loop timer that missed fires: fire once, then keep to its cadence.
      scheduled_.emplace(std::pair{now_ + item.period, sequence_++}, item);
    }
  }
  item.task();
  return true;
}

void VirtualLoop::runUntilIdle() {
  for (;;) {
    if (runOnePosted()) {
      continue;
    }
    if (!fireOneDue(now())) {
      return;
    }
  }
}

void VirtualLoop::advance(double seconds) {
  double target;
  {
    std::lock_guard lock(mutex_);
    target = now_ + seconds;
  }
  for (;;) {
    runUntilIdle();
    if (!fireOneDue(target)) {
      break;
    }
  }
  std::lock_guard lock(mutex_);
  now_ = std::max(now_, target);
}

bool VirtualLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realLimit) {
  const auto deadline = std::chrono::steady_clock::now() + realLimit;
  for (;;) {
    runUntilIdle();
    if (done()) {
      return true;
    }
    std::unique_lock lock(mutex_);
    if (!posted_.wait_until(lock, deadline, [this] { return !posts_.empty(); })) {
      lock.unlock();
      runUntilIdle();
      return done();
    }
  }
}

}  // namespace kestrova::testing
