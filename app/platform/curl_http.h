// Http over libcurl: concurrent transfers, completions serialised on one URL-loading thread.
#pragma once

#include <memory>

#include "app/platform/http.h"

namespace kestrova {

// Only http and https are accepted (also across redirects), certificates are verified, and the
// destructor ends every transfer and joins its threads, so no descriptor or thread outlives it.
class CurlHttp final : public Http {
 public:
  CurlHttp();
  ~CurlHttp() override;
  CurlHttp(const CurlHttp&) = delete;
  CurlHttp& operator=(const CurlHttp&) = delete;

  void send(HttpRequest request, std::function<void(HttpResponse)> done) override;
  void download(HttpRequest request, std::function<void(DownloadResult)> done) override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrova
