#include "frontends/console/console_ui.h"

#include <ostream>

namespace kestrova::console {
namespace {

class PrintedStatusItem final : public StatusItem {
 public:
  explicit PrintedStatusItem(std::ostream& out) : out_(out) {}
  bool setSymbol(const std::string& symbolName, const std::string& accessibility) override {
    out_ << "[status item] " << accessibility << " (" << symbolName << ")\n" << std::flush;
    return true;
  }
  void setTitle(const std::string& title) override {
    out_ << "[status item] " << title << '\n' << std::flush;
  }
  void setMenu(const Menu& menu) override {
    out_ << "[status menu] " << menu.items.size() << " items\n" << std::flush;
  }
  void setAppearsDisabled(bool) override {}

 private:
  std::ostream& out_;
};

class PrintedWebWindow final : public WebWindow {
 public:
  PrintedWebWindow(std::ostream& out, std::string title) : out_(out), title_(std::move(title)) {}
  void load(const std::string& url, double) override {
    out_ << "[window " << title_ << "] would load " << url << '\n' << std::flush;
  }
  void bringToFront() override {}
  [[nodiscard]] bool isVisible() const override { return false; }

 private:
  std::ostream& out_;
  std::string title_;
};

}  // namespace

void ConsoleUi::setMainMenu(const Menu& mainMenu) {
  out_ << "[main menu] " << mainMenu.items.size() << " menus\n" << std::flush;
}

int ConsoleUi::run(AppHandler& handler) {
  handler.applicationDidFinishLaunching();
  loop_.run();
  return 0;
}

AlertAnswer ConsoleUi::runAlert(const AlertSpec& alert) {
  out_ << "[alert] " << alert.message << " \u2014 " << alert.informative << '\n' << std::flush;
  return AlertAnswer{kAlertFirstButton, alert.field ? alert.field->text : ""};
}

std::optional<std::string> ConsoleUi::chooseFolder(const FolderPanelSpec& panel) {
  out_ << "[folder panel] " << panel.title << " (cancelled: no one to choose)\n" << std::flush;
  return std::nullopt;
}

std::unique_ptr<StatusItem> ConsoleUi::createStatusItem() {
  return std::make_unique<PrintedStatusItem>(out_);
}

std::unique_ptr<WebWindow> ConsoleUi::createWebWindow(const WebWindowSpec& shape,
                                                      WebWindowDelegate&) {
  return std::make_unique<PrintedWebWindow>(out_, shape.title);
}

void ConsoleUi::setPasteboardText(const std::string& text) {
  out_ << "[pasteboard] " << text.size() << " characters\n" << std::flush;
}

bool ConsoleUi::openURL(const std::string& url) {
  out_ << "[open] " << url << '\n' << std::flush;
  return false;
}

void ConsoleUi::revealFile(const std::string& path) {
  out_ << "[reveal] " << path << '\n' << std::flush;
}

}  // namespace kestrova::console
