// The status item: an NSStatusItem in the system status bar with the core's menu.
#pragma once

#import <AppKit/AppKit.h>

#include <optional>

#include "app/platform/ui.h"
#include "frontends/cocoa/menus.h"

// The status menu's delegate: knows whether the menu is open, and runs `closed` on the main
// queue's next turn after it closes (AppKit sends the chosen item's action after menuDidClose:,
// so the menu is not replaced under it).
@interface KSStatusMenuWatch : NSObject <NSMenuDelegate>
@property(nonatomic, readonly) BOOL open;
@property(nonatomic, copy) void (^closed)(void);
@end

namespace kestrova::cocoa {

class CocoaStatusItem final : public StatusItem {
 public:
  // `router` receives the menu's controller commands; the Ui that owns it outlives the item.
  explicit CocoaStatusItem(KSMenuRouter* router);
  ~CocoaStatusItem() override;
  CocoaStatusItem(const CocoaStatusItem&) = delete;
  CocoaStatusItem& operator=(const CocoaStatusItem&) = delete;

  bool setSymbol(const std::string& symbolName, const std::string& accessibility) override;
  void setTitle(const std::string& title) override;
  // Main-queue blocks (a poll's reply) run while a menu is tracked: a menu that arrives while
  // this one is open is kept, the newest only, and shown once it closes, as in the GTK program.
  void setMenu(const Menu& menu) override;
  void setAppearsDisabled(bool disabled) override;

  // The system's item, as the menu bar shows it.
  [[nodiscard]] NSStatusItem* statusItem() const { return item_; }

 private:
  void show(const Menu& menu);

  KSMenuRouter* __weak router_;
  NSStatusItem* item_;
  KSStatusMenuWatch* watch_;
  std::optional<Menu> waiting_;
};

}  // namespace kestrova::cocoa
