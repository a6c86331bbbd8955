// Handing the engine the chosen video folder: the reply as the controller reads it, and the
// command from the panel to the alert and the dashboard.
#include "app/dashboard/media_folder.h"

#include <gtest/gtest.h>

#include "tests/integration/controller_fixture.h"

namespace kestrova::testing {
namespace {

const std::string kNoVideos =
    "That folder has no videos in it yet. Add some files, or choose another folder.";
const std::string kFound12 = "Found 12 videos. Go back to the setup page and press Continue.";

// Only the transport error and the body count, never the status.
TEST(MediaFolderReply, TheEnginesRefusalOrTheCountToldAsText) {
  const std::pair<const char*, std::string> rows[] = {
      {R"({"video_count": 1})", "Found 1 video. Go back to the setup page and press Continue."},
      {R"({"video_count": 12.0, "error": 7})", kFound12},
      {R"({"video_count": 0})", kNoVideos},
      {R"({"video_count": -4})", kNoVideos},
      {R"({"video_count": 2.5})", kNoVideos},
      {R"({"video_count": "12"})", kNoVideos},
      {R"({"video_count": 18446744073709551615})", kNoVideos},
      {"<html>oops</html>", kNoVideos},
      {R"({"error": "Not readable.", "video_count": 5})", "Not readable."},
  };
  for (const auto& [body, told] : rows) {
    const MediaFolder::Reply reply = MediaFolder::readReply({std::nullopt, 500, body});
    EXPECT_EQ(reply.message.value_or(MediaFolder::countText(reply.count)), told) << body;
  }
  EXPECT_FALSE(MediaFolder::requestBody("/bad\xff\xfe").has_value());
}

// Cancel sends nothing; without an engine the transport error is shown and no dashboard; a
// chosen folder goes as JSON, its count is told, then the dashboard opens.
TEST_F(ControllerTest, TheChosenFolderGoesToTheEngineAndItsAnswerIsTold) {
  const auto choose = [&](const std::optional<std::string>& folder) {
    platform.ui.folders.push_back(folder);
    delegate->chooseMediaFolder();
    platform.loop.runUntilIdle();
    return platform.ui.webWindow && platform.ui.webWindow->broughtToFront > 0;  // the dashboard
  };
  choose(std::nullopt);
  EXPECT_EQ(platform.ui.activations, 1) << "the panel comes in front";
  EXPECT_EQ(platform.ui.panels.at(0).message,
            "Kestrova will broadcast the videos in this folder \u2014 and read nothing else.");
  EXPECT_FALSE(choose("/Users/ana/Movies"));
  http.on("/api/setup/folder", R"({"video_count": 12})");
  EXPECT_TRUE(choose("/Users/Zo\u00eb/My \"Videos\" \\ \u2014 100%"));
  EXPECT_EQ(alerts(), (std::vector{ok("Could not use that folder", ScriptedHttp::kRefused),
                                   ok("Folder set", kFound12)}));
  const HttpRequest sent = http.sent.at(1);
  EXPECT_EQ(sent.method + " " + sent.url, "POST http://127.0.0.1:8800/api/setup/folder");
  EXPECT_EQ(sent.headers, (decltype(sent.headers){{"Content-Type", "application/json"}}));
  EXPECT_EQ(sent.timeoutSeconds, 10.0) << "an engine that never answers must not hold the alert";
  EXPECT_FALSE(sent.followRedirects) << "a redirect would post the folder to someone else";
  EXPECT_EQ(sent.body, "{\"path\":\"/Users/Zo\u00eb/My \\\"Videos\\\" \\\\ \u2014 100%\"}");
}

// The program's end: the controller goes while its requests are in flight; their late replies
// neither keep it alive nor reach the user.
TEST_F(ControllerTest, ARequestThatOutlivesTheControllerTellsNothing) {
  http.on("/api/setup/folder", "{}", 60);
  http.on("/appcast.json", "{}", 60);
  http.on("/api/status", "{}", 60);
  platform.ui.folders.push_back("/Users/ana/Movies");
  delegate->chooseMediaFolder();
  delegate->checkForUpdates();
  delegate->poll();
  platform.loop.runUntilIdle();
  ASSERT_EQ(http.sent.size(), 3u);
  const std::weak_ptr<AppDelegate> watch = delegate;
  delegate.reset();
  EXPECT_TRUE(watch.expired()) << "a pending request holds the controller";
  platform.loop.advance(60);
  EXPECT_EQ(alerts(), std::vector<AlertSpec>{});
}

}  // namespace
}  // namespace kestrova::testing
