#pragma once

#include <QtGlobal>

// How the drawer waits and tells time. The instrument sleeps its own thread and reads a
// monotonic clock (a wall clock can jump when the date is set during a move); tests install a
// clock that advances on every sleep and feeds the next scripted current sample, so a move
// runs in microseconds instead of seconds.
class DrawerClock
{
public:
    virtual ~DrawerClock() = default;

    virtual void sleepMs(int ms);
    virtual qint64 nowMs() const;
    // Interval a periodic timer of the timed mode really gets for a nominal one.
    virtual int timerIntervalMs(int nominalMs) const { return nominalMs; }

    // The clock of the instrument, shared by every drawer that is given no other.
    static DrawerClock &system();

    // A stopwatch on a drawer clock; one never started reads 0 elapsed.
    class Stopwatch
    {
    public:
        void start(const DrawerClock &clock) { startedMs = clock.nowMs(); }
        qint64 elapsed(const DrawerClock &clock) const
        {
            return startedMs >= 0 ? clock.nowMs() - startedMs : 0;
        }

    private:
        qint64 startedMs = -1;
    };
};
