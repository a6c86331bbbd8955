#include "frontends/cocoa/cocoa_http.h"

#import <Foundation/Foundation.h>

#include <atomic>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "frontends/cocoa/ns_text.h"

// The task description of a request that follows no redirect (the engine's).
static NSString* const kNoRedirects = @"kestrova.no-redirects";

// Ends a task whose body grows past its cap, watching the byte count the task publishes.
@interface KSBodyCap : NSObject
- (instancetype)initWithTask:(NSURLSessionTask*)task limit:(int64_t)limit;
// Stops watching; true when the task was ended for its size. Call once, from the completion.
- (BOOL)finish;
@end

@implementation KSBodyCap {
  NSURLSessionTask* _task;
  int64_t _limit;
  std::atomic<bool> _exceeded;
}

- (instancetype)initWithTask:(NSURLSessionTask*)task limit:(int64_t)limit {
  self = [super init];
  if (self != nil) {
    _task = task;
    _limit = limit;
    [task addObserver:self forKeyPath:@"countOfBytesReceived" options:0 context:nullptr];
  }
  return self;
}

- (void)observeValueForKeyPath:(NSString*)keyPath
                      ofObject:(id)object
                        change:(NSDictionary*)change
                       context:(void*)context {
  if (_task.countOfBytesReceived > _limit && !_exceeded.exchange(true)) {
    [_task cancel];
  }
}

- (BOOL)finish {
  [_task removeObserver:self forKeyPath:@"countOfBytesReceived"];
  _task = nil;  // the task holds the completion that holds us
  return _exceeded.load();
}

@end

// Tells a waiting shutdown that its session has delivered its last completion, and refuses the
// redirects of requests that follow none.
@interface KSSessionEnd : NSObject <NSURLSessionTaskDelegate>
- (BOOL)waitUntilInvalidBefore:(NSDate*)deadline;
@end

@implementation KSSessionEnd {
  NSCondition* _condition;
  BOOL _invalid;
}

- (instancetype)init {
  self = [super init];
  if (self != nil) {
    _condition = [[NSCondition alloc] init];
  }
  return self;
}

- (void)URLSession:(NSURLSession*)session didBecomeInvalidWithError:(NSError*)error {
  [_condition lock];
  _invalid = YES;
  [_condition broadcast];
  [_condition unlock];
}

- (void)URLSession:(NSURLSession*)session
                          task:(NSURLSessionTask*)task
    willPerformHTTPRedirection:(NSHTTPURLResponse*)response
                    newRequest:(NSURLRequest*)request
             completionHandler:(void (^)(NSURLRequest*))completionHandler {
  // Without a new request the redirect itself is the answer, as the libcurl client gives it.
  completionHandler([task.taskDescription isEqualToString:kNoRedirects] ? nil : request);
}

- (BOOL)waitUntilInvalidBefore:(NSDate*)deadline {
  [_condition lock];
  while (!_invalid && [_condition waitUntilDate:deadline]) {
  }
  const BOOL invalid = _invalid;
  [_condition unlock];
  return invalid;
}

@end

namespace kestrova::cocoa {
namespace {

// What "no limit" means to NSURLSession: its own default for a whole resource, seven days.
constexpr NSTimeInterval kNoLimit = 7 * 24 * 3600.0;
// A shutdown waits this long for the system to hand back its cancelled transfers.
constexpr NSTimeInterval kShutdownWait = 10.0;
constexpr const char* kCancelled = "cancelled";
constexpr const char* kTooLarge = "The response is too large";

struct Limits {
  NSTimeInterval idle;
  NSTimeInterval whole;
  auto operator<=>(const Limits&) const = default;
};

Limits limitsOf(const HttpRequest& request) {
  const NSTimeInterval whole = request.timeoutSeconds > 0 ? request.timeoutSeconds : kNoLimit;
  // Waiting for data can never usefully outlast the whole transfer.
  const NSTimeInterval idle = request.idleSeconds > 0 ? request.idleSeconds : whole;
  return {idle, whole};
}

NSURL* webURL(const std::string& text) {
  NSURL* url = [NSURL URLWithString:toNSString(text)];
  NSString* scheme = url.scheme.lowercaseString;
  if (scheme == nil || !([scheme isEqualToString:@"http"] || [scheme isEqualToString:@"https"])) {
    return nil;
  }
  return url;
}

NSURLRequest* urlRequestFor(const HttpRequest& request, NSURL* url, bool download = false) {
  const NSURLRequestCachePolicy policy = request.cachePolicy == CachePolicy::ignoreLocalCache
                                             ? NSURLRequestReloadIgnoringLocalCacheData
                                             : NSURLRequestUseProtocolCachePolicy;
  NSMutableURLRequest* built = [NSMutableURLRequest requestWithURL:url
                                                       cachePolicy:policy
                                                   timeoutInterval:limitsOf(request).idle];
  built.HTTPMethod = toNSString(request.method);
  for (const auto& [name, value] : request.headers) {
    [built setValue:toNSString(value) forHTTPHeaderField:toNSString(name)];
  }
  if (download) {
    // A compressed image would expand on our disk before anything could judge it.
    [built setValue:@"identity" forHTTPHeaderField:@"Accept-Encoding"];
  }
  // A POST always carries a body, if only an empty one.
  if (request.body || request.method == "POST") {
    const std::string body = request.body.value_or(std::string());
    built.HTTPBody = [NSData dataWithBytes:body.data() length:body.size()];
  }
  return built;
}

// Watches the task's body against the request's cap, and marks a request that follows no
// redirect for the session's delegate.
KSBodyCap* capped(NSURLSessionTask* task, const HttpRequest& request) {
  if (!request.followRedirects) {
    task.taskDescription = kNoRedirects;
  }
  return [[KSBodyCap alloc] initWithTask:task limit:static_cast<int64_t>(request.maxBodyBytes)];
}

std::string describe(NSError* error) {
  if ([error.domain isEqualToString:NSURLErrorDomain] && error.code == NSURLErrorCancelled) {
    return kCancelled;
  }
  return toStdString(error.localizedDescription);
}

}  // namespace

struct CocoaHttp::Sessions {
  struct Open {
    NSURLSession* session;
    KSSessionEnd* end;
  };

  NSOperationQueue* queue = [[NSOperationQueue alloc] init];
  std::mutex mutex;
  std::map<Limits, Open> open;
  bool closed = false;

  Sessions() {
    queue.maxConcurrentOperationCount = 1;
    queue.name = @"URL-loading";
  }

  // The session for the request's limits, or nil once shut down.
  NSURLSession* sessionFor(const HttpRequest& request) {
    const Limits limits = limitsOf(request);
    std::lock_guard lock(mutex);
    if (closed) {
      return nil;
    }
    if (const auto found = open.find(limits); found != open.end()) {
      return found->second.session;
    }
    NSURLSessionConfiguration* configuration =
        [NSURLSessionConfiguration defaultSessionConfiguration];
    configuration.timeoutIntervalForRequest = limits.idle;
    configuration.timeoutIntervalForResource = limits.whole;
    KSSessionEnd* end = [[KSSessionEnd alloc] init];
    NSURLSession* session = [NSURLSession sessionWithConfiguration:configuration
                                                          delegate:end
                                                     delegateQueue:queue];
    open.emplace(limits, Open{session, end});
    return session;
  }

  // Runs a refusal on the completion queue: completions never run inside the caller.
  void refuse(std::function<void()> completion) {
    [queue addOperationWithBlock:^{
      completion();
    }];
  }
};

CocoaHttp::CocoaHttp() : sessions_(std::make_unique<Sessions>()) {}

CocoaHttp::~CocoaHttp() { shutDown(); }

void CocoaHttp::send(HttpRequest request, std::function<void(HttpResponse)> done) {
  NSURL* url = webURL(request.url);
  NSURLSession* session = url != nil ? sessions_->sessionFor(request) : nil;
  if (session == nil) {
    const std::string error = url == nil ? "unsupported URL" : kCancelled;
    sessions_->refuse([done, error] { done(HttpResponse{error, 0, std::nullopt}); });
    return;
  }
  // Set once the task exists; the completion cannot run before the task is resumed.
  __block KSBodyCap* cap = nil;
  NSURLSessionDataTask* task = [session
      dataTaskWithRequest:urlRequestFor(request, url)
        completionHandler:^(NSData* data, NSURLResponse* response, NSError* error) {
          if ([cap finish]) {
            done(HttpResponse{kTooLarge, 0, std::nullopt});
            return;
          }
          if (error != nil) {
            done(HttpResponse{describe(error), 0, std::nullopt});
            return;
          }
          long status = 0;
          if ([response isKindOfClass:[NSHTTPURLResponse class]]) {
            status = static_cast<long>(static_cast<NSHTTPURLResponse*>(response).statusCode);
          }
          std::string body;
          if (data.length > 0) {
            body.assign(static_cast<const char*>(data.bytes), data.length);
          }
          done(HttpResponse{std::nullopt, status, std::move(body)});
        }];
  cap = capped(task, request);
  [task resume];
}

void CocoaHttp::download(HttpRequest request, std::function<void(DownloadResult)> done) {
  NSURL* url = webURL(request.url);
  NSURLSession* session = url != nil ? sessions_->sessionFor(request) : nil;
  if (session == nil) {
    const std::string error = url == nil ? "unsupported URL" : kCancelled;
    sessions_->refuse([done, error] { done(DownloadResult{error, std::nullopt}); });
    return;
  }
  // The system removes the file at `location` once this handler returns, which is the contract
  // of DownloadResult: the completion may move it away, and whatever is left goes.
  __block KSBodyCap* cap = nil;
  NSURLSessionDownloadTask* task = [session
      downloadTaskWithRequest:urlRequestFor(request, url, true)
            completionHandler:^(NSURL* location, NSURLResponse*, NSError* error) {
              if ([cap finish]) {
                done(DownloadResult{kTooLarge, std::nullopt});
                return;
              }
              if (error != nil || location == nil) {
                done(DownloadResult{error != nil ? describe(error) : kCancelled, std::nullopt});
                return;
              }
              done(DownloadResult{std::nullopt, toStdString(location.path)});
            }];
  cap = capped(task, request);
  [task resume];
}

void CocoaHttp::shutDown() {
  std::vector<Sessions::Open> closing;
  {
    std::lock_guard lock(sessions_->mutex);
    if (sessions_->closed) {
      return;
    }
    sessions_->closed = true;
    for (auto& [limits, entry] : sessions_->open) {
      closing.push_back(entry);
    }
    sessions_->open.clear();
  }
  for (const auto& entry : closing) {
    [entry.session invalidateAndCancel];
  }
  NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:kShutdownWait];
  for (const auto& entry : closing) {
    if (![entry.end waitUntilInvalidBefore:deadline]) {
      NSLog(@"Kestrova: the URL-loading system did not hand back every cancelled transfer");
    }
  }
  [sessions_->queue waitUntilAllOperationsAreFinished];
}

}  // namespace kestrova::cocoa
