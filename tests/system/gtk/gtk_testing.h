// What the GTK front end's tests share: the display check, and spinning the main context.
#pragma once

#include <gtk/gtk.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "app/platform/menu.h"
#include "frontends/gtk/menu_widgets.h"

namespace kestrova::testing {

inline constexpr const char* kNeedsDisplay =
    "needs an X display (./dev test provides one with xvfb-run)";

[[nodiscard]] inline bool displayReady() {
  return std::getenv("DISPLAY") != nullptr && gtk_init_check(nullptr, nullptr) != FALSE;
}

// Iterates the default context until the condition holds or a generous real-time limit passes.
inline bool spinUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

// Iterates the context until a plain GLib timeout of `ms` has fired: every source due sooner, or
// attached before it and due as soon, has been dispatched by then. No modal holds it.
inline void passMilliseconds(guint ms) {
  bool passed = false;
  g_timeout_add(
      ms, [](gpointer flag) { return *static_cast<bool*>(flag) = true, G_SOURCE_REMOVE; }, &passed);
  while (!passed) {
    g_main_context_iteration(nullptr, TRUE);
  }
}

}  // namespace kestrova::testing
