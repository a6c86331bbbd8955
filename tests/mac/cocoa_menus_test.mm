// Menus and the status item on AppKit, from the core's values: titles, key equivalents, targets,
// enabled states, the windows menu; the status item's title where no symbol image exists, and a
// menu kept still while it is open. Mac only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontends/cocoa/menus.h"
#include "frontends/cocoa/ns_text.h"
#include "frontends/cocoa/status_item.h"
#include "tests/mac/main_queue.h"

namespace kestrova {
namespace {

// Title, key, enabled, routed to the controller, action.
std::string described(NSMenuItem* item, KSMenuRouter* router) {
  return cocoa::toStdString([NSString
      stringWithFormat:@"%@ %@ %d %d %@", item.title, item.keyEquivalent, [item isEnabled],
                       item.target == router, NSStringFromSelector(item.action)]);
}

TEST(CocoaMenus, BuiltFromTheCoresValues) {
  MenuItem stop = MenuItem::makeCommand("Stop", "stopEngine", "S");
  stop.enabled = false;
  MenuItem window = MenuItem::makeCommand("Window", "");
  window.submenu = {Menu{
      "Window",
      {MenuItem::makeCommand("Minimize", "performMiniaturize:", "m", MenuTarget::responderChain)},
      true}};
  const Menu menu{"Kestrova",
                  {MenuItem::makeCommand("Open", "openDashboard", "d"), stop,
                   MenuItem::makeSeparator(), window}};
  KSMenuRouter* router = [[KSMenuRouter alloc] init];
  NSMenu* windowsMenu = nil;
  NSMenu* built = cocoa::buildMenu(menu, router, &windowsMenu);
  ASSERT_EQ(built.numberOfItems, 4);
  EXPECT_EQ((std::vector<std::string>{described([built itemAtIndex:0], router),
                                      described([built itemAtIndex:1], router),
                                      described([windowsMenu itemAtIndex:0], router)}),
            (std::vector<std::string>{
                "Open d 1 1 performControllerAction:", "Stop S 0 1 performControllerAction:",
                "Minimize m 1 0 performMiniaturize:"}));
  EXPECT_TRUE([[built itemAtIndex:2] isSeparatorItem]);
  EXPECT_EQ(windowsMenu, [built itemAtIndex:3].submenu);
  EXPECT_FALSE(built.autoenablesItems) << "the core decides what is enabled";
  EXPECT_TRUE(windowsMenu.autoenablesItems) << "the responder chain decides";
}

TEST(CocoaStatusItem, ATitleWhereNoSymbolExistsAndAnOpenMenuUpdatedWhenItCloses) {
  [NSApplication sharedApplication];
  cocoa::CocoaStatusItem item([[KSMenuRouter alloc] init]);
  EXPECT_FALSE(item.setSymbol("kestrova.no-such-symbol", "Kestrova"));
  item.setTitle("Kestrova");
  NSStatusBarButton* button = item.statusItem().button;
  EXPECT_TRUE(button.image == nil && [button.title isEqualToString:@"Kestrova"]);

  const auto titled = [](const char* state) {
    return Menu{"", {MenuItem::makeCommand(state, "")}};
  };
  item.setMenu(titled("Stopped"));
  NSMenu* open = item.statusItem().menu;
  [open.delegate menuWillOpen:open];
  item.setMenu(titled("Starting"));
  item.setMenu(titled("Running"));
  EXPECT_EQ(item.statusItem().menu, open);
  [open.delegate menuDidClose:open];
  testing::drainMainQueue();
  EXPECT_EQ(cocoa::toStdString([item.statusItem().menu itemAtIndex:0].title), "Running");
}

}  // namespace
}  // namespace kestrova
