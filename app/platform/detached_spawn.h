// Starting a program that outlives the app, with nothing of the app attached to it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

// Starts `path` with `arguments` in a session of its own, standard input, output and error on
// /dev/null, none of our other descriptors, default signal state, and the app's environment.
// The program is a grandchild adopted by init, so it never becomes our zombie.
// Absent when the program is running, else why it could not start (e.g. a failed exec).
[[nodiscard]] std::optional<std::string> spawnDetachedProgram(
    const std::string& path, const std::vector<std::string>& arguments);

}  // namespace kestrova
