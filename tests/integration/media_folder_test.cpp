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
  const struct {
    int status;
    const char* body;
    std::optional<std::string> refusal;
    std::string countText;  // told when there is no refusal
  } rows[] = {
      {200, R"({"video_count": 1})", std::nullopt,
       "Found 1 video. Go back to the setup page and press Continue."},
      {500, R"({"video_count": 12.0})", std::nullopt, kFound12},
      {200, R"({"error": null, "video_count": 12})", std::nullopt, kFound12},
      {200, R"({"error": 7, "video_count": 12})", std::nullopt, kFound12},
      {200, R"({"video_count": 0})", std::nullopt, kNoVideos},
      {200, R"({"video_count": -4})", std::nullopt, kNoVideos},
      {200, R"({"video_count": 2.5})", std::nullopt, kNoVideos},
      {200, R"({"video_count": "12"})", std::nullopt, kNoVideos},
      {200, R"({"video_count": 18446744073709551615})", std::nullopt, kNoVideos},
      {200, R"([{"video_count": 3}])", std::nullopt, kNoVideos},
      {200, "<html>oops</html>", std::nullopt, kNoVideos},
      {200, R"({"error": "That folder is not readable.", "video_count": 5})",
       "That folder is not readable.", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.body);
    HttpResponse response;
    response.statusCode = row.status;
    response.body = row.body;
    const MediaFolder::Reply reply = MediaFolder::readReply(response);
    EXPECT_EQ(reply.message, row.refusal);
    if (!row.refusal) {
      EXPECT_EQ(MediaFolder::countText(reply.count), row.countText);
    }
  }
  EXPECT_FALSE(MediaFolder::requestBody("/bad\xff\xfe").has_value());
}

class MediaFolderCommand : public ControllerTest {
 protected:
  void choose(const std::optional<std::string>& folder) {
    platform.ui.folders.push_back(folder);
    delegate->chooseMediaFolder();
    platform.loop.runUntilIdle();
  }
  [[nodiscard]] bool dashboardOpened() const {
    return platform.ui.webWindow != nullptr && platform.ui.webWindow->broughtToFront > 0;
  }
};

TEST_F(MediaFolderCommand, SendsThePlainPathTellsTheCountThenOpensTheDashboard) {
  http.on("/api/setup/folder", R"({"video_count": 12})");
  const std::string folder = "/Users/Zo\u00eb/My \"Videos\" \\ \u2014 \u6771\u4eac 100%";
  choose(folder);
  EXPECT_EQ(alerts(), (std::vector<AlertSpec>{{"Folder set", kFound12, {"OK"}, std::nullopt}}));
  EXPECT_TRUE(dashboardOpened());
  ASSERT_EQ(http.requests().size(), 1u);
  const HttpRequest sent = http.requests()[0];
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.url, "http://127.0.0.1:8800/api/setup/folder");
  EXPECT_EQ(
      sent.headers,
      (std::vector<std::pair<std::string, std::string>>{{"Content-Type", "application/json"}}));
  EXPECT_EQ(sent.body,
            "{\"path\":\"/Users/Zo\u00eb/My \\\"Videos\\\" \\\\ \u2014 \u6771\u4eac 100%\"}");
}

TEST_F(MediaFolderCommand, ThePanelComesInFrontAndCancelSendsNothing) {
  choose(std::nullopt);
  EXPECT_EQ(platform.ui.activations, 1);
  ASSERT_EQ(platform.ui.panels.size(), 1u);
  EXPECT_EQ(platform.ui.panels[0].title, "Choose your video folder");
  EXPECT_EQ(platform.ui.panels[0].message,
            "Kestrova will broadcast the videos in this folder \u2014 and read nothing else.");
  EXPECT_EQ(platform.ui.panels[0].prompt, "Use This Folder");
  EXPECT_TRUE(http.requests().empty());
  EXPECT_TRUE(alerts().empty());
}

TEST_F(MediaFolderCommand, NoEngineShowsTheTransportErrorAndNoDashboard) {
  choose("/Users/ana/Movies");
  EXPECT_EQ(alerts(),
            (std::vector<AlertSpec>{
                {"Could not use that folder", ScriptedHttp::kRefused, {"OK"}, std::nullopt}}));
  EXPECT_FALSE(dashboardOpened());
}

// The program's end: the controller goes while its requests are in flight; their late replies
// neither keep it alive nor reach the user.
TEST_F(MediaFolderCommand, ARequestThatOutlivesTheControllerTellsNothing) {
  http.on("/api/setup/folder", "{}", 60);
  http.on("/appcast.json", "{}", 60);
  platform.ui.folders.push_back("/Users/ana/Movies");
  delegate->chooseMediaFolder();
  delegate->checkForUpdates();
  platform.loop.runUntilIdle();
  ASSERT_EQ(http.requests().size(), 2u);
  const std::weak_ptr<AppDelegate> watch = delegate;
  delegate.reset();
  EXPECT_TRUE(watch.expired()) << "a pending request holds the controller";
  platform.loop.advance(60);
  EXPECT_EQ(alerts(), std::vector<AlertSpec>{});
}

}  // namespace
}  // namespace kestrova::testing
