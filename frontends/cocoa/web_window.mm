#include "frontends/cocoa/web_window.h"

#import <WebKit/WebKit.h>

#include "frontends/cocoa/ns_text.h"

// The window's delegate and the web view's navigation and UI delegate. A navigation's outcome is
// told once: a provisional failure, or a finish. WebKit reports a load replaced by a newer one
// (or stopped by our time limit, already told) as a cancelled provisional failure, which is not
// told; a failure after the page committed is neither kind and is not told either.
@interface KSWebWindowController : NSObject <NSWindowDelegate, WKNavigationDelegate, WKUIDelegate>
- (instancetype)initWithShape:(const kestrova::WebWindowSpec&)shape
                     delegate:(kestrova::WebWindowDelegate&)delegate;
- (void)load:(NSURL*)url timeout:(NSTimeInterval)seconds;
- (void)detach;
@property(nonatomic, readonly) NSWindow* window;
@end

@implementation KSWebWindowController {
  kestrova::WebWindowDelegate* _delegate;
  WKWebView* _web;
  NSTimer* _timeLimit;
  BOOL _committed;
  BOOL _reported;
}

- (instancetype)initWithShape:(const kestrova::WebWindowSpec&)shape
                     delegate:(kestrova::WebWindowDelegate&)delegate {
  self = [super init];
  if (self == nil) {
    return nil;
  }
  _delegate = &delegate;
  _reported = YES;
  const NSRect frame = NSMakeRect(0, 0, shape.width, shape.height);
  _web = [[WKWebView alloc] initWithFrame:frame
                            configuration:[[WKWebViewConfiguration alloc] init]];
  _web.navigationDelegate = self;
  _web.UIDelegate = self;
  const NSWindowStyleMask style = NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                  NSWindowStyleMaskMiniaturizable | NSWindowStyleMaskResizable;
  _window = [[NSWindow alloc] initWithContentRect:frame
                                        styleMask:style
                                          backing:NSBackingStoreBuffered
                                            defer:NO];
  _window.title = kestrova::cocoa::toNSString(shape.title);
  _window.contentView = _web;
  _window.delegate = self;
  _window.releasedWhenClosed = NO;
  [_window center];
  // After centring: a frame saved by an earlier run replaces the centred one.
  [_window setFrameAutosaveName:kestrova::cocoa::toNSString(shape.autosaveName)];
  return self;
}

- (void)detach {
  [self stopTimeLimit];
  _web.navigationDelegate = nil;
  _web.UIDelegate = nil;
  _window.delegate = nil;
  [_web stopLoading];
  [_window orderOut:nil];
  _delegate = nullptr;
}

- (void)load:(NSURL*)url timeout:(NSTimeInterval)seconds {
  [self stopTimeLimit];
  _committed = NO;
  _reported = NO;
  // The request's own limit covers the wait for the server; the timer also covers a load that
  // WebKit keeps alive past it.
  NSURLRequest* request = [NSURLRequest requestWithURL:url
                                           cachePolicy:NSURLRequestUseProtocolCachePolicy
                                       timeoutInterval:seconds];
  _timeLimit = [NSTimer timerWithTimeInterval:seconds
                                       target:self
                                     selector:@selector(timeLimitReached:)
                                     userInfo:nil
                                      repeats:NO];
  [[NSRunLoop mainRunLoop] addTimer:_timeLimit forMode:NSRunLoopCommonModes];
  [_web loadRequest:request];
}

- (void)timeLimitReached:(NSTimer*)timer {
  _timeLimit = nil;
  if (!_committed && !_reported) {
    // Tell first, then stop: stopping reports a cancelled failure, which is then ignored.
    [self reportFailure];
    [_web stopLoading];
  }
}

- (void)stopTimeLimit {
  [_timeLimit invalidate];
  _timeLimit = nil;
}

- (void)reportFailure {
  [self stopTimeLimit];
  if (_reported || _delegate == nullptr) {
    return;
  }
  _reported = YES;
  _delegate->didFailProvisionalLoad();
}

- (void)reportFinished {
  [self stopTimeLimit];
  if (_reported || _delegate == nullptr) {
    return;
  }
  _reported = YES;
  _delegate->didFinishLoad();
}

// Also a navigation the page starts itself (a link): it gets its own outcome.
- (void)webView:(WKWebView*)webView didStartProvisionalNavigation:(WKNavigation*)navigation {
  _committed = NO;
  _reported = NO;
}

- (void)webView:(WKWebView*)webView didCommitNavigation:(WKNavigation*)navigation {
  _committed = YES;
}

- (void)webView:(WKWebView*)webView
    didFailProvisionalNavigation:(WKNavigation*)navigation
                       withError:(NSError*)error {
  if ([error.domain isEqualToString:NSURLErrorDomain] && error.code == NSURLErrorCancelled) {
    return;
  }
  [self reportFailure];
}

- (void)webView:(WKWebView*)webView
    didFailNavigation:(WKNavigation*)navigation
            withError:(NSError*)error {
  [self stopTimeLimit];
  _reported = YES;
}

- (void)webView:(WKWebView*)webView didFinishNavigation:(WKNavigation*)navigation {
  [self reportFinished];
}

// The page's dialogs run as the core's modal alerts; each completion handler is called once.
- (void)webView:(WKWebView*)webView
    runJavaScriptAlertPanelWithMessage:(NSString*)message
                      initiatedByFrame:(WKFrameInfo*)frame
                     completionHandler:(void (^)(void))completionHandler {
  if (_delegate != nullptr) {
    _delegate->runAlertPanel(kestrova::cocoa::toStdString(message));
  }
  completionHandler();
}

- (void)webView:(WKWebView*)webView
    runJavaScriptConfirmPanelWithMessage:(NSString*)message
                        initiatedByFrame:(WKFrameInfo*)frame
                       completionHandler:(void (^)(BOOL result))completionHandler {
  const bool confirmed =
      _delegate != nullptr && _delegate->runConfirmPanel(kestrova::cocoa::toStdString(message));
  completionHandler(confirmed ? YES : NO);
}

- (void)webView:(WKWebView*)webView
    runJavaScriptTextInputPanelWithPrompt:(NSString*)prompt
                              defaultText:(NSString*)defaultText
                         initiatedByFrame:(WKFrameInfo*)frame
                        completionHandler:(void (^)(NSString* result))completionHandler {
  std::optional<std::string> answer;
  if (_delegate != nullptr) {
    answer = _delegate->runPromptPanel(kestrova::cocoa::toStdString(prompt),
                                       kestrova::cocoa::toStdString(defaultText));
  }
  // nil answers the page's prompt() with null, as Cancel does.
  completionHandler(answer ? kestrova::cocoa::toNSString(*answer) : nil);
}

- (BOOL)windowShouldClose:(NSWindow*)sender {
  return YES;
}

@end

namespace kestrova::cocoa {

CocoaWebWindow::CocoaWebWindow(const WebWindowSpec& shape, WebWindowDelegate& delegate)
    : controller_([[KSWebWindowController alloc] initWithShape:shape delegate:delegate]) {}

CocoaWebWindow::~CocoaWebWindow() { [controller_ detach]; }

void CocoaWebWindow::load(const std::string& url, double timeoutSeconds) {
  NSURL* target = [NSURL URLWithString:toNSString(url)];
  if (target == nil) {
    // The core only asks for addresses it built; a malformed one is a bug to log, not a load.
    NSLog(@"Kestrova: the web window was asked to load something that is not a URL");
    return;
  }
  [controller_ load:target timeout:timeoutSeconds];
}

void CocoaWebWindow::bringToFront() { [controller_.window makeKeyAndOrderFront:nil]; }

bool CocoaWebWindow::isVisible() const { return [controller_.window isVisible] == YES; }

}  // namespace kestrova::cocoa
