// The main loop on GLib's default main context, with the Mac's hold of timers during modal alerts.
#pragma once

#include <glib.h>

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "app/platform/main_loop.h"

namespace kestrova::gtk {

// Posts, delayed tasks and timer ticks all run on the thread that iterates the default main
// context. A modal dialog runs a nested loop on that same context, so GLib would keep firing
// timers under it; the Mac does not (timers live in the default run-loop mode), and the core
// relies on that. So a delayed task or tick that comes due while a modal is open is held and
// runs once the last modal has closed; a repeating timer that missed several ticks fires once.
// Posts are not held: they are how replies from other threads reach the main thread.
class GlibMainLoop final : public MainLoop {
 public:
  GlibMainLoop();
  ~GlibMainLoop() override;
  GlibMainLoop(const GlibMainLoop&) = delete;
  GlibMainLoop& operator=(const GlibMainLoop&) = delete;

  void post(Task task) override;
  void postAfter(double seconds, Task task) override;
  [[nodiscard]] std::unique_ptr<Timer> repeat(double seconds, Task tick) override;
  void modalBegan() override;
  void modalEnded() override;

  [[nodiscard]] bool modalOpen() const { return modalDepth_ > 0; }

  struct Scheduled;  // one delayed task or timer; shared with its GLib source and its handle

 private:
  static gboolean drainPosts(gpointer self);
  static gboolean fireScheduled(gpointer entry);
  std::shared_ptr<Scheduled> schedule(double seconds, Task task, bool repeating);
  void fireOrHold(const std::shared_ptr<Scheduled>& entry);
  void releaseHeld();

  GMainContext* context_;
  std::mutex mutex_;
  std::deque<Task> posts_;
  GSource* wake_ = nullptr;  // the pending idle source that drains posts_, if any

  int modalDepth_ = 0;
  // Everything scheduled and not yet finished, so that the loop can detach it when it goes.
  std::vector<std::weak_ptr<Scheduled>> live_;
  std::vector<std::shared_ptr<Scheduled>> held_;
};

}  // namespace kestrova::gtk
