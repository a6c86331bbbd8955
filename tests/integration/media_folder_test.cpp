#include "app/dashboard/media_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "app/dashboard/dashboard_window.h"
#include "app/shell/app_delegate.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::LoopbackReply;
using testing::LoopbackServer;
using testing::TestPlatform;

// Message, informative text, buttons and whether a field was asked for.
std::tuple<std::string, std::string, std::vector<std::string>, bool> shown(const AlertSpec& a) {
  return {a.message, a.informative, a.buttons, a.field.has_value()};
}

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

struct ReplyCase {
  const char* name;
  int status;
  const char* body;
  const char* message;      // the alert's message text
  const char* informative;  // its informative text
  bool opensDashboard;
};

TEST_F(MediaFolderTest, TellsWhatTheEngineAnswered) {
  const ReplyCase cases[] = {
      {"one video", 200, R"({"video_count": 1})", "Folder set",
       "Found 1 video. Go back to the setup page and press Continue.", true},
      {"twelve videos", 200, R"({"video_count": 12})", "Folder set",
       "Found 12 videos. Go back to the setup page and press Continue.", true},
      {"count written as a whole float", 200, R"({"video_count": 12.0})", "Folder set",
       "Found 12 videos. Go back to the setup page and press Continue.", true},
      {"zero", 200, R"({"video_count": 0})", "Folder set", kNoVideos, true},
      {"absent", 200, R"({"ok": true})", "Folder set", kNoVideos, true},
      {"negative", 200, R"({"video_count": -4})", "Folder set", kNoVideos, true},
      {"fraction", 200, R"({"video_count": 2.5})", "Folder set", kNoVideos, true},
      {"count as text", 200, R"({"video_count": "12"})", "Folder set", kNoVideos, true},
      {"count too large", 200, R"({"video_count": 18446744073709551615})", "Folder set", kNoVideos,
       true},
      {"array body", 200, R"([{"video_count": 3}])", "Folder set", kNoVideos, true},
      {"not json", 200, "<html>oops</html>", "Folder set", kNoVideos, true},
      {"empty body", 200, "", "Folder set", kNoVideos, true},
      {"error wins over a count", 200,
       R"({"error": "That folder is not readable.", "video_count": 5})",
       "Could not use that folder", "That folder is not readable.", false},
      {"error with a failure status", 400, R"({"error": "No such folder."})",
       "Could not use that folder", "No such folder.", false},
      {"failure status without error", 500, R"({"video_count": 4})", "Folder set",
       "Found 4 videos. Go back to the setup page and press Continue.", true},
      {"null error ignored", 200, R"({"error": null, "video_count": 3})", "Folder set",
       "Found 3 videos. Go back to the setup page and press Continue.", true},
      {"numeric error ignored", 200, R"({"error": 7, "video_count": 2})", "Folder set",
       "Found 2 videos. Go back to the setup page and press Continue.", true},
  };
  for (const auto& c : cases) {
    LoopbackServer engine;
    TestPlatform scoped;
    scoped.sandbox.write("Library/Application Support/Kestrova/config.json",
                         R"({"port": )" + std::to_string(engine.port()) + "}");
    engine.on("POST", "/api/setup/folder", LoopbackReply{.status = c.status, .body = c.body});
    auto controller = AppDelegate::create();
    scoped.ui.folders.push_back(kFolder);
    controller->chooseMediaFolder();
    ASSERT_TRUE(scoped.loop.runUntil([&] { return !scoped.ui.alerts.empty(); })) << c.name;
    scoped.loop.runUntilIdle();

    ASSERT_EQ(scoped.ui.alerts.size(), 1u) << c.name;
    const AlertSpec expected{c.message, c.informative, {"OK"}, std::nullopt};
    EXPECT_EQ(shown(scoped.ui.alerts[0]), shown(expected)) << c.name;
    const bool opened = scoped.ui.webWindow != nullptr && scoped.ui.webWindow->broughtToFront > 0;
    EXPECT_EQ(opened, c.opensDashboard) << c.name;
    EXPECT_EQ(engine.requestCount(), 1u) << c.name;
  }
}

TEST_F(MediaFolderTest, SendsThePlainPathAsCompactJson) {
  server.on("POST", "/api/setup/folder", LoopbackReply{.body = R"({"video_count": 2})"});
  const std::string folder = "/Users/Zoë Ångström/My Videos — 東京 100%";
  chooseAndWait(folder);

  ASSERT_EQ(server.requestCount(), 1u);
  const auto request = server.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, "/api/setup/folder");
  EXPECT_EQ(request.header("Content-Type"), "application/json");
  EXPECT_EQ(request.body, "{\"path\":\"" + folder + "\"}");
  EXPECT_EQ(request.body.find("%C3"), std::string::npos);
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
  int closedPort = 0;
  {
    LoopbackServer gone;
    closedPort = gone.port();
  }
  usePort(closedPort);
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

TEST_F(MediaFolderTest, ThePendingRequestKeepsItsOwnerAliveUntilTold) {
  server.on("POST", "/api/setup/folder", LoopbackReply{.body = R"({"video_count": 1})"});
  auto owner = std::make_shared<int>(0);
  std::weak_ptr<int> watch = owner;
  test.ui.folders.push_back(kFolder);
  MediaFolder::choose([owner] { ++*owner; });
  owner.reset();
  EXPECT_FALSE(watch.expired());

  ASSERT_TRUE(test.loop.runUntil([&] { return !test.ui.alerts.empty(); }));
  test.loop.runUntilIdle();
  EXPECT_TRUE(watch.expired());
}

TEST(MediaFolderRequest, BodyIsCompactAndAbsentForBytesThatAreNotText) {
  EXPECT_EQ(MediaFolder::requestBody("/a \"quoted\" \\ path"),
            R"({"path":"/a \"quoted\" \\ path"})");
  EXPECT_FALSE(MediaFolder::requestBody("/bad\xff\xfe").has_value());
}

}  // namespace
}  // namespace kestrova
