// The folder panel, the general pasteboard and the workspace (open a URL, reveal a file).
#pragma once

#include <optional>
#include <string>

#include "app/platform/main_loop.h"
#include "app/platform/ui.h"

namespace kestrova::cocoa {

// NSOpenPanel for one folder and no files, run modally; the chosen folder's path or absent.
[[nodiscard]] std::optional<std::string> runFolderPanel(const FolderPanelSpec& panel,
                                                        MainLoop& loop);

// Clears the general pasteboard, then puts the text on it.
void putTextOnPasteboard(const std::string& text);

// Opens the URL in the user's default application for it; false when it is not a URL or the
// workspace could not open it.
[[nodiscard]] bool openInWorkspace(const std::string& url);

// Selects the file in a Finder window rooted at its folder.
void revealInFinder(const std::string& path);

}  // namespace kestrova::cocoa
