#pragma once

#include <QString>
#include <functional>

namespace app {

class main;

// What a caller may change about the program's start-up: the start-up benchmark keeps
// its settings in a folder of its own and watches the splash window.
struct StartupOptions
{
    QString settingsFolder;                       // empty: the application's folder
    std::function<void(main& splash)> beforeOpen; // runs before the splash window opens
};

// The whole program: module state, application object, command line, settings, the
// simulated device of a demo run, the splash window and the event loop.
int run(int argc, char* argv[], const StartupOptions& options = {});

} // namespace app
