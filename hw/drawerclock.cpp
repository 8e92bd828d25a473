#include "drawerclock.h"

#include <chrono>

#include <QThread>

void DrawerClock::sleepMs(int ms)
{
    QThread::msleep(static_cast<unsigned long>(ms));
}

qint64 DrawerClock::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

DrawerClock &DrawerClock::system()
{
    static DrawerClock clock;
    return clock;
}
