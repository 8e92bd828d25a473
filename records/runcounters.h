#pragma once

#include "appsettings.h"

#include <QObject>
#include <QString>

// Puts a started run's counters on the medium: the run's production ID and the mode's run
// counter, followed by "sync", before the answer. The two flushed writes and the sync wait for
// the disk for 10-30 ms, two display frames, so the window has this done in a worker thread and
// sends the run's first set-point only on the answer: the order on the medium stays counters
// first, pressure second. The window gives the run its ID itself, at once, so that whatever
// happens before the answer is recorded against the run being started.
class RunCounters : public QObject
{
    Q_OBJECT

public:
    RunCounters();

    // Callable from any thread: the count is queued into the object's own thread. The ID is
    // stored as given; the counter of "dPCR" or "dMDA" goes up by one, any other mode counts
    // only the ID.
    void requestCount(int productionId, const QString &runMode);

    // The ID of a run starting now: one above the stored ID, or above `lastGiven`, the last ID
    // given out, while its count has not reached the medium yet.
    static int nextProductionId(int lastGiven);

signals:
    void countRequested(int productionId, AppSettings::ProductionSetting modeCounter);
    void runCounted(int productionId);

private:
    void count(int productionId, AppSettings::ProductionSetting modeCounter);
};
