#pragma once

namespace app {

// The planner from start to end: one copy per data home, the store, the settings, the main
// window, the message loop and the shutdown. Returns the exit code.
int RunPlanner(int argc, char** argv);

}  // namespace app
