#include "tests/support/scripted_ui.h"

namespace kestrova::testing {
namespace {

// The next scripted item, or a default-made one once the script has run out.
template <typename T>
T takeFirst(std::deque<T>& script) {
  if (script.empty()) return T{};
  T first = std::move(script.front());
  script.pop_front();
  return first;
}

}  // namespace

AlertAnswer ScriptedUi::runAlert(const AlertSpec& alert) {
  alerts.push_back(alert);
  const ScriptedAnswer answer = takeFirst(answers);
  loop_.modalBegan();
  loop_.advance(answer.heldFor);
  loop_.modalEnded();
  return {answer.response, alert.field ? answer.fieldText.value_or(alert.field->text) : ""};
}

std::optional<std::string> ScriptedUi::chooseFolder(const FolderPanelSpec& panel) {
  panels.push_back(panel);
  return takeFirst(folders);
}

}  // namespace kestrova::testing
