#include "frontends/gtk/workspace.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <array>
#include <memory>

#include "frontends/gtk/gobject_ptr.h"

namespace kestrova::gtk {
namespace {

constexpr int kFileManagerTimeoutMs = 3000;

std::string folderUriOf(const std::string& path) {
  gchar* folder = g_path_get_dirname(path.c_str());
  gchar* uri = g_filename_to_uri(folder, nullptr, nullptr);
  std::string result = uri != nullptr ? uri : "";
  g_free(uri);
  g_free(folder);
  return result;
}

void onShowItemsReplied(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::string> folderUri(static_cast<std::string*>(data));
  ErrorHolder error;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, error.out());
  if (reply != nullptr) {
    g_variant_unref(reply);
    return;
  }
  g_message("Kestrova: no file manager answered (%s); opening the folder", error.message());
  (void)openUri(*folderUri);
}

}  // namespace

void setClipboardText(const std::string& text) {
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  gtk_clipboard_set_text(clipboard, text.c_str(), static_cast<gint>(text.size()));
  gtk_clipboard_set_can_store(clipboard, nullptr, 0);
  gtk_clipboard_store(clipboard);
}

bool openUri(const std::string& uri) {
  ErrorHolder error;
  if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, error.out()) == FALSE) {
    g_message("Kestrova: could not open %s: %s", uri.c_str(), error.message());
    return false;
  }
  return true;
}

bool revealInFileManager(const std::string& path) {
  if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS) == FALSE) {
    return false;
  }
  const std::string folderUri = folderUriOf(path);
  ErrorHolder error;
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
  gchar* fileUri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (!bus || fileUri == nullptr) {
    g_free(fileUri);
    return openUri(folderUri);
  }
  const std::array<const gchar*, 2> uris{fileUri, nullptr};
  g_dbus_connection_call(bus.get(), "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                         "org.freedesktop.FileManager1", "ShowItems",
                         g_variant_new("(^ass)", uris.data(), ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                         kFileManagerTimeoutMs, nullptr, &onShowItemsReplied,
                         std::make_unique<std::string>(folderUri).release());
  g_free(fileUri);
  return true;
}

}  // namespace kestrova::gtk
