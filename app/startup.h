#pragma once

#include <functional>

class QApplication;
class MainWindow;

// The instrument's start-up on an existing QApplication: identity, meta types, font, the
// window and the splash screen; then the event loop. `windowBuilt` lets a host (the simulator)
// attach to the window right after it is constructed, before the event loop runs.
int runInstrument(QApplication &app, const std::function<void(MainWindow &)> &windowBuilt = {});
