// The portable program entry every front end calls once it has installed its platform.
#pragma once

namespace kestrova {

// Creates the controller, makes the application a regular one with the main menu, and runs the
// event loop. Returns the process's exit status.
[[nodiscard]] int runApplication();

}  // namespace kestrova
