#include "app/platform/curl_transfer.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace kestrova {
namespace {

constexpr const char* kAllowedProtocols = "http,https";
constexpr const char* kTooLargeText = "The response is too large";
// The Mac's URL loading gives up after a few more than this; no real server needs more.
constexpr long kMaxRedirects = 16;
// A day: far beyond any transfer of ours, and safely inside a long.
constexpr double kLongestLimitMs = 86'400'000.0;

bool hasWebScheme(const std::string& url) {
  return strncasecmp(url.c_str(), "http://", 7) == 0 ||
         strncasecmp(url.c_str(), "https://", 8) == 0;
}

// Loopback addresses never go through a proxy, whatever the environment names: the engine on
// 127.0.0.1 must be reachable on a machine with a proxy configured.
std::string noProxyList() {
  std::string list = "127.0.0.1,localhost,::1";
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return list + "," + value;
  }
  return list;
}

std::string errnoText(const std::string& what, int error) {
  return what + ": " + std::error_code(error, std::generic_category()).message();
}

void removeQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

CurlTransfer::CurlTransfer(const HttpRequest& request, ResponseDone done)
    : easy_(curl_easy_init()), responseDone_(std::move(done)) {
  configure(request, false);
  if (setupError_) return;
  curl_easy_setopt(easy_.get(), CURLOPT_WRITEFUNCTION, &CurlTransfer::writeToBody);
  curl_easy_setopt(easy_.get(), CURLOPT_WRITEDATA, this);
}

CurlTransfer::CurlTransfer(const HttpRequest& request, DownloadDone done)
    : easy_(curl_easy_init()), downloadDone_(std::move(done)) {
  configure(request, true);
  if (setupError_) return;
  openTemporaryFile();
  curl_easy_setopt(easy_.get(), CURLOPT_WRITEFUNCTION, &CurlTransfer::writeToFile);
  curl_easy_setopt(easy_.get(), CURLOPT_WRITEDATA, this);
}

CurlTransfer::~CurlTransfer() {
  if (fileDescriptor_ >= 0) ::close(fileDescriptor_);
  if (!filePath_.empty()) removeQuietly(filePath_);
}

void CurlTransfer::configure(const HttpRequest& request, bool download) {
  if (!easy_) {
    setupError_ = "could not create a transfer";
    return;
  }
  if (!restrictToWeb(request.url)) {
    setupError_ = "unsupported URL";
    return;
  }
  maxBodyBytes_ = request.maxBodyBytes;
  applyBehaviour(request, download);
  applyHeaders(request.headers);
  applyMethodAndBody(request);
}

bool CurlTransfer::restrictToWeb(const std::string& url) {
  if (!hasWebScheme(url)) return false;
  CURL* easy = easy_.get();
  // Refuse every other protocol, also after a redirect; if this libcurl cannot be told so,
  // send nothing at all rather than risk reading a local file.
  return curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, kAllowedProtocols) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK;
}

void CurlTransfer::applyBehaviour(const HttpRequest& request, bool download) {
  const double timeoutSeconds = request.timeoutSeconds;
  const double idleSeconds = request.idleSeconds;
  CURL* easy = easy_.get();
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText_.data());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (download) {
    // A compressed image would expand on our disk before anything could judge it; the file is
    // kept exactly as sent.
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  } else {
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  }
  // A declared length over the cap is refused before any of it arrives.
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBodyBytes_));
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Kestrova/" KESTROVA_VERSION);
  curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxyList().c_str());
  if (timeoutSeconds > 0) {
    // libcurl reads 0 as "no limit": a limit below a millisecond still limits.
    const double milliseconds = std::clamp(timeoutSeconds * 1000.0, 1.0, kLongestLimitMs);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(milliseconds));
  }
  if (idleSeconds > 0) {
    // Under one byte a second for that long counts as no data at all.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::ceil(idleSeconds)));
  }
}

void CurlTransfer::applyHeaders(const std::vector<std::pair<std::string, std::string>>& headers) {
  // Without "Expect:", libcurl pauses a large POST waiting for a "100 Continue" few servers send.
  curl_slist* list = curl_slist_append(nullptr, "Expect:");
  for (const auto& [name, value] : headers) {
    // "Name;" is how libcurl is told to send a header with an empty value.
    const std::string line = value.empty() ? name + ";" : name + ": " + value;
    if (curl_slist* longer = curl_slist_append(list, line.c_str())) list = longer;
  }
  headers_.reset(list);
  curl_easy_setopt(easy_.get(), CURLOPT_HTTPHEADER, headers_.get());
}

void CurlTransfer::applyMethodAndBody(const HttpRequest& request) {
  CURL* easy = easy_.get();
  // A POST always carries a body, if only an empty one.
  if (request.body || request.method == "POST") {
    const std::string body = request.body.value_or(std::string());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
  }
  if (request.method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (request.method != "POST" && (request.method != "GET" || request.body)) {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }
}

void CurlTransfer::openTemporaryFile() {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = "/tmp";
  std::string pattern = (folder / "kestrova-download-XXXXXX").string();
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back('\0');
  fileDescriptor_ = ::mkostemp(path.data(), O_CLOEXEC);
  if (fileDescriptor_ < 0) {
    setupError_ = errnoText("Could not create a temporary file", errno);
    return;
  }
  filePath_ = path.data();
}

std::size_t CurlTransfer::writeToBody(char* data, std::size_t size, std::size_t count, void* self) {
  auto& transfer = *static_cast<CurlTransfer*>(self);
  const std::size_t bytes = size * count;
  if (!transfer.admit(bytes)) return 0;
  transfer.body_.append(data, bytes);
  return bytes;
}

std::size_t CurlTransfer::writeToFile(char* data, std::size_t size, std::size_t count, void* self) {
  auto& transfer = *static_cast<CurlTransfer*>(self);
  const std::size_t bytes = size * count;
  if (!transfer.admit(bytes)) return 0;
  std::size_t written = 0;
  while (written < bytes) {
    const ssize_t step = ::write(transfer.fileDescriptor_, data + written, bytes - written);
    if (step < 0 && errno == EINTR) continue;
    if (step <= 0) {
      transfer.sinkError_ =
          errnoText("Could not write the downloaded file", step < 0 ? errno : EIO);
      return 0;
    }
    written += static_cast<std::size_t>(step);
  }
  return bytes;
}

bool CurlTransfer::admit(std::size_t bytes) {
  if (bytes > maxBodyBytes_ - received_) {
    sinkError_ = kTooLargeText;
    return false;
  }
  received_ += bytes;
  return true;
}

std::string CurlTransfer::describe(CURLcode code) const {
  if (sinkError_) return *sinkError_;
  if (code == CURLE_FILESIZE_EXCEEDED) return kTooLargeText;
  // "Couldn't connect to server (Failed to connect to 127.0.0.1 port 1 after 0 ms)": the general
  // text first, then libcurl's particulars without repeating the general text at their end.
  const std::string general = curl_easy_strerror(code);
  std::string detail(errorText_.data());
  const std::string repeated = ": " + general;
  if (detail.size() > repeated.size() &&
      detail.compare(detail.size() - repeated.size(), repeated.size(), repeated) == 0) {
    detail.resize(detail.size() - repeated.size());
  }
  if (detail.empty() || detail == general) return general;
  return general + " (" + detail + ")";
}

std::function<void()> CurlTransfer::finish(CURLcode code) {
  if (code != CURLE_OK) return fail(describe(code));
  long status = 0;
  curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &status);
  if (responseDone_) {
    return [done = std::move(responseDone_),
            response = HttpResponse{std::nullopt, status, std::move(body_)}]() mutable {
      done(std::move(response));
    };
  }
  if (fileDescriptor_ >= 0 && ::close(std::exchange(fileDescriptor_, -1)) != 0) {
    return fail(errnoText("Could not write the downloaded file", errno));
  }
  // The completion owns the file from here: it may move it; what is left is removed afterwards.
  return [done = std::move(downloadDone_), path = std::exchange(filePath_, std::string())] {
    done(DownloadResult{std::nullopt, path});
    removeQuietly(path);
  };
}

std::function<void()> CurlTransfer::fail(const std::string& error) {
  if (fileDescriptor_ >= 0) ::close(std::exchange(fileDescriptor_, -1));
  if (!filePath_.empty()) removeQuietly(std::exchange(filePath_, std::string()));
  if (responseDone_) {
    return [done = std::move(responseDone_), error] { done(HttpResponse{error, 0, std::nullopt}); };
  }
  return [done = std::move(downloadDone_), error] { done(DownloadResult{error, std::nullopt}); };
}

}  // namespace kestrova
