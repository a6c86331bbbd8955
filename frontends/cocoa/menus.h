// Menus described as values, rendered as NSMenu, with the controller's commands routed by name.
#pragma once

#import <AppKit/AppKit.h>

#include "app/platform/menu.h"
#include "app/platform/ui.h"

// The target of every item whose action belongs to the controller: the item carries the action's
// name, and choosing it calls AppHandler::perform with that name. Items send nothing while no
// handler is set (before the event loop runs, and after it ends).
@interface KSMenuRouter : NSObject
@property(nonatomic) kestrova::AppHandler* handler;
- (void)performControllerAction:(NSMenuItem*)sender;
@end

namespace kestrova::cocoa {

// A new NSMenu for the value. Controller items target `router` (which menus do not retain: the
// owner keeps it); responder-chain items have no target, so AppKit sends their selector ("copy:")
// to whatever has the focus and enables them by what answers it. A menu with controller items
// keeps the core's enabled states instead. `windowsMenu`, when given, receives the submenu marked
// as the windows menu.
[[nodiscard]] NSMenu* buildMenu(const Menu& menu, KSMenuRouter* router,
                                NSMenu* __strong* windowsMenu = nullptr);

}  // namespace kestrova::cocoa
