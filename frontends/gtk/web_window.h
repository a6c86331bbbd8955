// A web window: WebKitGTK in an application window, reporting loads and page dialogs once each.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <nlohmann/json.hpp>
#include <string>

#include "app/platform/ui.h"
#include "frontends/gtk/gobject_ptr.h"

namespace kestrova::gtk {

class GtkWebWindow : public WebWindow {
 public:
  // `menuBar` (floating, may be null) goes above the page. The delegate outlives the window.
  GtkWebWindow(GtkApplication* app, const WebWindowSpec& shape, WebWindowDelegate& delegate,
               GtkWidget* menuBar);
  ~GtkWebWindow() override;
  GtkWebWindow(const GtkWebWindow&) = delete;
  GtkWebWindow& operator=(const GtkWebWindow&) = delete;

  void load(const std::string& url, double timeoutSeconds) override;
  void bringToFront() override;
  [[nodiscard]] bool isVisible() const override;

  [[nodiscard]] GtkWindow* window() const { return GTK_WINDOW(window_.get()); }
  [[nodiscard]] WebKitWebView* webView() const { return WEBKIT_WEB_VIEW(web_.get()); }
  // Title, visibility, frame, the page shown and how many loads finished or failed.
  [[nodiscard]] nlohmann::json describe() const;

 private:
  static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean onLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri,
                               GError* error, gpointer self);
  static gboolean onLoadTimedOut(gpointer self);
  static gboolean onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
  static gboolean onDeleteEvent(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean onConfigure(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean onSaveFrame(gpointer self);

  void placeWindow(int width, int height, GtkWidget* menuBar);
  void reportFailure();
  void reportFinished();
  void stopTimeLimit();
  void saveFrame();

  WebWindowDelegate& delegate_;
  std::string autosaveName_;
  GObjectPtr<GtkWidget> window_;
  GObjectPtr<GtkWidget> web_;

  // The navigation in progress: whether it has committed, and whether its outcome has been told
  // to the delegate (WebKit signals "finished" after a failure as well; only one may pass).
  bool committed_ = false;
  bool reported_ = true;
  guint timeLimit_ = 0;
  guint frameSave_ = 0;
  int finishedLoads_ = 0;
  int failedLoads_ = 0;
};

}  // namespace kestrova::gtk
