// The WebKitGTK window: each load's outcome told once, and its time limit.
#include "frontends/gtk/web_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_server.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

using testing::LoopbackReply;
using testing::spinUntil;

// Records how each load ended, in order. Page dialogs are the dashboard window's own test.
class RecordingDelegate final : public WebWindowDelegate {
 public:
  std::vector<std::string> told;

  [[nodiscard]] long count(const std::string& what) const { return std::ranges::count(told, what); }
  void didFailProvisionalLoad() override { told.emplace_back("failed"); }
  void didFinishLoad() override { told.emplace_back("finished"); }
  void runAlertPanel(const std::string& /*message*/) override {}
  bool runConfirmPanel(const std::string& /*message*/) override { return false; }
  std::optional<std::string> runPromptPanel(const std::string&, const std::string&) override {
    return std::nullopt;
  }
};

// WebKitGTK signals "finished" after a failed load too; the window must not pass that on. A load
// past its time limit is stopped and told the same way, even once the server answers; each later
// load of the same window is counted afresh.
TEST(WebWindow, EachLoadIsToldOnceAsAProvisionalFailureOrAFinish) {
  if (!testing::displayReady()) GTEST_SKIP() << testing::kNeedsDisplay;
  GtkApplication* app =
      gtk_application_new("com.talmiro.kestrova.webwindowtest", G_APPLICATION_NON_UNIQUE);
  ASSERT_TRUE(g_application_register(G_APPLICATION(app), nullptr, nullptr));
  testing::LoopbackServer server;
  server.on("GET", "/", LoopbackReply{.body = "<title>Page</title>", .contentType = "text/html"});
  RecordingDelegate delegate;
  std::atomic<int> slow = 0;  // 1 while the server holds the request, 2 once it has answered
  server.on("GET", "/slow", [&](const testing::RecordedRequest&) {
    slow = 1;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    slow = 2;
    return LoopbackReply{.body = "late", .contentType = "text/html"};
  });
  auto window =
      std::make_unique<GtkWebWindow>(app, WebWindowSpec{640, 480, "Test", ""}, delegate, nullptr);
  window->bringToFront();
  window->load(testing::closedURL("/"), 10);
  ASSERT_TRUE(spinUntil([&] { return delegate.count("failed") == 1; }));
  window->load(server.url("/slow"), 0.3);
  ASSERT_TRUE(spinUntil([&] { return delegate.count("failed") == 2 && slow != 1; }));
  window->load(server.url("/"), 10);
  // The page's title may reach the window just after its load has finished.
  EXPECT_TRUE(spinUntil(
      [&] { return delegate.count("finished") > 0 && window->describe()["pageTitle"] == "Page"; }));
  EXPECT_EQ(delegate.told, (std::vector<std::string>{"failed", "failed", "finished"}));
}

}  // namespace
}  // namespace kestrova::gtk
