// Http over libcurl: concurrent transfers, completions serialised on one URL-loading thread.
#pragma once

#include <memory>

#include "app/platform/http.h"

namespace kestrova {

// Only http and https are accepted (also across redirects, up to 16 of them, where the request
// follows redirects at all); anything else
// completes with the error "unsupported URL" or libcurl's refusal. Certificates are verified.
// The time limit covers the whole transfer. A transfer that got an answer has a body (possibly
// empty) whatever its status code; a failed one has none and an error text meant for people.
// Bodies, kept in memory or downloaded, are capped at the request's maxBodyBytes.
//
// Shutdown (shutdown(), or the destructor): ends every transfer still in flight, runs its
// completion with the error "cancelled" (every completion runs exactly once, so nobody waits
// forever), runs the completions already queued, and joins both threads; no descriptor or thread
// outlives it. A program shuts it down while its platform is still installed, because those
// completions use it. A request made after shutdown never completes. It must not run inside a
// completion (that thread cannot join itself).
class CurlHttp final : public Http {
 public:
  CurlHttp();
  ~CurlHttp() override;
  CurlHttp(const CurlHttp&) = delete;
  CurlHttp& operator=(const CurlHttp&) = delete;

  void send(HttpRequest request, std::function<void(HttpResponse)> done) override;
  void download(HttpRequest request, std::function<void(DownloadResult)> done) override;
  void shutdown();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrova
