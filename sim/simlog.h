#pragma once

#include <QString>

// The program's log in the simulator: every message to standard error and to <root>/sim/app.log
// (which the fake journalctl prints). The previous run's log is kept as app.previous.log, the
// journal of the previous boot.
void installSimLog(const QString &appLogFile);
