#include "stallprobe.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include <QCoreApplication>
#include <QEvent>
#include <QTime>
#include <QTimer>
#include <QWidget>

StallProbe::StallProbe(QObject *parent) : QObject(parent)
{
    timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &StallProbe::tick);
    clock.start();
    timer->start(kTickMs);
    QCoreApplication::instance()->installEventFilter(this);
    // The simulator outlives the application object: the last state is reported and the timer
    // stopped while the event loop's thread data still exist.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
        stateEntered(-1);
        timer->stop();
        QCoreApplication::instance()->removeEventFilter(this);
    });
}

void StallProbe::tick()
{
    const qint64 now = clock.nsecsElapsed();
    const qint64 cpu = threadCpuNs();
    // The first tick comes when the event loop first runs: what went before is start-up.
    if (lastTickNs >= 0) {
        const qint64 lateNs = now - lastTickNs - kTickMs * 1000000LL;
        worstLateNs = std::max(worstLateNs, lateNs);
        // Stamped like the program's log, so that the log shows what the GUI thread was doing;
        // its CPU time tells its own work from waiting (on the disk, a child process, or for a
        // processor on a busy machine).
        if (lateNs > kNoteLateMs * 1000000LL)
            std::printf("probe late %.2f cpu %.2f until %s\n", lateNs / 1e6,
                        (cpu - lastTickCpuNs) / 1e6,
                        qPrintable(QTime::currentTime().toString("hh:mm:ss.zzz")));
    }
    lastTickNs = now;
    lastTickCpuNs = cpu;
    ++ticks;
}

qint64 StallProbe::threadCpuNs()
{
    timespec time {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return time.tv_sec * 1000000000LL + time.tv_nsec;
}

void StallProbe::stateEntered(int entered)
{
    // The stretch since the last tick belongs to the state being left as well.
    if (lastTickNs >= 0)
        tick();
    if (state >= 0)
        std::printf("probe stall %d %.2f %d\n", state, worstLateNs / 1e6, ticks);
    std::fflush(stdout);
    state = entered;
    worstLateNs = 0;
    ticks = 0;
}

bool StallProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isWindow()) {
        const QByteArray name = watched->metaObject()->className();
        if (!painted.contains(name)) {
            painted.insert(name);
            std::printf("probe painted %s\n", name.constData());
            std::fflush(stdout);
        }
    }
    return false;
}
