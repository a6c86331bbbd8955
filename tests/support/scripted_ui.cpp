#include "tests/support/scripted_ui.h"

namespace kestrova::testing {

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
  return {answer.response, alert.field ? answer.fieldText.value_or(alert.field->text) : ""};
}

std::optional<std::string> ScriptedUi::chooseFolder(const FolderPanelSpec& panel) {
  panels.push_back(panel);
  std::optional<std::string> folder;
  if (!folders.empty()) {
    folder = folders.front();
    folders.pop_front();
  }
  return folder;
}

}  // namespace kestrova::testing
