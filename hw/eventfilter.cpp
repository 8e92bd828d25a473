#include "eventfilter.h"

#include <QElapsedTimer>
#include <QEvent>

namespace {

// A monotonic clock rather than the time of day: the operator may set the date and time while
// the program runs, and a step of the wall clock must not open or close the windows.
qint64 steadyMs()
{
    static QElapsedTimer sinceStart = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return sinceStart.elapsed();
}

EventFilter::Clock &currentClock()
{
    static EventFilter::Clock current = steadyMs;
    return current;
}

// One remembered moment; "never" until the first event of its kind.
struct Moment
{
    bool valid = false;
    qint64 atMs = 0;

    void restart()
    {
        valid = true;
        atMs = currentClock()();
    }
    qint64 elapsed() const { return currentClock()() - atMs; }
};

Moment lastMouseRelease;
Moment lastTouchEnd;

} // namespace

void EventFilter::setClock(Clock newClock)
{
    currentClock() = newClock ? std::move(newClock) : Clock(steadyMs);
}

EventFilter::EventFilter(QObject *parent) : QObject(parent) { }

bool EventFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        lastMouseRelease.restart();
        break;
    case QEvent::MouseButtonDblClick:
        if (lastMouseRelease.valid && lastMouseRelease.elapsed() <= kDoubleClickWindowMs)
            return true;
        break;
    case QEvent::TouchBegin:
        // A begin stamped in the same millisecond as the end comes from the same panel report
        // (another finger), not from the contact bouncing.
        if (lastTouchEnd.valid && lastTouchEnd.elapsed() >= 1
            && lastTouchEnd.elapsed() <= kTouchBounceWindowMs)
            return true;
        break;
    case QEvent::TouchEnd:
        lastTouchEnd.restart();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
