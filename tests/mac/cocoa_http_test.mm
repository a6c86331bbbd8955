// CocoaHttp against a real server on 127.0.0.1: bodies, refusals, limits, downloads, the serial
// URL-loading queue and shutdown with a transfer in flight. Mac only.
#include "frontends/cocoa/cocoa_http.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <tuple>

#include "tests/support/loopback_server.h"
#include "tests/support/sandbox.h"

namespace kestrova {
namespace {

using testing::LoopbackReply;
using testing::LoopbackServer;

// A guard against a hang, not a measurement.
constexpr auto kHangGuard = std::chrono::seconds(30);

template <typename Result, typename Start>
Result await(Start start) {
  std::promise<Result> promise;
  auto future = promise.get_future();
  start([&promise](Result result) { promise.set_value(std::move(result)); });
  EXPECT_EQ(future.wait_for(kHangGuard), std::future_status::ready) << "no completion";
  return future.get();
}

HttpResponse send(Http& http, HttpRequest request) {
  return await<HttpResponse>([&](auto done) { http.send(std::move(request), done); });
}

class CocoaHttpTest : public ::testing::Test {
 protected:
  LoopbackServer server;
  cocoa::CocoaHttp http;
};

TEST_F(CocoaHttpTest, AnswersWithBodiesAndRefusesWhatIsNotTheWeb) {
  server.on("GET", "/missing", LoopbackReply{404, "not here", "text/plain", 0, {}});
  const HttpResponse missing = send(http, HttpRequest{.url = server.url("/missing")});
  EXPECT_EQ(std::tuple(missing.error.value_or(""), missing.statusCode, missing.body.value_or("-")),
            std::tuple("", 404L, "not here"));

  for (const std::string url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "", "127.0.0.1/"}) {
    const HttpResponse refused = send(http, HttpRequest{.url = url});
    EXPECT_EQ(refused.error.value_or("") + refused.body.value_or(" and a body"), "unsupported URL")
        << url;
  }
}

TEST_F(CocoaHttpTest, ADownloadIsATemporaryFileGoneOnceTheCompletionReturns) {
  server.on("GET", "/image.dmg", LoopbackReply{.body = "disk image bytes"});
  std::string seen;
  const DownloadResult result = await<DownloadResult>([&](auto done) {
    http.download(HttpRequest{.url = server.url("/image.dmg")}, [&seen, done](DownloadResult r) {
      seen = testing::readFile(r.file.value_or(""));
      done(r);
    });
  });
  ASSERT_TRUE(result.file) << result.error.value_or("");
  EXPECT_EQ(seen, "disk image bytes");
  EXPECT_FALSE(std::filesystem::exists(*result.file));
}

TEST_F(CocoaHttpTest, CompletionsRunOneAtATimeOffTheCallersThread) {
  server.on("GET", "/status", LoopbackReply{.body = "{}", .delaySeconds = 0.2});
  std::atomic<int> inside{0}, done{0};
  std::atomic<bool> overlapped{false}, onCaller{false};
  std::promise<void> all;
  const pthread_t caller = pthread_self();
  for (int i = 0; i < 6; ++i) {
    http.send(HttpRequest{.url = server.url("/status")}, [&](const HttpResponse&) {
      overlapped = overlapped || inside.fetch_add(1) > 0;
      onCaller = onCaller || pthread_equal(pthread_self(), caller) != 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      inside.fetch_sub(1);
      if (++done == 6) all.set_value();
    });
  }
  ASSERT_EQ(all.get_future().wait_for(kHangGuard), std::future_status::ready);
  EXPECT_FALSE(overlapped || onCaller);
}

// A slow reply ends with no body at the whole transfer's limit; shutting down cancels one in
// flight and refuses what comes after.
TEST_F(CocoaHttpTest, ASlowReplyEndsAtTheTransferLimitOrAtShutdown) {
  server.on("GET", "/slow", LoopbackReply{.body = "{}", .delaySeconds = 20});
  const HttpResponse late =
      send(http, HttpRequest{.url = server.url("/slow"), .timeoutSeconds = 1.0});
  EXPECT_TRUE(late.error && !late.body);
  std::promise<HttpResponse> inFlight;
  http.send(HttpRequest{.url = server.url("/slow")},
            [&inFlight](HttpResponse r) { inFlight.set_value(std::move(r)); });
  http.shutDown();
  auto cancelled = inFlight.get_future();
  ASSERT_EQ(cancelled.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_EQ(cancelled.get().error.value_or(""), "cancelled");
  EXPECT_EQ(send(http, HttpRequest{.url = server.url("/slow")}).error.value_or(""), "cancelled");
}

}  // namespace
}  // namespace kestrova
