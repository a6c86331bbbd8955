#include "frontends/gtk/window_frames.h"

#include <glib.h>

#include <memory>

#include "app/platform/atomic_file.h"

namespace kestrova::gtk {
namespace {

struct KeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

KeyFile readKeyFile(const std::string& file) {
  KeyFile keys(g_key_file_new());
  // A missing or damaged file reads as empty: the window then opens centred.
  (void)g_key_file_load_from_file(keys.get(), file.c_str(), G_KEY_FILE_NONE, nullptr);
  return keys;
}

std::optional<int> readInt(GKeyFile* keys, const std::string& group, const char* key) {
  GError* error = nullptr;
  const int value = g_key_file_get_integer(keys, group.c_str(), key, &error);
  if (error != nullptr) {
    g_error_free(error);
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::string windowFramesFile() {
  gchar* path = g_build_filename(g_get_user_config_dir(), "kestrova", "windows.ini", nullptr);
  std::string result = path;
  g_free(path);
  return result;
}

std::optional<WindowFrame> loadWindowFrame(const std::string& file, const std::string& name) {
  const KeyFile keys = readKeyFile(file);
  const auto x = readInt(keys.get(), name, "x");
  const auto y = readInt(keys.get(), name, "y");
  const auto width = readInt(keys.get(), name, "width");
  const auto height = readInt(keys.get(), name, "height");
  if (!x || !y || !width || !height || *width <= 0 || *height <= 0) {
    return std::nullopt;
  }
  return WindowFrame{*x, *y, *width, *height};
}

std::optional<std::string> saveWindowFrame(const std::string& file, const std::string& name,
                                           const WindowFrame& frame) {
  const KeyFile keys = readKeyFile(file);
  g_key_file_set_integer(keys.get(), name.c_str(), "x", frame.x);
  g_key_file_set_integer(keys.get(), name.c_str(), "y", frame.y);
  g_key_file_set_integer(keys.get(), name.c_str(), "width", frame.width);
  g_key_file_set_integer(keys.get(), name.c_str(), "height", frame.height);
  gsize length = 0;
  gchar* text = g_key_file_to_data(keys.get(), &length, nullptr);
  const std::string contents(text, length);
  g_free(text);
  gchar* folder = g_path_get_dirname(file.c_str());
  const int made = g_mkdir_with_parents(folder, 0700);
  g_free(folder);
  if (made != 0) {
    return "could not create the folder of " + file;
  }
  return writeFileAtomically(file, contents);
}

}  // namespace kestrova::gtk
