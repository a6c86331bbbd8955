// Driving the built desktop program from outside, as a desktop would: its actions over the
// session bus, and its own account of what it shows (the state dump it writes when asked).
#pragma once

#include <filesystem>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/engine/shell.h"
#include "tests/support/real_processes.h"
#include "tests/support/sandbox.h"

namespace kestrova::testing {

// The call that runs one application action, as `gapplication action` would.
[[nodiscard]] inline std::vector<std::string> actionCall(const std::string& action) {
  std::istringstream words(
      "/usr/bin/gdbus call --session --dest com.talmiro.kestrova --object-path "
      "/com/talmiro/kestrova --method org.gtk.Actions.Activate");
  std::vector<std::string> call{std::istream_iterator<std::string>(words), {}};
  call.insert(call.end(), {action, "[]", "{}"});
  return call;
}

inline bool activate(const std::string& action) {
  const auto call = actionCall(action);
  return shell(call[0], {call.begin() + 1, call.end()}).status == 0;
}

// The program's state, dumped afresh to `dump` (its KESTROVA_STATE_DUMP) until `ok` holds or the
// limit passes; the last one read.
inline nlohmann::json stateOnce(const std::string& dump,
                                const std::function<bool(const nlohmann::json&)>& ok,
                                double limitSeconds = 30) {
  nlohmann::json last;
  (void)eventually(
      [&] {
        std::filesystem::remove(dump);
        last = activate("x-dump-state") ? nlohmann::json::parse(readFile(dump), nullptr, false)
                                        : nlohmann::json();
        return last.is_object() && ok(last);
      },
      limitSeconds);
  return last;
}

}  // namespace kestrova::testing
