// The built stand-in engine as a real process in a sandboxed home: it must honour the engine's
// contract (status, media-folder setup, dashboard page, config.json, stream.log) so the product
// can run and be tested on Linux, and stop cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/engine/engine_status.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"

namespace kestrova::testing {
namespace {

using nlohmann::json;

constexpr const char* kEngine = KESTROVA_ENGINE_RUNTIME_DIR "/kestrova-engine";
constexpr const char* kConfig = "Library/Application Support/Kestrova/config.json";
constexpr const char* kStreamLog = "Library/Application Support/Kestrova/logs/stream.log";

// The engine run as launchd would run it: its own process, HOME and KESTROVA_RESOURCES set.
class EngineProcess {
 public:
  explicit EngineProcess(const std::string& home) {
    std::vector<std::string> arguments = {"/usr/bin/env", "HOME=" + home,
                                          "KESTROVA_RESOURCES=/resources/engine", kEngine};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    // env replaces itself with the engine: the pid is the engine's.
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
  }
  ~EngineProcess() { stop(); }
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  [[nodiscard]] bool started() const { return pid_ > 0; }
  // SIGTERM, then the wait status; -1 when it was not running.
  int stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = -1;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};

class StandInEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(port, 0);
    sandbox.write(kConfig, "{\"port\": " + std::to_string(port) + "}");
    start();
  }

  void start() {
    engine = std::make_unique<EngineProcess>(sandbox.home());
    ASSERT_TRUE(engine->started());
    // A real process needs real time to open its socket.
    ASSERT_TRUE(eventually([&] { return static_cast<bool>(client().Get("/api/status")); }, 10));
  }

  httplib::Client client() const {
    httplib::Client c("127.0.0.1", port);
    c.set_connection_timeout(std::chrono::seconds(2));
    c.set_read_timeout(std::chrono::seconds(5));
    return c;
  }
  json getStatus() const {
    auto reply = client().Get("/api/status");
    return reply ? json::parse(reply->body, nullptr, false) : json();
  }
  json postJSON(const std::string& path, const std::string& body) const {
    auto reply = client().Post(path, body, "application/json");
    return reply ? json::parse(reply->body, nullptr, false) : json();
  }
  json setFolder(const std::string& folder) const {
    return postJSON("/api/setup/folder", json{{"path", folder}}.dump());
  }

  Sandbox sandbox;
  int port = freePort();
  std::unique_ptr<EngineProcess> engine;
};

TEST_F(StandInEngine, NeedsSetupUntilAFolderWithVideosIsChosenThenBroadcastsIt) {
  const json before = getStatus();
  ASSERT_TRUE(before.is_object()) << before;
  EXPECT_EQ(before["setup_complete"], false);
  EXPECT_EQ(before["enabled"], false);
  EXPECT_EQ(deriveStatus(before.dump()).status, EngineStatus::needsSetup);

  for (const char* name : {"one.mp4", "two.mp4", "three.mp4", "notes.txt"}) {
    sandbox.write(std::string("Movies/Channel/") + name, "not really a video");
  }
  EXPECT_EQ(setFolder(sandbox.path("Movies/Channel")), (json{{"video_count", 3}}));

  const json after = getStatus();
  EXPECT_EQ(after["setup_complete"], true);
  EXPECT_EQ(after["enabled"], true);
  EXPECT_EQ(after["playing"], true);
  EXPECT_EQ(after["live_mode"], false);
  ASSERT_TRUE(after["now"].is_string());
  const std::string now = after["now"];
  EXPECT_TRUE(now == "one.mp4" || now == "two.mp4" || now == "three.mp4") << now;
  EXPECT_EQ(deriveStatus(after.dump()).status, EngineStatus::onAir);

  // The choice is kept beside the port, and outlives the process.
  const json config = json::parse(sandbox.read(kConfig), nullptr, false);
  EXPECT_EQ(config["port"], port);
  EXPECT_EQ(config["media_folder"], sandbox.path("Movies/Channel"));
  EXPECT_EQ(engine->stop(), 0);
  start();
  EXPECT_EQ(getStatus()["setup_complete"], true);
}

TEST_F(StandInEngine, RefusesFoldersAndRequestsItCannotUseWithAnErrorText) {
  sandbox.write("file.mp4", "");
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"missing folder", json{{"path", sandbox.path("nowhere")}}.dump()},
      {"a file", json{{"path", sandbox.path("file.mp4")}}.dump()},
      {"not JSON", "path=/tmp"},
      {"an array", R"(["/tmp"])"},
      {"path not a string", R"({"path": 3})"},
      {"no path", R"({})"},
  };
  for (const auto& [name, body] : refused) {
    const json reply = postJSON("/api/setup/folder", body);
    EXPECT_TRUE(reply.is_object() && reply.contains("error") && reply["error"].is_string())
        << name << ": " << reply;
  }
  EXPECT_TRUE(postJSON("/api/live", "{").contains("error"));
  EXPECT_TRUE(getStatus().is_object()) << "the engine must survive bad requests";
  EXPECT_EQ(getStatus()["setup_complete"], false);
}

TEST_F(StandInEngine, LiveModeShowsTheEventAndStoppingEndsTheBroadcast) {
  sandbox.write("Videos/a.MOV", "");
  ASSERT_EQ(setFolder(sandbox.path("Videos")), (json{{"video_count", 1}}));
  postJSON("/api/live", R"({"live_mode": true, "title": "Harbour festival"})");
  const StatusReport live = deriveStatus(getStatus().dump());
  EXPECT_EQ(live.status, EngineStatus::live);
  EXPECT_EQ(live.now, "Harbour festival");
  postJSON("/api/live", R"({"live_mode": false})");
  postJSON("/api/broadcast", R"({"enabled": false})");
  EXPECT_EQ(deriveStatus(getStatus().dump()).status, EngineStatus::idle);
}

TEST_F(StandInEngine, ServesTheDashboardPageAndLogsWhatItDoes) {
  const auto page = client().Get("/");
  ASSERT_TRUE(page);
  EXPECT_TRUE(page->get_header_value("Content-Type").starts_with("text/html"));
  EXPECT_NE(page->body.find("<html"), std::string::npos);
  EXPECT_NE(page->body.find("confirm("), std::string::npos);
  EXPECT_NE(page->body.find("prompt("), std::string::npos);

  const std::string logBefore = sandbox.read(kStreamLog);
  EXPECT_NE(logBefore.find("/resources/engine"), std::string::npos) << logBefore;
  sandbox.write("Clips/x.webm", "");
  setFolder(sandbox.path("Clips"));
  const std::string logAfter = sandbox.read(kStreamLog);
  EXPECT_GT(logAfter.size(), logBefore.size());
  EXPECT_NE(logAfter.find(sandbox.path("Clips")), std::string::npos);
}

TEST(StandInEngineConfig, CreatesItsConfigurationWithTheDefaultPortWhenMissing) {
  Sandbox sandbox;
  EngineProcess engine(sandbox.home());
  ASSERT_TRUE(engine.started());
  // Whether 8787 is free on this machine or not, the log says so once the file is written.
  (void)eventually([&] { return sandbox.read(kStreamLog).find("listen") != std::string::npos; },
                   10);
  engine.stop();
  EXPECT_EQ(json::parse(sandbox.read(kConfig), nullptr, false), (json{{"port", 8787}}));
}

}  // namespace
}  // namespace kestrova::testing
