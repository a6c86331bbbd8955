#include "app/dashboard/media_folder.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/dashboard/dashboard_window.h"
#include "app/shell/app_delegate.h"
#include "tests/support/alert_print.h"
#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::LoopbackReply;
using testing::LoopbackServer;
using testing::TestPlatform;

constexpr const char* kNoVideos =
    "That folder has no videos in it yet. Add some files, or choose another folder.";
constexpr const char* kFolder = "/Users/ana/Movies/Channel";

// The controller on a sandboxed platform whose engine is a loopback server.
class MediaFolderTest : public ::testing::Test {
 protected:
  MediaFolderTest() { usePort(server.port()); }

  void usePort(int port) {
    test.sandbox.write("Library/Application Support/Kestrova/config.json",
                       R"({"port": )" + std::to_string(port) + "}");
  }

  // Chooses `folder` in the panel and waits (real time, the reply comes over a socket) until
  // the outcome has been shown.
  void chooseAndWait(const std::string& folder = kFolder) {
    test.ui.folders.push_back(folder);
    app->chooseMediaFolder();
    ASSERT_TRUE(test.loop.runUntil([&] { return !test.ui.alerts.empty(); }));
    test.loop.runUntilIdle();
  }

  [[nodiscard]] bool dashboardOpened() const {
    return test.ui.webWindow != nullptr && test.ui.webWindow->broughtToFront > 0;
  }

  LoopbackServer server;
  TestPlatform test;
  std::shared_ptr<AppDelegate> app = AppDelegate::create();
};

constexpr const char* kFound12 = "Found 12 videos. Go back to the setup page and press Continue.";

// What a reply comes to, read as the controller reads it: the engine's refusal, or the count
// told as text. Only the transport error and the body count, never the status.
TEST(MediaFolderReply, TellsWhatTheEngineAnswered) {
  const struct {
    const char* name;
    int status;
    const char* body;
    std::optional<std::string> refusal;
    const char* countText;  // told when there is no refusal
  } cases[] = {
      {"one video", 200, R"({"video_count": 1})", std::nullopt,
       "Found 1 video. Go back to the setup page and press Continue."},
      {"twelve videos", 200, R"({"video_count": 12})", std::nullopt, kFound12},
      {"count written as a whole float", 200, R"({"video_count": 12.0})", std::nullopt, kFound12},
      {"zero", 200, R"({"video_count": 0})", std::nullopt, kNoVideos},
      {"absent", 200, R"({"ok": true})", std::nullopt, kNoVideos},
      {"negative", 200, R"({"video_count": -4})", std::nullopt, kNoVideos},
      {"fraction", 200, R"({"video_count": 2.5})", std::nullopt, kNoVideos},
      {"count as text", 200, R"({"video_count": "12"})", std::nullopt, kNoVideos},
      {"count too large", 200, R"({"video_count": 18446744073709551615})", std::nullopt, kNoVideos},
      {"array body", 200, R"([{"video_count": 3}])", std::nullopt, kNoVideos},
      {"not json", 200, "<html>oops</html>", std::nullopt, kNoVideos},
      {"empty body", 200, "", std::nullopt, kNoVideos},
      {"error wins over a count", 200,
       R"({"error": "That folder is not readable.", "video_count": 5})",
       "That folder is not readable.", ""},
      {"failure status without error", 500, R"({"video_count": 12})", std::nullopt, kFound12},
      {"null error ignored", 200, R"({"error": null, "video_count": 12})", std::nullopt, kFound12},
      {"numeric error ignored", 200, R"({"error": 7, "video_count": 12})", std::nullopt, kFound12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpResponse response;
    response.statusCode = c.status;
    response.body = c.body;
    const MediaFolder::Reply reply = MediaFolder::readReply(response);
    EXPECT_EQ(reply.message, c.refusal);
    if (!c.refusal) {
      EXPECT_EQ(MediaFolder::countText(reply.count), c.countText);
    }
  }
}

// Through the controller over a real socket: the plain path goes out as compact JSON, the count
// is told, then the dashboard opens. (A refusal takes the transport error's road, below.)
TEST_F(MediaFolderTest, SendsThePlainPathTellsTheCountThenOpensTheDashboard) {
  server.on("POST", "/api/setup/folder", LoopbackReply{.body = R"({"video_count": 12})"});
  const std::string folder = "/Users/Zoë Ångström/My Videos — 東京 100%";
  chooseAndWait(folder);
  EXPECT_EQ(test.ui.alerts,
            (std::vector<AlertSpec>{{"Folder set", kFound12, {"OK"}, std::nullopt}}));
  EXPECT_TRUE(dashboardOpened());

  ASSERT_EQ(server.requestCount(), 1u);
  const auto request = server.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, "/api/setup/folder");
  EXPECT_EQ(request.header("Content-Type"), "application/json");
  EXPECT_EQ(request.body, "{\"path\":\"" + folder + "\"}");
}

TEST_F(MediaFolderTest, ShowsThePanelInFrontAndCancelSendsNothing) {
  app->chooseMediaFolder();  // no folder scripted: the panel is cancelled
  test.loop.runUntilIdle();

  EXPECT_EQ(test.ui.activations, 1);
  ASSERT_EQ(test.ui.panels.size(), 1u);
  EXPECT_EQ(test.ui.panels[0].title, "Choose your video folder");
  EXPECT_EQ(test.ui.panels[0].message,
            "Kestrova will broadcast the videos in this folder \u2014 and read nothing else.");
  EXPECT_EQ(test.ui.panels[0].prompt, "Use This Folder");
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_TRUE(test.ui.alerts.empty());
  EXPECT_FALSE(dashboardOpened());
}

TEST_F(MediaFolderTest, NoEngineShowsTheTransportErrorAndNoDashboard) {
  usePort(testing::freePort());
  // What the platform says about this failure, asked the same way.
  std::optional<std::string> transportError;
  test.http->send(MediaFolder::request(kFolder), [&](HttpResponse response) {
    test.loop.post([&, response] { transportError = response.error; });
  });
  ASSERT_TRUE(test.loop.runUntil([&] { return transportError.has_value(); }));
  ASSERT_FALSE(transportError->empty());

  chooseAndWait();
  ASSERT_EQ(test.ui.alerts.size(), 1u);
  EXPECT_EQ(test.ui.alerts[0].message, "Could not use that folder");
  EXPECT_EQ(test.ui.alerts[0].informative, *transportError);
  EXPECT_FALSE(dashboardOpened());
}

// The program's end: the controller goes while a request is pending, then HTTP shuts down and
// runs every completion ("cancelled"). None of them may keep the controller or reach the user.
TEST_F(MediaFolderTest, ARequestThatOutlivesTheControllerTellsNothing) {
  test.sandbox.write("Library/Application Support/Kestrova/config.json",
                     R"({"port": )" + std::to_string(server.port()) + R"(, "update_feed": ")" +
                         server.url("/appcast.json") + R"("})");
  server.on("POST", "/api/setup/folder", LoopbackReply{.body = "{}", .delaySeconds = 60});
  server.on("GET", "/appcast.json", LoopbackReply{.body = "{}", .delaySeconds = 60});
  test.ui.folders.push_back(kFolder);
  app->chooseMediaFolder();
  app->checkForUpdates();
  ASSERT_TRUE(testing::eventually([&] { return server.requestCount() == 2; }));
  std::weak_ptr<AppDelegate> watch = app;
  app.reset();
  EXPECT_TRUE(watch.expired()) << "a pending request holds the controller";
  test.http->shutdown();
  test.loop.runUntilIdle();
  EXPECT_TRUE(test.ui.alerts.empty()) << test.ui.alerts.front().message;
}

TEST(MediaFolderRequest, BodyIsCompactAndAbsentForBytesThatAreNotText) {
  EXPECT_EQ(MediaFolder::requestBody("/a \"quoted\" \\ path"),
            R"({"path":"/a \"quoted\" \\ path"})");
  EXPECT_FALSE(MediaFolder::requestBody("/bad\xff\xfe").has_value());
}

}  // namespace
}  // namespace kestrova
