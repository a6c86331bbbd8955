// The WebKitGTK window: each load's outcome told once, time limits, page dialogs, the saved frame.
#include "frontends/gtk/web_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "frontends/gtk/window_frames.h"
#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"
#include "tests/system/gtk/gtk_testing.h"

namespace kestrova::gtk {
namespace {

using testing::LoopbackReply;
using testing::LoopbackServer;
using testing::spinFor;
using testing::spinUntil;

class RecordingDelegate final : public WebWindowDelegate {
 public:
  int failures = 0;
  int finishes = 0;
  std::vector<std::string> alerts;
  std::vector<std::string> confirms;
  std::vector<std::pair<std::string, std::string>> prompts;
  bool confirmAnswer = true;
  std::optional<std::string> promptAnswer;

  void didFailProvisionalLoad() override { ++failures; }
  void didFinishLoad() override { ++finishes; }
  void runAlertPanel(const std::string& message) override { alerts.push_back(message); }
  bool runConfirmPanel(const std::string& message) override {
    confirms.push_back(message);
    return confirmAnswer;
  }
  std::optional<std::string> runPromptPanel(const std::string& prompt,
                                            const std::string& defaultText) override {
    prompts.emplace_back(prompt, defaultText);
    return promptAnswer;
  }
};

// One application for the whole test program, with its configuration folder in a sandbox so
// that saved frames stay out of the real one.
class GtkEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (sandbox_.home() + "/config").c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    if (!testing::displayReady()) {
      return;
    }
    app = gtk_application_new("com.talmiro.kestrova.webwindowtest", G_APPLICATION_NON_UNIQUE);
    g_application_register(G_APPLICATION(app), nullptr, nullptr);
  }
  static inline GtkApplication* app = nullptr;

 private:
  testing::Sandbox sandbox_;
};
const auto* const environment =
    ::testing::AddGlobalTestEnvironment(std::make_unique<GtkEnvironment>().release());

class WebWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GtkEnvironment::app == nullptr) {
      GTEST_SKIP() << testing::kNeedsDisplay;
    }
    server_.on("GET", "/",
               LoopbackReply{.body = "<title>Page</title>ok", .contentType = "text/html"});
  }

  std::unique_ptr<GtkWebWindow> makeWindow(const std::string& autosave = "") {
    return std::make_unique<GtkWebWindow>(
        GtkEnvironment::app, WebWindowSpec{640, 480, "Test", autosave}, delegate_, nullptr);
  }

  LoopbackServer server_;
  RecordingDelegate delegate_;
};

// WebKitGTK signals "finished" after a failed load too; the window must not pass that on. A load
// past its time limit is stopped and told the same way, even once the server answers; each later
// load of the same window is counted afresh.
TEST_F(WebWindowTest, EachLoadIsToldOnceAsAProvisionalFailureOrAFinish) {
  server_.on("GET", "/slow",
             LoopbackReply{.body = "late", .contentType = "text/html", .delaySeconds = 3});
  auto window = makeWindow();
  window->bringToFront();
  window->load("http://127.0.0.1:" + std::to_string(testing::freePort()) + "/", 10);
  ASSERT_TRUE(spinUntil([&] { return delegate_.failures == 1; }));
  spinFor(std::chrono::milliseconds(500));
  EXPECT_EQ(delegate_.failures, 1);
  EXPECT_EQ(delegate_.finishes, 0);

  window->load(server_.url("/slow"), 0.5);
  ASSERT_TRUE(spinUntil([&] { return delegate_.failures == 2; }));
  spinFor(std::chrono::milliseconds(3500));  // past the moment the server answers
  EXPECT_EQ(delegate_.failures, 2);
  EXPECT_EQ(delegate_.finishes, 0);

  window->load(server_.url("/"), 10);
  ASSERT_TRUE(spinUntil([&] { return delegate_.finishes == 1; }));
  spinFor(std::chrono::milliseconds(500));
  EXPECT_EQ(delegate_.finishes, 1);
  EXPECT_EQ(delegate_.failures, 2);
  EXPECT_EQ(window->describe()["pageTitle"], "Page");
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
  struct Case {
    bool confirmAnswer;
    std::optional<std::string> promptAnswer;
    std::string title;
  };
  for (const Case& c :
       {Case{true, "secret", "true|secret"}, Case{false, std::nullopt, "false|null"}}) {
    RecordingDelegate delegate;
    delegate.confirmAnswer = c.confirmAnswer;
    delegate.promptAnswer = c.promptAnswer;
    GtkWebWindow window(GtkEnvironment::app, WebWindowSpec{640, 480, "Test", ""}, delegate,
                        nullptr);
    window.load(server_.url("/dialogs"), 10);
    ASSERT_TRUE(spinUntil([&] { return window.describe()["pageTitle"] == c.title; }))
        << window.describe().dump();
    EXPECT_EQ(delegate.confirms, std::vector<std::string>{"Sure?"});
    EXPECT_EQ(delegate.prompts,
              (std::vector<std::pair<std::string, std::string>>{{"Your password", "pre"}}));
    EXPECT_EQ(delegate.alerts, std::vector<std::string>{"done"});
  }
}

TEST_F(WebWindowTest, ClosingHidesTheWindowAndItsFrameIsRememberedForTheNextOne) {
  const std::string name = "TestFrame";
  auto first = makeWindow(name);
  first->bringToFront();
  gtk_window_move(first->window(), 50, 60);
  gtk_window_resize(first->window(), 700, 500);
  ASSERT_TRUE(spinUntil([&] {
    const auto frame = first->describe()["frame"];
    return frame["x"] == 50 && frame["y"] == 60 && frame["width"] == 700;
  }));
  gtk_window_close(first->window());
  ASSERT_TRUE(spinUntil([&] { return !first->isVisible(); }));
  EXPECT_EQ(loadWindowFrame(windowFramesFile(), name), (WindowFrame{50, 60, 700, 500}));
  first.reset();

  auto second = makeWindow(name);
  second->bringToFront();
  const nlohmann::json saved{{"x", 50}, {"y", 60}, {"width", 700}, {"height", 500}};
  EXPECT_TRUE(spinUntil([&] {
    return second->isVisible() && second->describe()["frame"] == saved;
  })) << second->describe()["frame"];
}

}  // namespace
}  // namespace kestrova::gtk
