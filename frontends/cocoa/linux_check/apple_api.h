// For the Linux syntax check only: the Apple names our Mac sources use that GNUstep's AppKit and
// Foundation headers lack, declared as Apple documents them. Never part of the Mac build.
#pragma once

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

#ifndef API_AVAILABLE
#define API_AVAILABLE(...)
#endif

@interface NSApplication (KestrovaNewerAppKit)
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
- (void)activate API_AVAILABLE(macos(14.0));
@end

@interface NSWindow (KestrovaNewerAppKit)
@property BOOL preventsApplicationTerminationWhenModal API_AVAILABLE(macos(10.6));
@end

@interface NSStatusItem (KestrovaNewerAppKit)
@property(readonly, strong) NSStatusBarButton* button API_AVAILABLE(macos(10.10));
@end

@interface NSImage (KestrovaNewerAppKit)
+ (NSImage*)imageWithSystemSymbolName:(NSString*)symbolName
             accessibilityDescription:(NSString*)description API_AVAILABLE(macos(11.0));
// The property is named "template", a keyword of Objective-C++: its setter is what we call.
- (void)setTemplate:(BOOL)isTemplate;
@end

@interface NSAlert (KestrovaNewerAppKit)
@property(strong) NSView* accessoryView;
- (void)layout;
@end

@interface NSPasteboard (KestrovaNewerAppKit)
- (NSInteger)clearContents;
@end

// Debian builds GNUstep without URL sessions.
@class NSURLSession;

@protocol NSURLSessionDelegate <NSObject>
@optional
- (void)URLSession:(NSURLSession*)session didBecomeInvalidWithError:(NSError*)error;
@end

@interface NSURLSessionConfiguration : NSObject <NSCopying>
@property(class, readonly, strong) NSURLSessionConfiguration* defaultSessionConfiguration;
@property NSTimeInterval timeoutIntervalForRequest;
@property NSTimeInterval timeoutIntervalForResource;
@end

@interface NSURLSessionTask : NSObject <NSCopying>
@property(copy) NSString* taskDescription;
@property(readonly) int64_t countOfBytesReceived;
- (void)resume;
- (void)cancel;
@end

@protocol NSURLSessionTaskDelegate <NSURLSessionDelegate>
@optional
- (void)URLSession:(NSURLSession*)session
                          task:(NSURLSessionTask*)task
    willPerformHTTPRedirection:(NSHTTPURLResponse*)response
                    newRequest:(NSURLRequest*)request
             completionHandler:(void (^)(NSURLRequest*))completionHandler;
@end

@interface NSURLSessionDataTask : NSURLSessionTask
@end

@interface NSURLSessionDownloadTask : NSURLSessionTask
@end

@interface NSURLSession : NSObject
+ (NSURLSession*)sessionWithConfiguration:(NSURLSessionConfiguration*)configuration
                                 delegate:(id<NSURLSessionDelegate>)delegate
                            delegateQueue:(NSOperationQueue*)queue;
- (void)invalidateAndCancel;
- (NSURLSessionDataTask*)dataTaskWithRequest:(NSURLRequest*)request
                           completionHandler:(void (^)(NSData* data, NSURLResponse* response,
                                                       NSError* error))completionHandler;
- (NSURLSessionDownloadTask*)downloadTaskWithRequest:(NSURLRequest*)request
                                   completionHandler:(void (^)(NSURL* location,
                                                               NSURLResponse* response,
                                                               NSError* error))completionHandler;
@end

// WebKit: the web view, its configuration and the two delegate protocols, as far as we use them.
@class WKWebView;

@interface WKWebViewConfiguration : NSObject <NSCopying>
@end

@interface WKNavigation : NSObject
@end

@interface WKFrameInfo : NSObject <NSCopying>
@end

@protocol WKNavigationDelegate <NSObject>
@optional
- (void)webView:(WKWebView*)webView didStartProvisionalNavigation:(WKNavigation*)navigation;
- (void)webView:(WKWebView*)webView
    didFailProvisionalNavigation:(WKNavigation*)navigation
                       withError:(NSError*)error;
- (void)webView:(WKWebView*)webView didCommitNavigation:(WKNavigation*)navigation;
- (void)webView:(WKWebView*)webView didFinishNavigation:(WKNavigation*)navigation;
- (void)webView:(WKWebView*)webView
    didFailNavigation:(WKNavigation*)navigation
            withError:(NSError*)error;
@end

@protocol WKUIDelegate <NSObject>
@optional
- (void)webView:(WKWebView*)webView
    runJavaScriptAlertPanelWithMessage:(NSString*)message
                      initiatedByFrame:(WKFrameInfo*)frame
                     completionHandler:(void (^)(void))completionHandler;
- (void)webView:(WKWebView*)webView
    runJavaScriptConfirmPanelWithMessage:(NSString*)message
                        initiatedByFrame:(WKFrameInfo*)frame
                       completionHandler:(void (^)(BOOL result))completionHandler;
- (void)webView:(WKWebView*)webView
    runJavaScriptTextInputPanelWithPrompt:(NSString*)prompt
                              defaultText:(NSString*)defaultText
                         initiatedByFrame:(WKFrameInfo*)frame
                        completionHandler:(void (^)(NSString* result))completionHandler;
@end

@interface WKWebView : NSView
// CGRect on the Mac, where NSRect is the same type.
- (instancetype)initWithFrame:(NSRect)frame configuration:(WKWebViewConfiguration*)configuration;
@property(weak) id<WKNavigationDelegate> navigationDelegate;
@property(weak) id<WKUIDelegate> UIDelegate;
- (WKNavigation*)loadRequest:(NSURLRequest*)request;
- (void)stopLoading;
@end
