// The user interface the core drives: alerts, the status item, menus, panels, web windows.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/platform/menu.h"

namespace kestrova {

// The first button answers 1000, the second 1001, and so on.
inline constexpr int kAlertFirstButton = 1000;

struct AlertField {
  std::string text;     // initial contents
  bool masked = false;  // a secure field that hides what is typed
  int width = 260;
  int height = 24;
  bool operator==(const AlertField&) const = default;
};

struct AlertSpec {
  std::string message;
  std::string informative;
  std::vector<std::string> buttons;  // in reading order; the first is the default
  std::optional<AlertField> field;   // focused when present
  bool operator==(const AlertSpec&) const = default;
};

struct AlertAnswer {
  int response = kAlertFirstButton;
  std::string fieldText;
};

// The answer of an alert dismissed without a button (Escape, closing it, termination): its
// "Cancel" button, else its last.
[[nodiscard]] inline int dismissedAlertResponse(const std::vector<std::string>& buttons) {
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (buttons[i] == "Cancel") return kAlertFirstButton + static_cast<int>(i);
  }
  return kAlertFirstButton + static_cast<int>(buttons.empty() ? 0 : buttons.size() - 1);
}

struct FolderPanelSpec {
  std::string title;
  std::string message;
  std::string prompt;
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;
  // Shows the named system symbol as a template image with an empty title. False when the
  // front end has no image for that name; the caller then shows a title instead.
  virtual bool setSymbol(const std::string& symbolName, const std::string& accessibility) = 0;
  // Removes any image and shows the text.
  virtual void setTitle(const std::string& title) = 0;
  virtual void setMenu(const Menu& menu) = 0;
  virtual void setAppearsDisabled(bool disabled) = 0;
};

struct WebWindowSpec {
  int width = 0;
  int height = 0;
  std::string title;
  std::string autosaveName;  // the frame is remembered under this name across runs
};

// What a web window tells its owner, always on the main thread.
class WebWindowDelegate {
 public:
  virtual ~WebWindowDelegate() = default;
  // A load that failed before anything was committed (including one past its time limit).
  virtual void didFailProvisionalLoad() = 0;
  virtual void didFinishLoad() = 0;
  // The page's JavaScript dialogs; each returns once the user has answered.
  virtual void runAlertPanel(const std::string& message) = 0;
  [[nodiscard]] virtual bool runConfirmPanel(const std::string& message) = 0;
  [[nodiscard]] virtual std::optional<std::string> runPromptPanel(
      const std::string& prompt, const std::string& defaultText) = 0;
};

class WebWindow {
 public:
  virtual ~WebWindow() = default;
  virtual void load(const std::string& url, double timeoutSeconds) = 0;
  // Makes the window key and orders it front (also after it was closed, which only hides it).
  virtual void bringToFront() = 0;
  [[nodiscard]] virtual bool isVisible() const = 0;
};

// The controller's answers to the platform's questions and the user's commands.
class AppHandler {
 public:
  virtual ~AppHandler() = default;
  virtual void applicationDidFinishLaunching() = 0;
  [[nodiscard]] virtual bool applicationShouldHandleReopen(bool hasVisibleWindows) = 0;
  [[nodiscard]] virtual bool applicationShouldTerminateAfterLastWindowClosed() = 0;
  // A menu item whose target is the controller was chosen. Unknown names are ignored.
  virtual void perform(std::string_view action) = 0;
};

class Ui {
 public:
  virtual ~Ui() = default;

  // Application object.
  virtual void setRegularActivationPolicy() = 0;
  virtual void setMainMenu(const Menu& mainMenu) = 0;
  // Runs the event loop, calling the handler, until the application terminates. Returns the
  // process's exit status.
  virtual int run(AppHandler& handler) = 0;
  // Brings the application to the front, ignoring other applications.
  virtual void activate() = 0;
  // Orderly termination: the event loop ends soon after. Alerts and panels open at the time
  // are dismissed (as with Escape) and none opens afterwards: nobody may be at the machine to
  // close them, and the quit must not wait for that.
  virtual void terminate() = 0;

  // Runs a modal alert and returns the answer. The front end holds the main loop's timers
  // while it is open (MainLoop::modalBegan/modalEnded).
  virtual AlertAnswer runAlert(const AlertSpec& alert) = 0;
  // A modal folder chooser (one folder, no files). The chosen folder's path, or absent.
  [[nodiscard]] virtual std::optional<std::string> chooseFolder(const FolderPanelSpec& panel) = 0;

  [[nodiscard]] virtual std::unique_ptr<StatusItem> createStatusItem() = 0;
  [[nodiscard]] virtual std::unique_ptr<WebWindow> createWebWindow(const WebWindowSpec& shape,
                                                                   WebWindowDelegate& delegate) = 0;

  // Clears the general pasteboard and puts the text on it.
  virtual void setPasteboardText(const std::string& text) = 0;
  // Opens the URL in the user's default application for it; false when it could not.
  virtual bool openURL(const std::string& url) = 0;
  // Shows the file selected in the file manager.
  virtual void revealFile(const std::string& path) = 0;
};

}  // namespace kestrova
