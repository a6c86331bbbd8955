// The main thread's queue: the only door through which other threads reach the app's state.
#pragma once

#include <functional>
#include <memory>

namespace kestrova {

using Task = std::function<void()>;

// A repeating timer; cancelled when cancel() is called or the handle is destroyed.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void cancel() = 0;
};

class MainLoop {
 public:
  virtual ~MainLoop() = default;

  // Runs the task on the main thread soon. Safe from any thread.
  virtual void post(Task task) = 0;

  // Runs the task on the main thread after the delay. Like the Mac's default run-loop mode, a
  // delayed task does not run while a modal alert is open; it runs once the alert closes.
  virtual void postAfter(double seconds, Task task) = 0;

  // Calls tick every period seconds on the main thread until the returned timer is cancelled or
  // destroyed. Held back while a modal alert is open, like postAfter.
  [[nodiscard]] virtual std::unique_ptr<Timer> repeat(double seconds, Task tick) = 0;

  // Front ends call these around every modal alert, panel or dialog they run.
  virtual void modalBegan() = 0;
  virtual void modalEnded() = 0;
};

}  // namespace kestrova
