// The status item: an NSStatusItem in the system status bar with the core's menu.
#pragma once

#import <AppKit/AppKit.h>

#include "app/platform/ui.h"
#include "frontends/cocoa/menus.h"

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
  void setMenu(const Menu& menu) override;
  void setAppearsDisabled(bool disabled) override;

 private:
  KSMenuRouter* __weak router_;
  NSStatusItem* item_;
};

}  // namespace kestrova::cocoa
