// A Ui double: records what the core shows and answers alerts and panels from scripts.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/ui.h"
#include "tests/support/virtual_loop.h"

namespace kestrova::testing {

struct ScriptedAnswer {
  int response = kAlertFirstButton;
  std::optional<std::string> fieldText;  // absent: the field keeps its initial text
  double heldFor = 0;                    // virtual seconds the alert stays open before the answer
};

struct FakeStatusItem final : StatusItem {
  std::string symbol;
  std::string accessibility;
  std::string title;
  Menu menu;
  int menuSets = 0;
  int appearanceSets = 0;
  bool appearsDisabled = false;
  bool hasSymbols = true;  // false: no symbol image can be made, as before macOS 11

  bool setSymbol(const std::string& name, const std::string& description) override {
    ++appearanceSets;
    if (hasSymbols) setAppearance(name, description, "");
    return hasSymbols;
  }
  void setTitle(const std::string& text) override { setAppearance("", "", text); }
  void setAppearance(std::string newSymbol, std::string description, std::string text) {
    symbol = std::move(newSymbol);
    accessibility = std::move(description);
    title = std::move(text);
  }
  void setMenu(const Menu& newMenu) override {
    menu = newMenu;
    ++menuSets;
  }
  void setAppearsDisabled(bool disabled) override { appearsDisabled = disabled; }
};

struct FakeWebWindow final : WebWindow {
  explicit FakeWebWindow(WebWindowDelegate& owner) : delegate(owner) {}
  WebWindowDelegate& delegate;
  std::vector<std::string> loads;
  int broughtToFront = 0;
  bool visible = false;

  void load(const std::string& url, double timeoutSeconds) override {
    loads.push_back(url + " within " + std::to_string(timeoutSeconds));
  }
  void bringToFront() override {
    ++broughtToFront;
    visible = true;
  }
  [[nodiscard]] bool isVisible() const override { return visible; }
};

class ScriptedUi final : public Ui {
 public:
  explicit ScriptedUi(VirtualLoop& loop) : loop_(loop) {}

  // Scripts.
  std::deque<ScriptedAnswer> answers;              // unscripted alerts answer the first button
  std::deque<std::optional<std::string>> folders;  // unscripted panels are cancelled

  // What the core did.
  std::vector<AlertSpec> alerts;
  std::vector<FolderPanelSpec> panels;
  int activations = 0;
  bool terminated = false;
  std::optional<std::string> pasteboard;
  std::vector<std::string> openedURLs;
  std::vector<std::string> revealedFiles;
  std::vector<WebWindowSpec> webWindowSpecs;
  FakeStatusItem* statusItem = nullptr;  // owned by the core once created
  FakeWebWindow* webWindow = nullptr;    // owned by the core once created

  void setRegularActivationPolicy() override {}
  void setMainMenu(const Menu& /*menu*/) override {}
  int run(AppHandler& handler) override {
    handler.applicationDidFinishLaunching();
    loop_.runUntilIdle();
    return 0;
  }
  void activate() override { ++activations; }
  void terminate() override { terminated = true; }
  AlertAnswer runAlert(const AlertSpec& alert) override;
  [[nodiscard]] std::optional<std::string> chooseFolder(const FolderPanelSpec& panel) override;
  [[nodiscard]] std::unique_ptr<StatusItem> createStatusItem() override {
    auto item = std::make_unique<FakeStatusItem>();
    statusItem = item.get();
    return item;
  }
  [[nodiscard]] std::unique_ptr<WebWindow> createWebWindow(const WebWindowSpec& shape,
                                                           WebWindowDelegate& delegate) override {
    webWindowSpecs.push_back(shape);
    auto window = std::make_unique<FakeWebWindow>(delegate);
    webWindow = window.get();
    return window;
  }
  void setPasteboardText(const std::string& text) override { pasteboard = text; }
  bool openURL(const std::string& url) override {
    openedURLs.push_back(url);
    return true;
  }
  void revealFile(const std::string& path) override { revealedFiles.push_back(path); }

 private:
  VirtualLoop& loop_;
};

}  // namespace kestrova::testing
