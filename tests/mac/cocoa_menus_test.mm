// Menus and the status item on AppKit, from the core's values: titles, key equivalents, targets,
// enabled states, the windows menu; the status item's title where no symbol image exists, and a
// menu kept still while it is open. Mac only.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "frontends/cocoa/menus.h"
#include "frontends/cocoa/ns_text.h"
#include "frontends/cocoa/status_item.h"
#include "tests/mac/main_queue.h"

namespace kestrova {
namespace {

struct Recorder final : AppHandler {
  std::vector<std::string> performed;
  void applicationDidFinishLaunching() override {}
  bool applicationShouldHandleReopen(bool) override { return true; }
  bool applicationShouldTerminateAfterLastWindowClosed() override { return false; }
  void perform(std::string_view action) override { performed.emplace_back(action); }
};

using Row = std::tuple<std::string, std::string, bool, bool, std::string>;

Row rowOf(NSMenuItem* item, KSMenuRouter* router) {
  return {cocoa::toStdString(item.title), cocoa::toStdString(item.keyEquivalent),
          [item isEnabled] == YES, item.target == router,
          NSStringFromSelector(item.action).UTF8String};
}

TEST(CocoaMenus, BuiltFromTheCoresValuesWithCommandsRoutedByName) {
  MenuItem stop = MenuItem::makeCommand("Stop Engine", "stopEngine", "S");
  stop.enabled = false;
  MenuItem window = MenuItem::makeCommand("Window", "");
  window.submenu = {Menu{
      "Window",
      {MenuItem::makeCommand("Minimize", "performMiniaturize:", "m", MenuTarget::responderChain)},
      true}};
  const Menu menu{"Kestrova",
                  {MenuItem::makeCommand("Open Dashboard", "openDashboard", "d"), stop,
                   MenuItem::makeSeparator(), window}};
  KSMenuRouter* router = [[KSMenuRouter alloc] init];
  NSMenu* windowsMenu = nil;
  NSMenu* built = cocoa::buildMenu(menu, router, &windowsMenu);
  ASSERT_EQ(built.numberOfItems, 4);
  NSMenuItem* minimize = [windowsMenu itemAtIndex:0];
  EXPECT_EQ((std::vector<Row>{rowOf([built itemAtIndex:0], router),
                              rowOf([built itemAtIndex:1], router), rowOf(minimize, router)}),
            (std::vector<Row>{{"Open Dashboard", "d", true, true, "performControllerAction:"},
                              {"Stop Engine", "S", false, true, "performControllerAction:"},
                              {"Minimize", "m", true, false, "performMiniaturize:"}}));
  EXPECT_TRUE([[built itemAtIndex:2] isSeparatorItem]);
  EXPECT_EQ(windowsMenu, [built itemAtIndex:3].submenu);
  EXPECT_FALSE(built.autoenablesItems) << "the core decides what is enabled";
  EXPECT_TRUE(windowsMenu.autoenablesItems) << "the responder chain decides";

  Recorder recorder;
  [router performControllerAction:[built itemAtIndex:0]];  // no handler yet: nothing
  router.handler = &recorder;
  [router performControllerAction:[built itemAtIndex:0]];
  EXPECT_EQ(recorder.performed, std::vector<std::string>{"openDashboard"});
}

Menu titled(const std::string& state) { return Menu{"", {MenuItem::makeCommand(state, "")}}; }

std::string firstTitle(const cocoa::CocoaStatusItem& item) {
  return cocoa::toStdString([item.statusItem().menu itemAtIndex:0].title);
}

TEST(CocoaStatusItem, ATitleWhereNoSymbolExistsAndAnOpenMenuUpdatedWhenItCloses) {
  [NSApplication sharedApplication];
  KSMenuRouter* router = [[KSMenuRouter alloc] init];
  cocoa::CocoaStatusItem item(router);
  EXPECT_FALSE(item.setSymbol("kestrova.no-such-symbol", "Kestrova"));
  item.setTitle("Kestrova");
  NSStatusBarButton* button = item.statusItem().button;
  EXPECT_TRUE(button.image == nil && [button.title isEqualToString:@"Kestrova"]);

  item.setMenu(titled("Stopped"));
  NSMenu* open = item.statusItem().menu;
  [open.delegate menuWillOpen:open];
  item.setMenu(titled("Starting"));
  item.setMenu(titled("Running"));
  EXPECT_EQ(item.statusItem().menu, open);
  [open.delegate menuDidClose:open];
  testing::drainMainQueue();
  EXPECT_EQ(firstTitle(item), "Running");
}

}  // namespace
}  // namespace kestrova
