#include "tests/support/scripted_ui.h"

namespace kestrova::testing {

bool FakeStatusItem::setSymbol(const std::string& name, const std::string& description) {
  ++appearanceSets;
  if (!supportsSymbols) {
    return false;
  }
  symbol = name;
  accessibility = description;
  title.clear();
  return true;
}

void FakeStatusItem::setTitle(const std::string& text) {
  symbol.clear();
  accessibility.clear();
  title = text;
}

void FakeStatusItem::setMenu(const Menu& newMenu) {
  menu = newMenu;
  ++menuSets;
}

void FakeWebWindow::load(const std::string& url, double /*timeoutSeconds*/) {
  loads.push_back(url);
}

void FakeWebWindow::bringToFront() {
  ++broughtToFront;
  visible = true;
}

int ScriptedUi::run(AppHandler& handler) {
  handler.applicationDidFinishLaunching();
  loop_.runUntilIdle();
  return 0;
}

AlertAnswer ScriptedUi::runAlert(const AlertSpec& alert) {
  alerts.push_back(alert);
  ScriptedAnswer answer;
  if (!answers.empty()) {
    answer = answers.front();
    answers.pop_front();
  }
  loop_.modalBegan();
  loop_.advance(answer.heldFor);
  loop_.modalEnded();
  AlertAnswer result{answer.response, {}};
  if (alert.field) {
    result.fieldText = answer.fieldText.value_or(alert.field->text);
  }
  return result;
}

std::optional<std::string> ScriptedUi::chooseFolder(const FolderPanelSpec& panel) {
  panels.push_back(panel);
  if (folders.empty()) {
    return std::nullopt;
  }
  auto folder = folders.front();
  folders.pop_front();
  return folder;
}

std::unique_ptr<StatusItem> ScriptedUi::createStatusItem() {
  auto item = std::make_unique<FakeStatusItem>();
  item->supportsSymbols = statusSymbolsAvailable;
  statusItem = item.get();
  return item;
}

std::unique_ptr<WebWindow> ScriptedUi::createWebWindow(const WebWindowSpec& shape,
                                                       WebWindowDelegate& delegate) {
  webWindowSpecs.push_back(shape);
  auto window = std::make_unique<FakeWebWindow>(delegate);
  webWindow = window.get();
  return window;
}

void ScriptedUi::setPasteboardText(const std::string& text) {
  pasteboard = text;
  ++pasteboardWrites;
}

bool ScriptedUi::openURL(const std::string& url) {
  openedURLs.push_back(url);
  return true;
}

}  // namespace kestrova::testing
