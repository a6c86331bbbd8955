#include "frontends/gtk/gtk_ui.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>

#include "app/platform/atomic_file.h"
#include "frontends/gtk/indicator_status_item.h"
#include "frontends/gtk/menu_widgets.h"
#include "frontends/gtk/modal_dialogs.h"
#include "frontends/gtk/web_window.h"
#include "frontends/gtk/workspace.h"

namespace kestrova::gtk {
namespace {

// A status item or web window that tells the Ui when its owner lets it go.
template <typename T>
class Tracked final : public T {
 public:
  template <typename... Args>
  explicit Tracked(GtkUi& ui, Args&&... args) : T(std::forward<Args>(args)...), ui_(ui) {}
  ~Tracked() override { ui_.forget(static_cast<T*>(this)); }
  Tracked(const Tracked&) = delete;
  Tracked& operator=(const Tracked&) = delete;

 private:
  GtkUi& ui_;
};

// The standard editing commands as WebKit names them.
std::optional<const char*> editingCommandFor(std::string_view action) {
  static constexpr std::array<std::pair<std::string_view, const char*>, 6> commands{{
      {"undo", WEBKIT_EDITING_COMMAND_UNDO},
      {"redo", WEBKIT_EDITING_COMMAND_REDO},
      {"cut", WEBKIT_EDITING_COMMAND_CUT},
      {"copy", WEBKIT_EDITING_COMMAND_COPY},
      {"paste", WEBKIT_EDITING_COMMAND_PASTE},
      {"selectAll", WEBKIT_EDITING_COMMAND_SELECT_ALL},
  }};
  for (const auto& [name, command] : commands) {
    if (name == action) {
      return command;
    }
  }
  return std::nullopt;
}

// Collects the responder-chain items of the main menu (with their keys) from every submenu.
void collectStandardItems(const Menu& menu, std::vector<MenuItem>& out) {
  for (const MenuItem& item : menu.items) {
    for (const Menu& submenu : item.submenu) {
      collectStandardItems(submenu, out);
    }
    if (item.target == MenuTarget::responderChain && !item.action.empty()) {
      out.push_back(item);
    }
  }
}

}  // namespace

GtkUi::GtkUi(MainLoop& loop, const std::string& applicationId)
    : loop_(loop),
      app_(gtk_application_new(applicationId.c_str(), G_APPLICATION_DEFAULT_FLAGS)),
      actions_(G_ACTION_MAP(app_.get()), loop) {
  connectSignal(app_.get(), "startup", &GtkUi::onStartup, this);
  connectSignal(app_.get(), "activate", &GtkUi::onActivate, this);
}

GtkUi::~GtkUi() { g_signal_handlers_disconnect_by_data(app_.get(), this); }

// A GtkApplication always has windows, a menu and a place among the running applications;
// there is no Dock to opt into.
void GtkUi::setRegularActivationPolicy() {}

void GtkUi::setMainMenu(const Menu& mainMenu) { mainMenu_ = mainMenu; }

int GtkUi::run(AppHandler& handler) {
  handler_ = &handler;
  actions_.setHandler(&handler);
  const int status = g_application_run(G_APPLICATION(app_.get()), 0, nullptr);
  actions_.setHandler(nullptr);
  handler_ = nullptr;
  return status;
}

void GtkUi::onStartup(GApplication* app, gpointer self) {
  auto* ui = static_cast<GtkUi*>(self);
  g_application_hold(app);
  ui->exportStandardActions();
  if (const char* dumpFile = g_getenv("KESTROVA_STATE_DUMP"); dumpFile != nullptr) {
    // For tests and support: the state query, answered into the named file.
    const std::string path = dumpFile;
    ui->actions_.add("x-dump-state", [ui, path] { ui->writeState(path); });
    // And the folder chooser answered from outside, as a person would choose a folder in it.
    ui->actions_.addWithText("x-choose-folder", &GtkUi::chooseInOpenFolderChooser);
  }
}

void GtkUi::chooseInOpenFolderChooser(const std::string& folder) {
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* node = toplevels; node != nullptr; node = node->next) {
    if (GTK_IS_FILE_CHOOSER_DIALOG(node->data) &&
        gtk_widget_get_visible(GTK_WIDGET(node->data)) != FALSE) {
      g_object_set_data_full(G_OBJECT(node->data), kChosenFolderKey, g_strdup(folder.c_str()),
                             &g_free);
      // Not an accepting response: the chooser would check its own widgets' choice first.
      gtk_dialog_response(GTK_DIALOG(node->data), GTK_RESPONSE_NONE);
    }
  }
  g_list_free(toplevels);
}

// The first activation is the end of launching; every later one comes from another launch of
// the program, which the Mac asks as the reopen question.
void GtkUi::onActivate(GApplication* /*app*/, gpointer self) {
  auto* ui = static_cast<GtkUi*>(self);
  if (ui->handler_ == nullptr) {
    return;
  }
  if (!ui->launched_) {
    ui->launched_ = true;
    ui->handler_->applicationDidFinishLaunching();
    return;
  }
  // Like a menu command: not from under an open alert.
  ui->loop_.postAfter(0, [ui] {
    if (ui->handler_ != nullptr) {
      (void)ui->handler_->applicationShouldHandleReopen(ui->anyWindowVisible());
    }
  });
}

void GtkUi::exportStandardActions() {
  if (!mainMenu_) {
    return;
  }
  std::vector<MenuItem> items;
  collectStandardItems(*mainMenu_, items);
  for (const MenuItem& item : items) {
    const std::string name = actionNameFor(item);
    actions_.add(name, [this, name] { runStandardAction(name); });
    if (const auto accelerator = acceleratorFor(item.key)) {
      const std::string detailed = "app." + name;
      const std::array<const char*, 2> accels{accelerator->c_str(), nullptr};
      gtk_application_set_accels_for_action(app_.get(), detailed.c_str(), accels.data());
    }
  }
}

void GtkUi::runStandardAction(const std::string& name) {
  GtkWindow* focused = focusedWindow();
  if (name == "terminate") {
    terminate();
  } else if (name == "hide") {
    for (GList* node = gtk_application_get_windows(app_.get()); node != nullptr;
         node = node->next) {
      gtk_widget_hide(GTK_WIDGET(node->data));
    }
  } else if (name == "orderFrontStandardAboutPanel") {
    showAbout();
  } else if (name == "performClose" && focused != nullptr) {
    gtk_window_close(focused);
  } else if (name == "performMiniaturize" && focused != nullptr) {
    gtk_window_iconify(focused);
  } else {
    editInFocusedWindow(name);
  }
}

void GtkUi::editInFocusedWindow(const std::string& name) {
  const auto command = editingCommandFor(name);
  GtkWindow* focused = focusedWindow();
  if (!command || focused == nullptr) {
    return;
  }
  for (GtkWebWindow* web : webWindows_) {
    if (web->window() == focused) {
      webkit_web_view_execute_editing_command(web->webView(), *command);
    }
  }
}

void GtkUi::showAbout() {
  gtk_show_about_dialog(focusedWindow(), "program-name", g_get_application_name(), "version",
                        KESTROVA_VERSION, "logo-icon-name", "network-wireless-symbolic", nullptr);
}

// The application holds itself, so GTK never ends it when the last window goes; the controller
// is asked instead, as on the Mac.
void GtkUi::onWindowHidden(GtkWidget* /*window*/, gpointer self) {
  auto* ui = static_cast<GtkUi*>(self);
  if (ui->handler_ != nullptr && !ui->anyWindowVisible() &&
      ui->handler_->applicationShouldTerminateAfterLastWindowClosed()) {
    ui->terminate();
  }
}

void GtkUi::activate() {
  if (GtkWindow* focused = focusedWindow()) {
    gtk_window_present(focused);
  }
}

// A modal dialog runs a loop of its own, which would hold the quit until someone answered it, and
// nobody may be at the machine: each open dialog is dismissed (as with Escape) and none opens
// after this.
void GtkUi::terminate() {
  terminating_ = true;
  g_application_quit(G_APPLICATION(app_.get()));
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* node = toplevels; node != nullptr; node = node->next) {
    if (GTK_IS_DIALOG(node->data) && gtk_widget_get_visible(GTK_WIDGET(node->data)) != FALSE) {
      gtk_dialog_response(GTK_DIALOG(node->data), GTK_RESPONSE_DELETE_EVENT);
    }
  }
  g_list_free(toplevels);
}

AlertAnswer GtkUi::runAlert(const AlertSpec& alert) {
  if (terminating_) {
    return {dismissedAlertResponse(alert.buttons), alert.field ? alert.field->text : std::string()};
  }
  openAlerts_.push_back(alert);
  AlertAnswer answer = runAlertDialog(alert, focusedWindow(), loop_);
  openAlerts_.pop_back();
  return answer;
}

std::optional<std::string> GtkUi::chooseFolder(const FolderPanelSpec& panel) {
  if (terminating_) {
    return std::nullopt;
  }
  openAlerts_.push_back(AlertSpec{panel.title, panel.message, {panel.prompt, "Cancel"}, {}});
  auto chosen = runFolderChooser(panel, focusedWindow(), loop_);
  openAlerts_.pop_back();
  return chosen;
}

std::unique_ptr<StatusItem> GtkUi::createStatusItem() {
  auto item = std::make_unique<Tracked<IndicatorStatusItem>>(
      *this, G_APPLICATION(app_.get()), actions_,
      g_application_get_application_id(G_APPLICATION(app_.get())));
  statusItems_.push_back(item.get());
  return item;
}

std::unique_ptr<WebWindow> GtkUi::createWebWindow(const WebWindowSpec& shape,
                                                  WebWindowDelegate& delegate) {
  GtkWidget* menuBar =
      mainMenu_ ? buildMenuBar(*mainMenu_, G_APPLICATION(app_.get()), g_get_application_name())
                : nullptr;
  auto window =
      std::make_unique<Tracked<GtkWebWindow>>(*this, app_.get(), shape, delegate, menuBar);
  webWindows_.push_back(window.get());
  connectSignal(window->window(), "hide", &GtkUi::onWindowHidden, this);
  return window;
}

void GtkUi::forget(const void* item) {
  std::erase_if(statusItems_, [item](const IndicatorStatusItem* s) { return s == item; });
  std::erase_if(webWindows_, [item](const GtkWebWindow* w) { return w == item; });
}

void GtkUi::setPasteboardText(const std::string& text) { setClipboardText(text); }

bool GtkUi::openURL(const std::string& url) { return openUri(url); }

void GtkUi::revealFile(const std::string& path) { (void)revealInFileManager(path); }

// The visible window the user worked in last.
GtkWindow* GtkUi::focusedWindow() const {
  GtkWindow* active = gtk_application_get_active_window(app_.get());
  if (active != nullptr && gtk_widget_get_visible(GTK_WIDGET(active)) != FALSE) {
    return active;
  }
  return nullptr;
}

bool GtkUi::anyWindowVisible() const {
  for (GList* node = gtk_application_get_windows(app_.get()); node != nullptr; node = node->next) {
    if (gtk_widget_get_visible(GTK_WIDGET(node->data)) != FALSE) {
      return true;
    }
  }
  return false;
}

void GtkUi::writeState(const std::string& path) const {
  nlohmann::json state;
  state["statusItems"] = nlohmann::json::array();
  for (const IndicatorStatusItem* item : statusItems_) {
    state["statusItems"].push_back(item->describe());
  }
  state["webWindows"] = nlohmann::json::array();
  for (const GtkWebWindow* window : webWindows_) {
    state["webWindows"].push_back(window->describe());
  }
  state["alerts"] = nlohmann::json::array();
  for (const AlertSpec& alert : openAlerts_) {
    state["alerts"].push_back({{"message", alert.message},
                               {"informative", alert.informative},
                               {"buttons", alert.buttons}});
  }
  state["windowCount"] = g_list_length(gtk_application_get_windows(app_.get()));
  if (const auto error = writeFileAtomically(path, state.dump(2) + "\n")) {
    g_warning("Kestrova: could not write the state to %s: %s", path.c_str(), error->c_str());
  }
}

}  // namespace kestrova::gtk
