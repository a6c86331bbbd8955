#include "tests/support/virtual_loop.h"

#include <algorithm>

namespace kestrova::testing {
namespace {

class VirtualTimer final : public Timer {
 public:
  explicit VirtualTimer(std::shared_ptr<bool> cancelled) : cancelled_(std::move(cancelled)) {}
  ~VirtualTimer() override { cancel(); }
  void cancel() override { *cancelled_ = true; }

 private:
  std::shared_ptr<bool> cancelled_;
};

}  // namespace

void VirtualLoop::post(Task task) {
  locked([&] {
    scheduled_.emplace(std::pair{kPosted, sequence_++},
                       Scheduled{std::move(task), 0, std::make_shared<bool>(false)});
  });
  posted_.notify_all();
}

std::unique_ptr<Timer> VirtualLoop::repeat(double seconds, Task tick) {
  return std::make_unique<VirtualTimer>(schedule(seconds, seconds, std::move(tick)));
}

std::shared_ptr<bool> VirtualLoop::schedule(double delay, double period, Task task) {
  auto cancelled = std::make_shared<bool>(false);
  locked([&] {
    scheduled_.emplace(std::pair{now_ + delay, sequence_++},
                       Scheduled{std::move(task), period, cancelled});
  });
  return cancelled;
}

std::size_t VirtualLoop::pendingTimers() const {
  return locked([&] {
    return static_cast<std::size_t>(std::count_if(
        scheduled_.begin(), scheduled_.end(),
        [](const auto& item) { return item.first.first != kPosted && !*item.second.cancelled; }));
  });
}

// Runs the first posted task, or else fires the earliest item due at or before `upTo`, moving
// the clock to its due time (never backwards: an item held over a modal alert fires late).
bool VirtualLoop::runOne(double upTo) {
  Scheduled item;
  {
    std::lock_guard lock(mutex_);
    const auto first = scheduled_.begin();
    if (first == scheduled_.end() || first->first.first > upTo ||
        (modalDepth_ > 0 && first->first.first != kPosted)) {
      return false;
    }
    now_ = std::max(now_, first->first.first);
    item = std::move(first->second);
    scheduled_.erase(first);
    if (*item.cancelled) return true;
    // Like a run-loop timer that missed fires: fire once, then keep to its cadence.
    if (item.period > 0) scheduled_.emplace(std::pair{now_ + item.period, sequence_++}, item);
  }
  item.task();
  return true;
}

void VirtualLoop::advance(double seconds) {
  const double target = now() + seconds;
  while (runOne(target)) {
  }
  locked([&] { now_ = std::max(now_, target); });
}

bool VirtualLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realLimit) {
  const auto deadline = std::chrono::steady_clock::now() + realLimit;
  for (;;) {
    runUntilIdle();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    if (!posted_.wait_until(lock, deadline, [this] {
          return !scheduled_.empty() && scheduled_.begin()->first.first == kPosted;
        })) {
      lock.unlock();
      runUntilIdle();
      return done();
    }
  }
}

}  // namespace kestrova::testing
