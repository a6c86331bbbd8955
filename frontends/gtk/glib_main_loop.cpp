#include "frontends/gtk/glib_main_loop.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestrova::gtk {

struct GlibMainLoop::Scheduled {
  GlibMainLoop* loop = nullptr;
  Task task;
  bool repeating = false;
  bool cancelled = false;
  bool held = false;
  GSource* source = nullptr;  // owned reference while scheduled

  void detach() {
    if (source != nullptr) {
      g_source_destroy(source);
      g_source_unref(source);
      source = nullptr;
    }
  }
};

namespace {

using Entry = std::shared_ptr<GlibMainLoop::Scheduled>;

class GlibTimer final : public Timer {
 public:
  explicit GlibTimer(std::weak_ptr<GlibMainLoop::Scheduled> entry) : entry_(std::move(entry)) {}
  ~GlibTimer() override { cancel(); }
  GlibTimer(const GlibTimer&) = delete;
  GlibTimer& operator=(const GlibTimer&) = delete;

  void cancel() override {
    if (auto entry = entry_.lock()) {
      entry->cancelled = true;
      entry->detach();
    }
  }

 private:
  std::weak_ptr<GlibMainLoop::Scheduled> entry_;
};

void deleteEntry(gpointer data) { std::unique_ptr<Entry>(static_cast<Entry*>(data)).reset(); }

guint toMilliseconds(double seconds) {
  return static_cast<guint>(std::lround(std::max(0.0, seconds) * 1000.0));
}

}  // namespace

GlibMainLoop::GlibMainLoop() : context_(g_main_context_ref(g_main_context_default())) {}

GlibMainLoop::~GlibMainLoop() {
  {
    std::lock_guard lock(mutex_);
    if (wake_ != nullptr) {
      g_source_destroy(wake_);
      g_source_unref(wake_);
      wake_ = nullptr;
    }
  }
  for (const auto& weak : live_) {
    if (auto entry = weak.lock()) {
      entry->cancelled = true;
      entry->detach();
    }
  }
  g_main_context_unref(context_);
}

void GlibMainLoop::post(Task task) {
  std::lock_guard lock(mutex_);
  posts_.push_back(std::move(task));
  if (wake_ == nullptr) {
    // An idle source rather than g_main_context_invoke: on the main thread that would run the
    // task at once, inside the caller.
    wake_ = g_idle_source_new();
    g_source_set_priority(wake_, G_PRIORITY_DEFAULT);
    g_source_set_callback(wake_, &GlibMainLoop::drainPosts, this, nullptr);
    g_source_attach(wake_, context_);
  }
}

// Runs the tasks that were waiting when the drain began; later posts get a new wake-up, so a
// task that posts again cannot starve the rest of the loop.
gboolean GlibMainLoop::drainPosts(gpointer self) {
  auto* loop = static_cast<GlibMainLoop*>(self);
  std::deque<Task> batch;
  {
    std::lock_guard lock(loop->mutex_);
    batch.swap(loop->posts_);
    g_source_unref(loop->wake_);
    loop->wake_ = nullptr;
  }
  for (auto& task : batch) {
    task();
  }
  return G_SOURCE_REMOVE;
}

void GlibMainLoop::postAfter(double seconds, Task task) {
  (void)schedule(seconds, std::move(task), false);
}

std::unique_ptr<Timer> GlibMainLoop::repeat(double seconds, Task tick) {
  return std::make_unique<GlibTimer>(schedule(seconds, std::move(tick), true));
}

std::shared_ptr<GlibMainLoop::Scheduled> GlibMainLoop::schedule(double seconds, Task task,
                                                                bool repeating) {
  auto entry = std::make_shared<Scheduled>();
  entry->loop = this;
  entry->task = std::move(task);
  entry->repeating = repeating;
  entry->source = g_timeout_source_new(toMilliseconds(seconds));
  g_source_set_callback(entry->source, &GlibMainLoop::fireScheduled,
                        std::make_unique<Entry>(entry).release(), &deleteEntry);
  g_source_attach(entry->source, context_);
  std::erase_if(live_, [](const std::weak_ptr<Scheduled>& weak) { return weak.expired(); });
  live_.push_back(entry);
  return entry;
}

gboolean GlibMainLoop::fireScheduled(gpointer data) {
  const Entry entry = *static_cast<Entry*>(data);  // a copy: firing may destroy the source
  if (!entry->repeating) {
    // The source ends with this call; drop our reference so the entry no longer owns it.
    g_source_unref(entry->source);
    entry->source = nullptr;
  }
  entry->loop->fireOrHold(entry);
  return entry->repeating && !entry->cancelled ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void GlibMainLoop::fireOrHold(const std::shared_ptr<Scheduled>& entry) {
  if (entry->cancelled) {
    return;
  }
  if (modalDepth_ > 0) {
    if (!entry->held) {
      entry->held = true;
      held_.push_back(entry);
    }
    return;
  }
  // A one-shot task runs once; hold a copy so the task may cancel or reschedule freely.
  const Task task = entry->task;
  task();
}

void GlibMainLoop::modalBegan() { ++modalDepth_; }

void GlibMainLoop::modalEnded() {
  if (modalDepth_ > 0 && --modalDepth_ == 0) {
    releaseHeld();
  }
}

// The held items run from the loop, not from inside modalEnded: that is called by the code that
// ran the dialog, which should finish before anything else happens.
void GlibMainLoop::releaseHeld() {
  for (auto& entry : std::exchange(held_, {})) {
    post([entry] {
      entry->held = false;
      entry->loop->fireOrHold(entry);
    });
  }
}

}  // namespace kestrova::gtk
