#include "frontends/cocoa/alerts.h"

#import <AppKit/AppKit.h>

#include "app/platform/modal_scope.h"
#include "frontends/cocoa/ns_text.h"

namespace kestrova::cocoa {
namespace {

NSTextField* makeField(const AlertField& field) {
  const NSRect frame = NSMakeRect(0, 0, field.width, field.height);
  NSTextField* built = field.masked ? [[NSSecureTextField alloc] initWithFrame:frame]
                                    : [[NSTextField alloc] initWithFrame:frame];
  built.stringValue = toNSString(field.text);
  return built;
}

}  // namespace

AlertAnswer runModalAlert(const AlertSpec& alert, MainLoop& loop) {
  NSAlert* shown = [[NSAlert alloc] init];
  shown.messageText = toNSString(alert.message);
  shown.informativeText = toNSString(alert.informative);
  for (const std::string& title : alert.buttons) {
    [shown addButtonWithTitle:toNSString(title)];
  }
  NSTextField* field = alert.field ? makeField(*alert.field) : nil;
  if (field != nil) {
    shown.accessoryView = field;
    // The alert's own window, laid out with the accessory, starts with the field focused.
    [shown layout];
    NSWindow* window = shown.window;
    window.initialFirstResponder = field;
  }
  // Nobody may be at the station to answer: an open alert must not hold up a logout or restart.
  NSWindow* alertWindow = shown.window;
  alertWindow.preventsApplicationTerminationWhenModal = NO;
  AlertAnswer answer;
  NSModalResponse response = NSModalResponseAbort;
  {
    ModalScope modal(loop);
    response = [shown runModal];
  }
  const auto buttons = static_cast<NSModalResponse>(alert.buttons.size());
  answer.response = response >= kAlertFirstButton && response < kAlertFirstButton + buttons
                        ? static_cast<int>(response)
                        : dismissedAlertResponse(alert.buttons);
  if (field != nil) {
    answer.fieldText = toStdString(field.stringValue);
  }
  return answer;
}

}  // namespace kestrova::cocoa
