// CurlHttp against a real server on 127.0.0.1: bodies, refusals, redirects, downloads, the
// completion thread, certificates, and shutdown with transfers in flight.
#include "app/platform/curl_http.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "app/platform/posix_command_runner.h"
#include "tests/support/loopback_server.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace kestrova {
namespace {

using testing::closedURL;
using testing::entriesIn;
using testing::LoopbackReply;
using testing::LoopbackServer;
namespace fs = std::filesystem;

// Waits for one completion; the limit guards against a hang, every transfer here ends well within.
template <typename Result, typename Start>
Result await(Start start) {
  std::promise<Result> promise;
  auto future = promise.get_future();
  start([&](Result result) { promise.set_value(std::move(result)); });
  if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    ADD_FAILURE() << "no completion";
    return {};
  }
  return future.get();
}

HttpResponse get(Http& http, const std::string& url, double timeout = 10,
                 std::optional<std::string> body = std::nullopt, std::string method = "GET") {
  return await<HttpResponse>([&](auto done) {
    http.send({method, url, {{"X-Kestrova", "yes please"}}, std::move(body), timeout}, done);
  });
}

class CurlHttpTest : public ::testing::Test {
 protected:
  // Downloads go to a private temporary folder, so what they leave behind can be counted.
  testing::Sandbox temporary;
  testing::ScopedEnv tmpdir{"TMPDIR", temporary.home()};
  LoopbackServer server;
  CurlHttp http;
};

TEST_F(CurlHttpTest, DeliversTheBodyWhateverTheStatusAndSendsTheRequestAsGivenPastAnyProxy) {
  for (const auto& [status, body] : std::vector<std::pair<int, std::string>>{
           {404, "missing"}, {503, ""}, {200, std::string("bin\0ary\xFF", 8)}}) {
    server.on("GET", "/reply", LoopbackReply{status, body, "application/json", 0, {}});
    const HttpResponse response = get(http, server.url("/reply"));
    EXPECT_EQ(response.error, std::nullopt);
    EXPECT_EQ(response.statusCode, status);
    EXPECT_EQ(response.body, body);
  }
  const std::string body = "{\"path\":\"/Users/me/Movies/\xC3\xA9t\xC3\xA9\"}";
  server.on("POST", "/folder", LoopbackReply{.body = "ok"});
  EXPECT_EQ(get(http, server.url("/folder"), 10, body, "POST").body, "ok");
  EXPECT_EQ(get(http, server.url("/folder"), 10, std::nullopt, "POST").body, "ok");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[3].body, body);
  EXPECT_TRUE(std::ranges::count(requests[3].headers,
                                 std::pair<std::string, std::string>("X-Kestrova", "yes please")));
  EXPECT_EQ(requests[4].method, "POST") << "an empty post is still a post";
  // The engine on 127.0.0.1 is reached directly, whatever proxy the environment names.
  const testing::ScopedEnv proxy{"http_proxy", closedURL("")}, upper{"HTTP_PROXY", closedURL("")},
      none{"no_proxy", std::nullopt}, noneUpper{"NO_PROXY", std::nullopt};
  EXPECT_EQ(get(http, server.url("/folder"), 10, std::nullopt, "POST").body, "ok");
}

TEST_F(CurlHttpTest, FailuresGiveAReadableErrorAndNoBodyAndOnlyHttpIsSpoken) {
  server.on("GET", "/new", LoopbackReply{.body = "arrived"});
  const auto redirect = [&](const std::string& from, const std::string& to) {
    server.on("GET", from, LoopbackReply{302, "", "text/plain", 0, {{"Location", to}}});
    return server.url(from);
  };
  EXPECT_EQ(get(http, redirect("/old", "/new")).body, "arrived");
  // The engine's requests follow no redirect (the redirect is the answer) and take a short body.
  HttpRequest engine{"GET", redirect("/old", "/new"), {}, {}};
  engine.followRedirects = false;
  engine.maxBodyBytes = 6;
  const auto send = [&] {
    return await<HttpResponse>([&](auto done) { http.send(engine, done); });
  };
  EXPECT_EQ(send().statusCode, 302);
  engine.url = server.url("/new");  // "arrived": 7 bytes
  EXPECT_EQ(send().error, "The response is too large");
  const std::string authority = "127.0.0.1:" + std::to_string(server.port());
  for (const std::string& url :
       {std::string("FILE:///etc/passwd"), "dict://" + authority + "/", authority,
        redirect("/to-file", "file:///etc/passwd"), redirect("/to-ftp", "ftp://127.0.0.1/x"),
        redirect("/loop", "/loop")}) {
    const HttpResponse response = get(http, url);
    EXPECT_TRUE(response.error && !response.body) << url;
  }
  EXPECT_TRUE(std::ranges::none_of(server.requests(), [](const auto& r) { return r.path == "/"; }))
      << "other schemes never reach the server";
}

TEST_F(CurlHttpTest, ADownloadIsATemporaryFileGoneAfterItsCompletion) {
  const std::string payload(300'000, 'd');
  server.on("GET", "/slow", LoopbackReply{.body = "late", .delaySeconds = 20});
  std::string seen, bytes;  // the file and what it held, as its completion found them
  const auto download = [&](const std::string& url) {
    return await<DownloadResult>([&](auto done) {
      http.download({"GET", url, {}, std::nullopt, 1.0}, [&, done](DownloadResult result) {
        if (result.file) bytes = testing::readFile(seen = *result.file);
        done(result);
      });
    });
  };
  // Kept exactly as sent: no encoding is asked for, and one sent anyway is not undone.
  server.on("GET", "/K.dmg",
            LoopbackReply{
                .body = payload, .contentType = "x/y", .headers = {{"Content-Encoding", "gzip"}}});
  EXPECT_EQ(download(server.url("/K.dmg")).error, std::nullopt);
  EXPECT_EQ(bytes, payload);
  EXPECT_TRUE(std::ranges::none_of(server.requests().back().headers,
                                   [](const auto& h) { return h.first == "Accept-Encoding"; }));
  EXPECT_EQ(fs::path(seen).parent_path(), fs::path(temporary.home()));
  for (const std::string& url : {closedURL("/"), server.url("/slow"), std::string("file:///x")}) {
    const DownloadResult failed = download(url);
    EXPECT_TRUE(failed.error && !failed.file) << url;
  }
  HttpRequest capped{"GET", server.url("/K.dmg"), {}, {}};
  capped.maxBodyBytes = payload.size() - 1;
  EXPECT_EQ(await<DownloadResult>([&](auto done) { http.download(capped, done); }).error,
            "The response is too large");
  EXPECT_EQ(entriesIn(temporary.home()), 0u);
}

TEST(CurlHttpTls, RefusesAServerWhoseCertificateIsNotTrusted) {
  // Self-signed for 127.0.0.1: the name matches, only the trust is missing.
  testing::Sandbox sandbox;
  const std::string key = sandbox.path("key.pem"), cert = sandbox.path("cert.pem");
  ASSERT_EQ(
      PosixCommandRunner()
          .run("/usr/bin/openssl",
               {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"},
               30)
          .status,
      0);
  httplib::SSLServer server(cert.c_str(), key.c_str());
  server.Get("/", [](auto&, httplib::Response& res) { res.set_content("secret", "text/plain"); });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread listener([&] { server.listen_after_bind(); });
  CurlHttp http;
  const HttpResponse response = get(http, "https://127.0.0.1:" + std::to_string(port) + "/");
  server.stop();
  listener.join();
  EXPECT_NE(response.error.value_or("").find("certificate"), std::string::npos);
  EXPECT_FALSE(response.body);
}

// Five transfers each held by the server all arrive: transfers run together, not one by one.
TEST(CurlHttpShutdown, EndsTransfersInFlightAnsweringEachAsCancelledOnOneThreadNotOurs) {
  LoopbackServer server;
  server.on("GET", "/hang", LoopbackReply{.body = "never", .delaySeconds = 60});
  std::mutex mutex;
  std::vector<std::string> errors;
  std::set<std::thread::id> threads;
  const HttpRequest hang{"GET", server.url("/hang"), {}, std::nullopt, 60};
  // Declared before the client: its shutdown runs the completions that use it.
  const auto note = [&](const std::optional<std::string>& error) {
    std::lock_guard lock(mutex);
    errors.push_back(error.value_or("no error"));
    threads.insert(std::this_thread::get_id());
    return errors.size();
  };
  {
    CurlHttp http;
    for (int i = 0; i < 4; ++i) {
      http.send(hang, [&](HttpResponse r) {
        // A completion that sends again while the client shuts down is answered, not lost.
        if (note(r.error) == 1) http.send(hang, [&](HttpResponse again) { note(again.error); });
      });
    }
    http.download(hang, [&](DownloadResult r) { note(r.file ? "a file" : r.error); });
    // Every transfer is held by the server, so truly in flight.
    ASSERT_TRUE(testing::eventually([&] { return server.requests().size() == 5; }));
  }
  EXPECT_EQ(errors, std::vector<std::string>(6, "cancelled"));
  EXPECT_EQ(threads.size(), 1u) << "one thread, so one completion at a time";
  EXPECT_FALSE(threads.contains(std::this_thread::get_id()));
}

}  // namespace
}  // namespace kestrova
