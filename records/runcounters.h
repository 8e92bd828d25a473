#pragma once

#include "appsettings.h"

#include <QObject>
#include <QString>

// Counts a started run in the settings file: the production ID and the mode's run counter go
// up by one and reach the medium ("sync") before the answer. The two flushed writes and the
// sync wait for the disk for 10-30 ms, two display frames, so the window has this done in a
// worker thread and sends the run's first set-point only on the answer: the order on the medium
// stays counters first, pressure second.
class RunCounters : public QObject
{
    Q_OBJECT

public:
    RunCounters();

    // Callable from any thread: the count is queued into the object's own thread. The run gets
    // the stored production ID plus one; the counter of "dPCR" or "dMDA" goes up with it, any
    // other mode counts only the ID.
    void requestCount(const QString &runMode);

signals:
    void countRequested(AppSettings::ProductionSetting modeCounter);
    void runCounted(int productionId);

private:
    void count(AppSettings::ProductionSetting modeCounter);
};
