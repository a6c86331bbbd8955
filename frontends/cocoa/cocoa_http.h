// Http over NSURLSession: the Mac's proxy settings, trust store and App Transport Security apply.
#pragma once

#include <memory>

#include "app/platform/http.h"

namespace kestrova::cocoa {

// Only http and https are accepted; anything else completes with the error "unsupported URL".
// A request that follows no redirect gets the redirect itself as its answer; a body (in memory or
// downloaded) past the request's cap ends the transfer with "The response is too large";
// downloads ask for no content encoding.
// Every completion runs on one serial background queue, the URL-loading queue. A transfer that
// got an answer has a body (possibly empty) whatever its status code; a failed one has none and
// the system's description of the failure. Downloads land in a temporary file that the system
// removes once the completion has returned.
//
// Time limits: the request's idle limit is the URL request's timeoutInterval (how long a task
// may wait for more data); the whole-transfer ceiling is the session's
// timeoutIntervalForResource, which exists only per session, so one session is kept per pair of
// limits in use (a handful), all sharing the one completion queue.
class CocoaHttp final : public Http {
 public:
  CocoaHttp();
  ~CocoaHttp() override;
  CocoaHttp(const CocoaHttp&) = delete;
  CocoaHttp& operator=(const CocoaHttp&) = delete;

  void send(HttpRequest request, std::function<void(HttpResponse)> done) override;
  void download(HttpRequest request, std::function<void(DownloadResult)> done) override;

  // Cancels every transfer in flight (each completion still runs once, with the error
  // "cancelled"), waits until the completions have run, and refuses later requests the same
  // way. Idempotent; never call it from a completion, which would wait for itself.
  void shutDown();

 private:
  struct Sessions;
  std::unique_ptr<Sessions> sessions_;
};

}  // namespace kestrova::cocoa
