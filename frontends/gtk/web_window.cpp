#include "frontends/gtk/web_window.h"

#include <cmath>

#include "frontends/gtk/window_frames.h"

namespace kestrova::gtk {
namespace {

// Moves and resizes come in bursts while the user drags; the file is written once they settle.
constexpr guint kFrameSaveDelayMs = 500;

guint timeoutMilliseconds(double seconds) {
  return static_cast<guint>(std::lround(std::max(0.1, seconds) * 1000.0));
}

}  // namespace

GtkWebWindow::GtkWebWindow(GtkApplication* app, const WebWindowSpec& shape,
                           WebWindowDelegate& delegate, GtkWidget* menuBar)
    : delegate_(delegate),
      autosaveName_(shape.autosaveName),
      window_(adoptFloating(gtk_application_window_new(app))),
      web_(adoptFloating(webkit_web_view_new())) {
  GtkWindow* window = GTK_WINDOW(window_.get());
  gtk_window_set_title(window, shape.title.c_str());
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  if (menuBar != nullptr) {
    gtk_box_pack_start(GTK_BOX(box), menuBar, FALSE, FALSE, 0);
  }
  gtk_box_pack_start(GTK_BOX(box), web_.get(), TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  gtk_widget_show_all(box);
  placeWindow(shape.width, shape.height, menuBar);

  connectSignal(web_.get(), "load-changed", &GtkWebWindow::onLoadChanged, this);
  connectSignal(web_.get(), "load-failed", &GtkWebWindow::onLoadFailed, this);
  connectSignal(web_.get(), "script-dialog", &GtkWebWindow::onScriptDialog, this);
  connectSignal(window_.get(), "delete-event", &GtkWebWindow::onDeleteEvent, this);
  connectSignal(window_.get(), "configure-event", &GtkWebWindow::onConfigure, this);
}

GtkWebWindow::~GtkWebWindow() {
  stopTimeLimit();
  if (frameSave_ != 0) {
    g_source_remove(frameSave_);
    saveFrame();
  }
  g_signal_handlers_disconnect_by_data(web_.get(), this);
  g_signal_handlers_disconnect_by_data(window_.get(), this);
  gtk_widget_destroy(window_.get());
}

// The page gets the core's size; the menu bar is added on top of it. A frame saved by an
// earlier run replaces the centred one.
void GtkWebWindow::placeWindow(int width, int height, GtkWidget* menuBar) {
  GtkWindow* window = GTK_WINDOW(window_.get());
  int barHeight = 0;
  if (menuBar != nullptr) {
    gtk_widget_get_preferred_height(menuBar, nullptr, &barHeight);
  }
  if (const auto frame = loadWindowFrame(windowFramesFile(), autosaveName_);
      frame && !autosaveName_.empty()) {
    gtk_window_set_default_size(window, frame->width, frame->height);
    gtk_window_move(window, frame->x, frame->y);
  } else {
    gtk_window_set_default_size(window, width, height + barHeight);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  }
}

void GtkWebWindow::load(const std::string& url, double timeoutSeconds) {
  stopTimeLimit();
  committed_ = false;
  reported_ = false;
  timeLimit_ =
      g_timeout_add(timeoutMilliseconds(timeoutSeconds), &GtkWebWindow::onLoadTimedOut, this);
  webkit_web_view_load_uri(webView(), url.c_str());
}

void GtkWebWindow::bringToFront() {
  gtk_window_present(window());
  gtk_widget_grab_focus(web_.get());
}

bool GtkWebWindow::isVisible() const { return gtk_widget_get_visible(window_.get()) != FALSE; }

void GtkWebWindow::onLoadChanged(WebKitWebView* /*view*/, WebKitLoadEvent event, gpointer self) {
  auto* window = static_cast<GtkWebWindow*>(self);
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      // Also a navigation the page starts itself (a link): it gets its own outcome.
      window->committed_ = false;
      window->reported_ = false;
      break;
    case WEBKIT_LOAD_COMMITTED:
      window->committed_ = true;
      break;
    case WEBKIT_LOAD_FINISHED:
      window->reportFinished();
      break;
    case WEBKIT_LOAD_REDIRECTED:
      break;
  }
}

// Returning TRUE keeps WebKit from loading its own error page, which would otherwise arrive as
// one more navigation that "finishes".
gboolean GtkWebWindow::onLoadFailed(WebKitWebView* /*view*/, WebKitLoadEvent /*event*/,
                                    gchar* /*uri*/, GError* error, gpointer self) {
  auto* window = static_cast<GtkWebWindow*>(self);
  // A cancelled load was stopped by our time limit (already told) or replaced by a newer load,
  // whose own outcome follows: nothing to tell, and nothing to change for the newer one.
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
    return TRUE;
  }
  if (window->committed_) {
    // A failure after the page committed is not a provisional one, nor a finished load.
    window->stopTimeLimit();
    window->reported_ = true;
    return TRUE;
  }
  window->reportFailure();
  return TRUE;
}

gboolean GtkWebWindow::onLoadTimedOut(gpointer self) {
  auto* window = static_cast<GtkWebWindow*>(self);
  window->timeLimit_ = 0;
  if (!window->committed_ && !window->reported_) {
    // Tell first, then stop: stopping signals a cancelled failure, which is then ignored.
    window->reportFailure();
    webkit_web_view_stop_loading(window->webView());
  }
  return G_SOURCE_REMOVE;
}

void GtkWebWindow::reportFailure() {
  stopTimeLimit();
  if (reported_) {
    return;
  }
  reported_ = true;
  ++failedLoads_;
  delegate_.didFailProvisionalLoad();
}

void GtkWebWindow::reportFinished() {
  stopTimeLimit();
  if (reported_) {
    return;
  }
  reported_ = true;
  ++finishedLoads_;
  delegate_.didFinishLoad();
}

void GtkWebWindow::stopTimeLimit() {
  if (timeLimit_ != 0) {
    g_source_remove(timeLimit_);
    timeLimit_ = 0;
  }
}

gboolean GtkWebWindow::onScriptDialog(WebKitWebView* /*view*/, WebKitScriptDialog* dialog,
                                      gpointer self) {
  auto& delegate = static_cast<GtkWebWindow*>(self)->delegate_;
  const std::string message = webkit_script_dialog_get_message(dialog);
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
      delegate.runAlertPanel(message);
      break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, delegate.runConfirmPanel(message));
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT: {
      const char* initial = webkit_script_dialog_prompt_get_default_text(dialog);
      // Left unset, the page's prompt() returns null, as for Cancel.
      if (const auto text = delegate.runPromptPanel(message, initial != nullptr ? initial : "")) {
        webkit_script_dialog_prompt_set_text(dialog, text->c_str());
      }
      break;
    }
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      // The dashboard never asks; leaving the page is always allowed.
      webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
      break;
  }
  return TRUE;
}

// Closing only hides the window: the window, its page and its state are kept for the next show.
gboolean GtkWebWindow::onDeleteEvent(GtkWidget* widget, GdkEvent* /*event*/, gpointer self) {
  static_cast<GtkWebWindow*>(self)->saveFrame();
  gtk_widget_hide(widget);
  return TRUE;
}

gboolean GtkWebWindow::onConfigure(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer self) {
  auto* window = static_cast<GtkWebWindow*>(self);
  if (window->frameSave_ != 0) {
    g_source_remove(window->frameSave_);
  }
  window->frameSave_ = g_timeout_add(kFrameSaveDelayMs, &GtkWebWindow::onSaveFrame, window);
  return FALSE;
}

gboolean GtkWebWindow::onSaveFrame(gpointer self) {
  auto* window = static_cast<GtkWebWindow*>(self);
  window->frameSave_ = 0;
  window->saveFrame();
  return G_SOURCE_REMOVE;
}

void GtkWebWindow::saveFrame() {
  if (autosaveName_.empty() || !isVisible()) {
    return;
  }
  WindowFrame frame;
  gtk_window_get_position(window(), &frame.x, &frame.y);
  gtk_window_get_size(window(), &frame.width, &frame.height);
  if (const auto error = saveWindowFrame(windowFramesFile(), autosaveName_, frame)) {
    g_warning("Kestrova: could not remember the window's frame: %s", error->c_str());
  }
}

nlohmann::json GtkWebWindow::describe() const {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  gtk_window_get_position(window(), &x, &y);
  gtk_window_get_size(window(), &width, &height);
  const char* uri = webkit_web_view_get_uri(webView());
  const char* pageTitle = webkit_web_view_get_title(webView());
  return {
      {"title", gtk_window_get_title(window()) ? gtk_window_get_title(window()) : ""},
      {"visible", isVisible()},
      {"active", gtk_window_is_active(window()) != FALSE},
      {"frame", {{"x", x}, {"y", y}, {"width", width}, {"height", height}}},
      {"uri", uri != nullptr ? uri : ""},
      {"pageTitle", pageTitle != nullptr ? pageTitle : ""},
      {"finishedLoads", finishedLoads_},
      {"provisionalFailures", failedLoads_},
  };
}

}  // namespace kestrova::gtk
