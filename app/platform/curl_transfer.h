// One libcurl transfer: its easy handle set up from an HttpRequest, where its bytes go, its result.
#pragma once

#include <curl/curl.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/http.h"

namespace kestrova {

struct CurlEasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlSlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// The text a transfer ended by the client's shutdown reports.
inline constexpr const char* kCancelledText = "cancelled";

class CurlTransfer {
 public:
  using ResponseDone = std::function<void(HttpResponse)>;
  using DownloadDone = std::function<void(DownloadResult)>;

  // A transfer keeping the reply body in memory.
  CurlTransfer(const HttpRequest& request, ResponseDone done);
  // A transfer writing the reply body to a fresh temporary file.
  CurlTransfer(const HttpRequest& request, DownloadDone done);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // Why the transfer cannot start (rejected URL, no temporary file...); absent when it can.
  [[nodiscard]] const std::optional<std::string>& setupError() const { return setupError_; }
  [[nodiscard]] CURL* handle() const { return easy_.get(); }

  // Builds the completion for the transfer's end with `code`; the returned task calls the
  // caller's callback and then removes whatever is left of a downloaded file.
  [[nodiscard]] std::function<void()> finish(CURLcode code);
  // Builds the completion for a transfer that never ran or was ended early with `error`.
  [[nodiscard]] std::function<void()> fail(const std::string& error);

 private:
  static std::size_t writeToBody(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* self);
  void configure(const HttpRequest& request, bool download);
  [[nodiscard]] bool restrictToWeb(const std::string& url);
  void applyBehaviour(const HttpRequest& request, bool download);
  void applyHeaders(const std::vector<std::pair<std::string, std::string>>& headers);
  void applyMethodAndBody(const HttpRequest& request);
  void openTemporaryFile();
  // Counts `bytes` more of the body; false (and the transfer fails) past the cap.
  [[nodiscard]] bool admit(std::size_t bytes);
  [[nodiscard]] std::string describe(CURLcode code) const;

  CurlEasy easy_;
  CurlSlist headers_;
  std::array<char, CURL_ERROR_SIZE> errorText_{};
  std::optional<std::string> setupError_;
  std::optional<std::string> sinkError_;  // a failed write, in words
  std::string body_;
  // Bodies are capped so that a hostile or broken server cannot exhaust memory or disk.
  std::size_t maxBodyBytes_ = kDefaultMaxBodyBytes;
  std::size_t received_ = 0;
  ResponseDone responseDone_;
  DownloadDone downloadDone_;
  int fileDescriptor_ = -1;
  std::string filePath_;
};

}  // namespace kestrova
