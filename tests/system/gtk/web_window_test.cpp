// The WebKitGTK window: each load's outcome told once, time limits, page dialogs, the saved frame.
#include "frontends/gtk/web_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/loopback_server.h"
#include "tests/support/sandbox.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

using testing::LoopbackReply;
using testing::spinUntil;

// Records what the window tells, in order; answers the page's confirm and prompt as set.
class RecordingDelegate final : public WebWindowDelegate {
 public:
  std::vector<std::string> told;
  bool confirmAnswer = true;
  std::optional<std::string> promptAnswer;

  [[nodiscard]] long count(const std::string& what) const { return std::ranges::count(told, what); }
  void didFailProvisionalLoad() override { told.emplace_back("failed"); }
  void didFinishLoad() override { told.emplace_back("finished"); }
  void runAlertPanel(const std::string& message) override { told.push_back("alert " + message); }
  bool runConfirmPanel(const std::string& message) override {
    told.push_back("confirm " + message);
    return confirmAnswer;
  }
  std::optional<std::string> runPromptPanel(const std::string& prompt,
                                            const std::string& defaultText) override {
    told.push_back("prompt " + prompt + " " + defaultText);
    return promptAnswer;
  }
};

class WebWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::displayReady()) GTEST_SKIP() << testing::kNeedsDisplay;
    if (app_ == nullptr) {  // one for the whole program; saved frames stay out of the real folder
      static const testing::Sandbox config;
      setenv("XDG_CONFIG_HOME", config.home().c_str(), 1);
      app_ = gtk_application_new("com.talmiro.kestrova.webwindowtest", G_APPLICATION_NON_UNIQUE);
      g_application_register(G_APPLICATION(app_), nullptr, nullptr);
    }
    server_.on("GET", "/",
               LoopbackReply{.body = "<title>Page</title>", .contentType = "text/html"});
  }
  std::unique_ptr<GtkWebWindow> makeWindow(const std::string& autosave = "") {
    return std::make_unique<GtkWebWindow>(app_, WebWindowSpec{640, 480, "Test", autosave},
                                          delegate_, nullptr);
  }

  static inline GtkApplication* app_ = nullptr;
  testing::LoopbackServer server_;
  RecordingDelegate delegate_;
};

// WebKitGTK signals "finished" after a failed load too; the window must not pass that on. A load
// past its time limit is stopped and told the same way, even once the server answers; each later
// load of the same window is counted afresh.
TEST_F(WebWindowTest, EachLoadIsToldOnceAsAProvisionalFailureOrAFinish) {
  std::atomic<int> slow = 0;  // 1 while the server holds the request, 2 once it has answered
  server_.on("GET", "/slow", [&](const testing::RecordedRequest&) {
    slow = 1;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    slow = 2;
    return LoopbackReply{.body = "late", .contentType = "text/html"};
  });
  auto window = makeWindow();
  window->bringToFront();
  window->load(testing::closedURL("/"), 10);
  ASSERT_TRUE(spinUntil([&] { return delegate_.count("failed") == 1; }));
  window->load(server_.url("/slow"), 0.3);
  ASSERT_TRUE(spinUntil([&] { return delegate_.count("failed") == 2 && slow != 1; }));
  window->load(server_.url("/"), 10);
  // The page's title may reach the window just after its load has finished.
  EXPECT_TRUE(spinUntil([&] {
    return delegate_.count("finished") > 0 && window->describe()["pageTitle"] == "Page";
  }));
  EXPECT_EQ(delegate_.told, (std::vector<std::string>{"failed", "failed", "finished"}));
}

TEST_F(WebWindowTest, PageDialogsReachTheDelegateAndItsAnswersReachThePage) {
  server_.on("GET", "/dialogs",
             LoopbackReply{.body = R"(<script>
               const ok = confirm("Sure?");
               const secret = prompt("Your password", "pre");
               alert("done");
               document.title = ok + "|" + secret;
             </script>)",
                           .contentType = "text/html"});
  for (const auto& [confirm, prompt, title] :
       {std::tuple(true, std::optional<std::string>("secret"), "true|secret"),
        std::tuple(false, std::optional<std::string>(), "false|null")}) {
    delegate_.told.clear();
    delegate_.confirmAnswer = confirm;
    delegate_.promptAnswer = prompt;
    auto window = makeWindow();
    window->load(server_.url("/dialogs"), 10);
    // Captured by copy: clang 14, the sanitizer build's compiler, cannot capture a binding.
    ASSERT_TRUE(spinUntil([&, title = title] {
      return window->describe()["pageTitle"] == title && delegate_.count("finished") == 1;
    })) << window->describe().dump();
    EXPECT_EQ(delegate_.told, (std::vector<std::string>{"confirm Sure?", "prompt Your password pre",
                                                        "alert done", "finished"}));
  }
}

TEST_F(WebWindowTest, ClosingHidesTheWindowAndTheNextOneOpensWithItsFrame) {
  auto first = makeWindow("TestFrame");
  first->bringToFront();
  gtk_window_move(first->window(), 50, 60);
  gtk_window_resize(first->window(), 700, 500);
  ASSERT_TRUE(spinUntil([&] {
    const auto frame = first->describe()["frame"];
    return frame.value("x", 0) == 50 && frame.value("width", 0) == 700;
  }));
  gtk_window_close(first->window());
  ASSERT_TRUE(spinUntil([&] { return !first->isVisible(); }));
  first.reset();
  auto second = makeWindow("TestFrame");
  second->bringToFront();
  const nlohmann::json frame{{"x", 50}, {"y", 60}, {"width", 700}, {"height", 500}};
  EXPECT_TRUE(spinUntil([&] {
    return second->isVisible() && second->describe()["frame"] == frame;
  })) << second->describe()["frame"];
}

}  // namespace
}  // namespace kestrova::gtk
