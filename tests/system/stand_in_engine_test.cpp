// The built stand-in engine as a real process in a sandboxed home, for the parts of the engine's
// contract the app reads: the status fields through each state, the folder reply with its count
// or its refusal, and the configuration it writes when none exists.
#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/engine/engine_status.h"
#include "tests/support/child_process.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"

namespace kestrova::testing {
namespace {

using nlohmann::json;

constexpr const char* kConfig = "Library/Application Support/Kestrova/config.json";

ChildSpec engineIn(const Sandbox& sandbox) {
  return {.argv = {KESTROVA_ENGINE_RUNTIME_DIR "/kestrova-engine"},
          .env = {"HOME=" + sandbox.home(), "KESTROVA_RESOURCES=/resources/engine"}};
}

TEST(StandInEngine, GoesFromSetupNeededToOnAirLiveAndIdleAndRefusesWhatItCannotUse) {
  Sandbox sandbox;
  const int port = freePort();
  sandbox.write(kConfig, "{\"port\": " + std::to_string(port) + "}");
  ChildProcess engine(engineIn(sandbox));
  httplib::Client client("127.0.0.1", port);
  const auto status = [&] {
    const auto reply = client.Get("/api/status");
    return reply ? deriveStatus(reply->body).status : EngineStatus::offline;
  };
  const auto post = [&](const std::string& path, const std::string& body) {
    const auto reply = client.Post(path, body, "application/json");
    return reply ? json::parse(reply->body, nullptr, false) : json();
  };
  ASSERT_TRUE(eventually([&] { return status() != EngineStatus::offline; }));
  EXPECT_EQ(status(), EngineStatus::needsSetup);
  sandbox.write("file.mp4", "");
  for (const std::string& body : std::vector<std::string>{
           json{{"path", sandbox.path("nowhere")}}.dump(),
           json{{"path", sandbox.path("file.mp4")}}.dump(), "path=/tmp", R"({"path": 3})"}) {
    EXPECT_TRUE(post("/api/setup/folder", body).value("error", json()).is_string()) << body;
  }
  EXPECT_EQ(status(), EngineStatus::needsSetup);

  for (const char* name : {"one.mp4", "two.MOV", "three.webm", "notes.txt"}) {
    sandbox.write(std::string("Movies/") + name, "not really a video");
  }
  EXPECT_EQ(post("/api/setup/folder", json{{"path", sandbox.path("Movies")}}.dump()),
            (json{{"video_count", 3}}));
  EXPECT_EQ(status(), EngineStatus::onAir);
  post("/api/live", R"({"live_mode": true, "title": "Harbour festival"})");
  EXPECT_EQ(deriveStatus(client.Get("/api/status")->body),
            (StatusReport{EngineStatus::live, "Harbour festival"}));
  post("/api/live", R"({"live_mode": false})");
  post("/api/broadcast", R"({"enabled": false})");
  EXPECT_EQ(status(), EngineStatus::idle);
  EXPECT_EQ(json::parse(sandbox.read(kConfig), nullptr, false)["media_folder"],
            sandbox.path("Movies"));
}

TEST(StandInEngine, WritesItsConfigurationWithTheDefaultPortWhenThereIsNone) {
  Sandbox sandbox;
  ChildProcess engine(engineIn(sandbox));
  // Whether 8787 is free on this machine or not, the log says so once the file is written.
  ASSERT_TRUE(eventually([&] {
    return sandbox.read("Library/Application Support/Kestrova/logs/stream.log").find("listen") !=
           std::string::npos;
  }));
  EXPECT_EQ(json::parse(sandbox.read(kConfig), nullptr, false), (json{{"port", 8787}}));
}

}  // namespace
}  // namespace kestrova::testing
