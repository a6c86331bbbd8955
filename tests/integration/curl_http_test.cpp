// CurlHttp against a real server on 127.0.0.1: bodies, limits, refusals, redirects, downloads,
// the URL-loading thread, and shutdown with transfers in flight.
#include "app/platform/curl_http.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "app/platform/posix_command_runner.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace kestrova {
namespace {

using testing::closedURL;
using testing::entriesIn;
using testing::LoopbackReply;
using testing::LoopbackServer;
using testing::readFile;
using testing::RecordedRequest;
namespace fs = std::filesystem;

// A guard against a hang, not a measurement: every transfer here ends well within it.
constexpr auto kHangGuard = std::chrono::seconds(30);

HttpResponse sendAndWait(Http& http, HttpRequest request) {
  std::promise<HttpResponse> promise;
  auto future = promise.get_future();
  http.send(std::move(request),
            [&promise](HttpResponse response) { promise.set_value(std::move(response)); });
  if (future.wait_for(kHangGuard) != std::future_status::ready) {
    ADD_FAILURE() << "no completion";
    return {};
  }
  return future.get();
}

HttpResponse get(Http& http, const std::string& url, double timeout = 10) {
  return sendAndWait(http, HttpRequest{"GET", url, {}, std::nullopt, timeout});
}

class CurlHttpTest : public ::testing::Test {
 protected:
  // Downloads go to a private temporary folder, so what they leave behind can be counted
  // without other programs' files in the way.
  testing::Sandbox temporary;
  testing::ScopedEnv tmpdir{"TMPDIR", temporary.home()};
  LoopbackServer server;
  CurlHttp http;
};

TEST_F(CurlHttpTest, DeliversTheBodyWhateverTheStatusCode) {
  struct Case {
    int status;
    std::string body;
  };
  const std::vector<Case> cases{{404, "missing"}, {503, ""}, {200, std::string("bin\0ary\xFF", 8)}};
  for (const auto& c : cases) {
    server.on("GET", "/reply", LoopbackReply{c.status, c.body, "application/json", 0, {}});
    const HttpResponse response = get(http, server.url("/reply"));
    EXPECT_FALSE(response.error) << c.status << ": " << response.error.value_or("");
    EXPECT_EQ(response.statusCode, c.status);
    ASSERT_TRUE(response.body) << c.status;
    EXPECT_EQ(*response.body, c.body);
  }
}

TEST_F(CurlHttpTest, PostsHeadersAndBodyAsGivenAndAnEmptyPostIsStillAPost) {
  server.on("POST", "/api/setup/folder", LoopbackReply{.body = R"({"video_count":3})"});
  const std::string body = "{\"path\":\"/Users/me/Movies/My \xC3\xA9t\xC3\xA9\"}";
  const HttpResponse response = sendAndWait(
      http, HttpRequest{"POST",
                        server.url("/api/setup/folder"),
                        {{"Content-Type", "application/json"}, {"X-Kestrova", "yes please"}},
                        body,
                        10});
  EXPECT_EQ(response.body.value_or(""), R"({"video_count":3})");
  server.on("POST", "/empty", LoopbackReply{.body = "ok"});
  EXPECT_EQ(sendAndWait(http, HttpRequest{"POST", server.url("/empty"), {}, std::nullopt, 10})
                .body.value_or(""),
            "ok");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/api/setup/folder");
  EXPECT_EQ(requests[0].body, body);
  EXPECT_EQ(requests[0].header("content-type").value_or(""), "application/json");
  EXPECT_EQ(requests[0].header("x-kestrova").value_or(""), "yes please");
  EXPECT_EQ(requests[1].method, "POST");
}

TEST_F(CurlHttpTest, ASlowServerOrARefusedConnectionGivesAReadableErrorAndNoBody) {
  server.on("GET", "/slow", LoopbackReply{.body = "{}", .delaySeconds = 20});
  const HttpResponse late = get(http, server.url("/slow"), 1.0);
  ASSERT_TRUE(late.error);
  EXPECT_NE(late.error->find("Timeout was reached"), std::string::npos) << *late.error;
  EXPECT_FALSE(late.body);

  const HttpResponse refused = get(http, closedURL("/"));
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->rfind("Couldn't connect to server", 0), 0u) << *refused.error;
  EXPECT_FALSE(refused.body);
  EXPECT_EQ(refused.statusCode, 0);
}

TEST_F(CurlHttpTest, OnlyHttpAndHttpsAreEverSpoken) {
  const std::string authority = "127.0.0.1:" + std::to_string(server.port());
  const std::vector<std::string> urls{
      "FILE:///etc/passwd", "dict://" + authority + "/",
      authority + "/api/status",  // no scheme at all: libcurl would guess one
  };
  for (const auto& url : urls) {
    const HttpResponse response = get(http, url);
    EXPECT_TRUE(response.error) << url;
    EXPECT_FALSE(response.body) << url;
  }
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(CurlHttpTest, FollowsRedirectsButNeverToAnotherProtocol) {
  server.on("GET", "/new", LoopbackReply{.body = "arrived"});
  server.on("GET", "/old", LoopbackReply{302, "", "text/plain", 0, {{"Location", "/new"}}});
  server.on("GET", "/to-file",
            LoopbackReply{302, "", "text/plain", 0, {{"Location", "file:///etc/passwd"}}});
  server.on("GET", "/to-ftp",
            LoopbackReply{301, "", "text/plain", 0, {{"Location", "ftp://127.0.0.1/etc/passwd"}}});
  server.on("GET", "/loop", LoopbackReply{302, "", "text/plain", 0, {{"Location", "/loop"}}});

  const HttpResponse followed = get(http, server.url("/old"));
  EXPECT_FALSE(followed.error);
  EXPECT_EQ(followed.statusCode, 200);
  EXPECT_EQ(followed.body.value_or(""), "arrived");

  for (const std::string path : {"/to-file", "/to-ftp", "/loop"}) {
    const HttpResponse refused = get(http, server.url(path));
    EXPECT_TRUE(refused.error) << path;
    EXPECT_FALSE(refused.body) << path;
  }
}

TEST_F(CurlHttpTest, ADownloadIsATemporaryFileGoneAfterTheCompletionUnlessMovedAway) {
  const std::string payload(300'000, 'd');
  server.on("GET", "/Kestrova.dmg",
            LoopbackReply{.body = payload, .contentType = "application/octet-stream"});
  std::string seenPath;
  std::string seenContents;
  std::promise<DownloadResult> done;
  http.download(HttpRequest{"GET", server.url("/Kestrova.dmg"), {}, std::nullopt, 10},
                [&](DownloadResult result) {
                  if (result.file) {
                    seenPath = *result.file;
                    seenContents = readFile(*result.file);
                  }
                  done.set_value(std::move(result));
                });
  auto future = done.get_future();
  ASSERT_EQ(future.wait_for(kHangGuard), std::future_status::ready);
  EXPECT_FALSE(future.get().error);
  EXPECT_EQ(fs::path(seenPath).parent_path(), fs::path(temporary.home()));
  EXPECT_EQ(seenContents, payload);

  // A completion may keep the file by moving it away. Completions run one after another, so
  // once this later one has run the first download's has returned and its file is gone.
  const fs::path kept = temporary.path("kept");
  std::promise<void> moved;
  http.download(HttpRequest{"GET", server.url("/Kestrova.dmg"), {}, std::nullopt, 10},
                [&](DownloadResult r) {
                  if (r.file) fs::rename(*r.file, kept);
                  moved.set_value();
                });
  ASSERT_EQ(moved.get_future().wait_for(kHangGuard), std::future_status::ready);
  EXPECT_FALSE(fs::exists(seenPath));
  EXPECT_EQ(readFile(kept), payload);
  fs::remove(kept);
  EXPECT_EQ(entriesIn(temporary.home()), 0u);
}

TEST_F(CurlHttpTest, AFailedDownloadHasAnErrorAndLeavesNoFile) {
  server.on("GET", "/slow", LoopbackReply{.body = "late", .delaySeconds = 20});
  for (const std::string& url :
       {closedURL("/"), server.url("/slow"), std::string("file:///etc/passwd")}) {
    std::promise<DownloadResult> done;
    http.download(HttpRequest{"GET", url, {}, std::nullopt, 1.0},
                  [&](DownloadResult r) { done.set_value(std::move(r)); });
    auto future = done.get_future();
    ASSERT_EQ(future.wait_for(kHangGuard), std::future_status::ready);
    const DownloadResult result = future.get();
    EXPECT_TRUE(result.error) << url;
    EXPECT_FALSE(result.file) << url;
  }
  EXPECT_EQ(entriesIn(temporary.home()), 0u);
}

TEST_F(CurlHttpTest, TransfersRunTogetherWhileCompletionsRunOneAtATimeOffTheCallersThread) {
  // Each request is held until all of them have arrived: only concurrent transfers get "together".
  constexpr int kRequests = 6;
  std::mutex arrivals;
  std::condition_variable allArrived;
  int arrived = 0;
  server.on("GET", "/together", [&](const RecordedRequest&) {
    std::unique_lock lock(arrivals);
    ++arrived;
    allArrived.notify_all();
    const bool together =
        allArrived.wait_for(lock, std::chrono::seconds(10), [&] { return arrived >= kRequests; });
    return LoopbackReply{.body = together ? "together" : "alone"};
  });

  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::vector<std::string> bodies;
  std::atomic<int> running{0};
  std::atomic<int> overlaps{0};
  std::promise<void> finished;
  for (int i = 0; i < kRequests; ++i) {
    http.send(HttpRequest{"GET", server.url("/together"), {}, std::nullopt, 20},
              [&](HttpResponse r) {
                if (running.fetch_add(1) != 0) ++overlaps;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));  // widen any overlap
                std::lock_guard lock(mutex);
                threads.insert(std::this_thread::get_id());
                bodies.push_back(r.body.value_or(r.error.value_or("?")));
                running.fetch_sub(1);
                if (bodies.size() == kRequests) finished.set_value();
              });
  }
  ASSERT_EQ(finished.get_future().wait_for(kHangGuard), std::future_status::ready);
  std::lock_guard lock(mutex);
  EXPECT_EQ(bodies, std::vector<std::string>(kRequests, "together"));
  EXPECT_EQ(overlaps.load(), 0);
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST(CurlHttpTls, RefusesAServerWhoseCertificateIsNotTrusted) {
  // A self-signed certificate for 127.0.0.1: the name matches, only the trust is missing.
  testing::Sandbox sandbox;
  const std::string key = sandbox.path("key.pem");
  const std::string cert = sandbox.path("cert.pem");
  const ShellResult made = PosixCommandRunner().run(
      "/usr/bin/openssl",
      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
       "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"},
      30);
  ASSERT_EQ(made.status, 0) << made.output;
  httplib::SSLServer server(cert.c_str(), key.c_str());
  ASSERT_TRUE(server.is_valid());
  std::atomic<int> served{0};
  server.Get("/", [&](const httplib::Request&, httplib::Response& res) {
    ++served;
    res.set_content("secret", "text/plain");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread listener([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  CurlHttp http;
  const HttpResponse response = get(http, "https://127.0.0.1:" + std::to_string(port) + "/");
  server.stop();
  listener.join();
  ASSERT_TRUE(response.error);
  EXPECT_FALSE(response.body);
  EXPECT_EQ(served.load(), 0);
  EXPECT_NE(response.error->find("certificate"), std::string::npos) << *response.error;
}

std::size_t openDescriptors() { return entriesIn("/proc/self/fd"); }
std::size_t threadCount() { return entriesIn("/proc/self/task"); }

void exerciseOnce() {
  LoopbackServer server;
  server.on("GET", "/warm", LoopbackReply{.body = "warm"});
  CurlHttp http;
  EXPECT_EQ(get(http, server.url("/warm")).body.value_or(""), "warm");
}

TEST(CurlHttpShutdown, EndsTransfersInFlightAndLeavesNoThreadOrDescriptor) {
  exerciseOnce();  // libcurl's one-time set-up keeps what it opens for the process's lifetime
  const std::size_t descriptorsBefore = openDescriptors();
  const std::size_t threadsBefore = threadCount();
  {
    LoopbackServer server;
    server.on("GET", "/hang", LoopbackReply{.body = "never", .delaySeconds = 60});
    std::mutex mutex;
    std::vector<std::string> errors;
    std::atomic<int> downloads{0};
    const HttpRequest hang{"GET", server.url("/hang"), {}, std::nullopt, 60};
    {
      CurlHttp http;
      for (int i = 0; i < 4; ++i) {
        http.send(hang, [&](HttpResponse r) {
          std::lock_guard lock(mutex);
          errors.push_back(r.error.value_or("no error"));
          // A completion that sends again while the client shuts down is answered, not lost.
          if (errors.size() == 1) {
            http.send(hang, [&](HttpResponse again) {
              std::lock_guard innerLock(mutex);
              errors.push_back(again.error.value_or("no error"));
            });
          }
        });
      }
      http.download(hang, [&](DownloadResult r) {
        EXPECT_FALSE(r.file);
        std::lock_guard lock(mutex);
        errors.push_back(r.error.value_or("no error"));
        ++downloads;
      });
      // Wait until the server holds every transfer, so they are truly in flight.
      for (int i = 0; i < 1000 && server.requestCount() < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      ASSERT_EQ(server.requestCount(), 5u);
    }
    EXPECT_EQ(errors, std::vector<std::string>(6, "cancelled"));
    EXPECT_EQ(downloads.load(), 1);
  }
  EXPECT_EQ(openDescriptors(), descriptorsBefore);
  EXPECT_EQ(threadCount(), threadsBefore);
}

}  // namespace
}  // namespace kestrova
