#include "frontends/cocoa/cocoa_http.h"

#import <Foundation/Foundation.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "frontends/cocoa/ns_text.h"

// Tells a waiting shutdown that its session has delivered its last completion.
@interface KSSessionEnd : NSObject <NSURLSessionDelegate>
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

NSURLRequest* urlRequestFor(const HttpRequest& request, NSURL* url) {
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
  // A POST always carries a body, if only an empty one.
  if (request.body || request.method == "POST") {
    const std::string body = request.body.value_or(std::string());
    built.HTTPBody = [NSData dataWithBytes:body.data() length:body.size()];
  }
  return built;
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
  NSURLSessionDataTask* task = [session
      dataTaskWithRequest:urlRequestFor(request, url)
        completionHandler:^(NSData* data, NSURLResponse* response, NSError* error) {
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
  NSURLSessionDownloadTask* task = [session
      downloadTaskWithRequest:urlRequestFor(request, url)
            completionHandler:^(NSURL* location, NSURLResponse*, NSError* error) {
              if (error != nil || location == nil) {
                done(DownloadResult{error != nil ? describe(error) : kCancelled, std::nullopt});
                return;
              }
              done(DownloadResult{std::nullopt, toStdString(location.path)});
            }];
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
