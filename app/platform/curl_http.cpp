#include "app/platform/curl_http.h"

#include <curl/curl.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "app/platform/curl_transfer.h"

namespace kestrova {
namespace {

struct CurlMultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;

// libcurl's global set-up is not safe to race with the first handles; do it once, up front.
void initialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The longest the transfer thread sleeps when libcurl has nothing due. New requests and shutdown
// wake it at once and libcurl shortens the wait to its own next deadline, so an idle app need
// not wake every second only to find nothing to do.
constexpr int kIdlePollMilliseconds = 60'000;

}  // namespace

// Two threads: the transfer thread owns the multi handle and every easy handle added to it
// (libcurl handles are not shared between threads); the URL-loading thread runs completions in
// the order transfers end, one at a time, so a slow completion never stalls a transfer.
class CurlHttp::Impl {
 public:
  Impl() : multi_(curl_multi_init()) {
    transferThread_ = std::thread([this] { runTransfers(); });
    completionThread_ = std::thread([this] { runCompletions(); });
  }

  ~Impl() { shutdown(); }

  // Called by the owner's thread only, so the check of `joined_` needs no lock.
  void shutdown() {
    if (joined_) {
      return;
    }
    joined_ = true;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    if (multi_) curl_multi_wakeup(multi_.get());
    transferThread_.join();
    {
      std::lock_guard lock(mutex_);
      transfersEnded_ = true;
    }
    completionsReady_.notify_all();
    completionThread_.join();
  }

  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  void start(std::unique_ptr<CurlTransfer> transfer) {
    if (transfer->setupError()) {
      complete(transfer->fail(*transfer->setupError()));
      return;
    }
    {
      std::lock_guard lock(mutex_);
      if (!stopping_ && multi_) {
        incoming_.push_back(std::move(transfer));
      }
    }
    if (transfer) {  // not handed over: the client is shutting down or has no multi handle
      complete(transfer->fail(multi_ ? kCancelledText : "could not start the transfer"));
      return;
    }
    curl_multi_wakeup(multi_.get());
  }

 private:
  void complete(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      completions_.push_back(std::move(task));
    }
    completionsReady_.notify_one();
  }

  // Takes the requests queued by other threads into the multi handle; false once stopping.
  bool admitIncoming(std::map<CURL*, std::unique_ptr<CurlTransfer>>& active) {
    std::deque<std::unique_ptr<CurlTransfer>> arrived;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return false;
      arrived.swap(incoming_);
    }
    for (auto& transfer : arrived) {
      CURL* easy = transfer->handle();
      if (curl_multi_add_handle(multi_.get(), easy) != CURLM_OK) {
        complete(transfer->fail("could not start the transfer"));
        continue;
      }
      active.emplace(easy, std::move(transfer));
    }
    return true;
  }

  void collectFinished(std::map<CURL*, std::unique_ptr<CurlTransfer>>& active) {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      // The message dies with the removal below: copy what it says first.
      CURL* easy = message->easy_handle;
      const CURLcode code = message->data.result;
      curl_multi_remove_handle(multi_.get(), easy);
      auto found = active.find(easy);
      if (found == active.end()) continue;
      complete(found->second->finish(code));
      active.erase(found);
    }
  }

  void runTransfers() {
    if (!multi_) return;
    std::map<CURL*, std::unique_ptr<CurlTransfer>> active;
    while (admitIncoming(active)) {
      int running = 0;
      curl_multi_perform(multi_.get(), &running);
      collectFinished(active);
      curl_multi_poll(multi_.get(), nullptr, 0, kIdlePollMilliseconds, nullptr);
    }
    // Shutting down: transfers still in flight end now and report it.
    for (auto& [easy, transfer] : active) {
      curl_multi_remove_handle(multi_.get(), easy);
      complete(transfer->fail(kCancelledText));
    }
    active.clear();
    std::deque<std::unique_ptr<CurlTransfer>> unstarted;
    {
      std::lock_guard lock(mutex_);
      unstarted.swap(incoming_);
    }
    for (auto& transfer : unstarted) complete(transfer->fail(kCancelledText));
  }

  void runCompletions() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        completionsReady_.wait(lock, [this] { return !completions_.empty() || transfersEnded_; });
        if (completions_.empty()) return;
        task = std::move(completions_.front());
        completions_.pop_front();
      }
      task();
    }
  }

  CurlMulti multi_;
  std::mutex mutex_;
  std::condition_variable completionsReady_;
  std::deque<std::unique_ptr<CurlTransfer>> incoming_;
  std::deque<std::function<void()>> completions_;
  bool stopping_ = false;
  bool transfersEnded_ = false;
  bool joined_ = false;
  std::thread transferThread_;
  std::thread completionThread_;
};

CurlHttp::CurlHttp() {
  initialiseCurlOnce();
  impl_ = std::make_unique<Impl>();
}

CurlHttp::~CurlHttp() = default;

void CurlHttp::shutdown() { impl_->shutdown(); }

void CurlHttp::send(HttpRequest request, std::function<void(HttpResponse)> done) {
  impl_->start(std::make_unique<CurlTransfer>(request, std::move(done)));
}

void CurlHttp::download(HttpRequest request, std::function<void(DownloadResult)> done) {
  impl_->start(std::make_unique<CurlTransfer>(request, std::move(done)));
}

}  // namespace kestrova
