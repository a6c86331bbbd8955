// The desktop's services: the clipboard, the default browser, the file manager.
#pragma once

#include <string>

namespace kestrova::gtk {

// Puts the text on the clipboard and hands it to a clipboard manager where one runs, so it
// stays available after the dialog that offered it, and after the app, is gone.
void setClipboardText(const std::string& text);

// Opens the address in the user's default application for it. False when none could be started.
[[nodiscard]] bool openUri(const std::string& uri);

// Shows the file selected in the file manager (the freedesktop FileManager1 interface); where
// no file manager answers, opens the folder that holds it. A file that does not exist is not
// shown at all, as on the Mac, rather than leaving the file manager to complain: false then.
bool revealInFileManager(const std::string& path);

}  // namespace kestrova::gtk
