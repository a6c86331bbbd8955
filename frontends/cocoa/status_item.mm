#include "frontends/cocoa/status_item.h"

#include <utility>

#include "frontends/cocoa/ns_text.h"

@implementation KSStatusMenuWatch

- (void)menuWillOpen:(NSMenu*)menu {
  _open = YES;
}

- (void)menuDidClose:(NSMenu*)menu {
  _open = NO;
  KSStatusMenuWatch* __weak weakSelf = self;
  [[NSOperationQueue mainQueue] addOperationWithBlock:^{
    KSStatusMenuWatch* watch = weakSelf;
    if (watch != nil && !watch.open && watch.closed != nil) {
      watch.closed();
    }
  }];
}

@end

namespace kestrova::cocoa {

CocoaStatusItem::CocoaStatusItem(KSMenuRouter* router)
    : router_(router),
      item_([NSStatusBar.systemStatusBar statusItemWithLength:NSVariableStatusItemLength]),
      watch_([[KSStatusMenuWatch alloc] init]) {
  watch_.closed = ^{
    if (waiting_) {
      show(*std::exchange(waiting_, std::nullopt));
    }
  };
}

CocoaStatusItem::~CocoaStatusItem() {
  watch_.closed = nil;
  [NSStatusBar.systemStatusBar removeStatusItem:item_];
}

// System symbols exist from macOS 11 on; before that, and for a name the system does not know,
// the caller shows a title instead.
bool CocoaStatusItem::setSymbol(const std::string& symbolName, const std::string& accessibility) {
  NSStatusBarButton* button = item_.button;
  if (button == nil) {
    return false;
  }
  if (@available(macOS 11.0, *)) {
    NSImage* image = [NSImage imageWithSystemSymbolName:toNSString(symbolName)
                               accessibilityDescription:toNSString(accessibility)];
    if (image != nil) {
      // A template image is tinted by the menu bar for light and dark appearances.
      [image setTemplate:YES];
      button.image = image;
      button.title = @"";
      return true;
    }
  }
  return false;
}

void CocoaStatusItem::setTitle(const std::string& title) {
  NSStatusBarButton* button = item_.button;
  button.image = nil;
  button.title = toNSString(title);
}

void CocoaStatusItem::setMenu(const Menu& menu) {
  if (watch_.open) {
    waiting_ = menu;
    return;
  }
  show(menu);
}

void CocoaStatusItem::show(const Menu& menu) {
  NSMenu* built = buildMenu(menu, router_);
  built.delegate = watch_;
  item_.menu = built;
}

void CocoaStatusItem::setAppearsDisabled(bool disabled) {
  item_.button.appearsDisabled = disabled ? YES : NO;
}

}  // namespace kestrova::cocoa
