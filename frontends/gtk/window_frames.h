// Window frames remembered by autosave name across runs, in the user's configuration folder.
#pragma once

#include <optional>
#include <string>

namespace kestrova::gtk {

struct WindowFrame {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const WindowFrame&) const = default;
};

// <user config dir>/kestrova/windows.ini, one group per autosave name.
[[nodiscard]] std::string windowFramesFile();

// The frame saved under the name; absent when none was saved or the entry is unusable.
[[nodiscard]] std::optional<WindowFrame> loadWindowFrame(const std::string& file,
                                                         const std::string& name);
// Records the frame under the name, keeping the other names' entries. Absent on success, else
// the reason it could not be written.
std::optional<std::string> saveWindowFrame(const std::string& file, const std::string& name,
                                           const WindowFrame& frame);

}  // namespace kestrova::gtk
