#include "frontends/cocoa/menus.h"

#include <algorithm>

#include "frontends/cocoa/ns_text.h"

@implementation KSMenuRouter

- (void)performControllerAction:(NSMenuItem*)sender {
  id name = sender.representedObject;
  if (self.handler != nullptr && [name isKindOfClass:[NSString class]]) {
    self.handler->perform(kestrova::cocoa::toStdString(static_cast<NSString*>(name)));
  }
}

@end

namespace kestrova::cocoa {
namespace {

bool targetsController(const Menu& menu) {
  return std::any_of(menu.items.begin(), menu.items.end(), [](const MenuItem& item) {
    return !item.action.empty() && item.target == MenuTarget::controller;
  });
}

// A key equivalent is used with Command; AppKit adds Shift for an upper-case letter itself.
NSMenuItem* buildItem(const MenuItem& item, KSMenuRouter* router, NSMenu* __strong* windowsMenu) {
  if (item.separator) {
    // The cast is a no-op on the Mac; older AppKit headers typed the separator as id<NSMenuItem>.
    return static_cast<NSMenuItem*>([NSMenuItem separatorItem]);
  }
  NSMenuItem* built = [[NSMenuItem alloc] initWithTitle:toNSString(item.title)
                                                 action:nullptr
                                          keyEquivalent:toNSString(item.key)];
  if (!item.action.empty() && item.target == MenuTarget::controller) {
    built.action = @selector(performControllerAction:);
    built.target = router;
    built.representedObject = toNSString(item.action);
  } else if (!item.action.empty()) {
    built.action = NSSelectorFromString(toNSString(item.action));
  }
  built.enabled = item.enabled ? YES : NO;
  built.state = item.checked ? NSControlStateValueOn : NSControlStateValueOff;
  if (!item.submenu.empty()) {
    built.submenu = buildMenu(item.submenu.front(), router, windowsMenu);
  }
  return built;
}

}  // namespace

NSMenu* buildMenu(const Menu& menu, KSMenuRouter* router, NSMenu* __strong* windowsMenu) {
  NSMenu* built = [[NSMenu alloc] initWithTitle:toNSString(menu.title)];
  built.autoenablesItems = targetsController(menu) ? NO : YES;
  for (const MenuItem& item : menu.items) {
    [built addItem:buildItem(item, router, windowsMenu)];
  }
  if (menu.isWindowsMenu && windowsMenu != nullptr) {
    *windowsMenu = built;
  }
  return built;
}

}  // namespace kestrova::cocoa
