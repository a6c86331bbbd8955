#include "frontends/cocoa/workspace.h"

#import <AppKit/AppKit.h>

#include "app/platform/modal_scope.h"
#include "frontends/cocoa/ns_text.h"

namespace kestrova::cocoa {

std::optional<std::string> runFolderPanel(const FolderPanelSpec& panel, MainLoop& loop) {
  NSOpenPanel* chooser = [NSOpenPanel openPanel];
  chooser.canChooseDirectories = YES;
  chooser.canChooseFiles = NO;
  chooser.allowsMultipleSelection = NO;
  chooser.title = toNSString(panel.title);
  chooser.message = toNSString(panel.message);
  chooser.prompt = toNSString(panel.prompt);
  // As an alert: an open panel must not hold up a logout or restart.
  chooser.preventsApplicationTerminationWhenModal = NO;
  NSModalResponse response = NSModalResponseCancel;
  {
    ModalScope modal(loop);
    response = [chooser runModal];
  }
  NSURL* chosen = chooser.URLs.firstObject;
  if (response != NSModalResponseOK || chosen == nil) {
    return std::nullopt;
  }
  // The file-system path: no scheme and no percent-escapes.
  return toStdString(chosen.path);
}

void putTextOnPasteboard(const std::string& text) {
  NSPasteboard* pasteboard = NSPasteboard.generalPasteboard;
  [pasteboard clearContents];
  [pasteboard setString:toNSString(text) forType:NSPasteboardTypeString];
}

bool openInWorkspace(const std::string& url) {
  NSURL* target = [NSURL URLWithString:toNSString(url)];
  return target != nil && [NSWorkspace.sharedWorkspace openURL:target];
}

void revealInFinder(const std::string& path) {
  NSString* file = toNSString(path);
  (void)[NSWorkspace.sharedWorkspace selectFile:file
                       inFileViewerRootedAtPath:file.stringByDeletingLastPathComponent];
}

}  // namespace kestrova::cocoa
