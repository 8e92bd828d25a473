#pragma once

#include <functional>

class DrawerClock;
class QTimer;

// The drawer's travel on boards without current sensing (hardware version 0): the motor is
// driven for a fixed time, counted in ticks of a second, and a travel that reverses one cut
// short goes back only as far as that one came. Lives in the drawer's thread; its timers tick
// there.
class DrawerTimedMode
{
public:
    enum Direction { Closing = -1, Opening = +1 };
    // Called when a travel has run its time, the motor still driven.
    using TravelEnded = std::function<void(Direction direction)>;

    // The PWM attributes of the two motor directions; `clock` is not owned.
    DrawerTimedMode(DrawerClock &clock, const char *openPwmPath, const char *closePwmPath,
                    TravelEnded travelEnded);
    ~DrawerTimedMode();
    DrawerTimedMode(const DrawerTimedMode &) = delete;
    DrawerTimedMode &operator=(const DrawerTimedMode &) = delete;

    // Creates the tick timers, in the calling thread, once.
    void createTimers();
    // Stops the travel the other way and drives the motor this way; 1 when the drive could not
    // be written (the motor's state is then the caller's to settle), else 0.
    int start(Direction direction);

private:
    struct Travel
    {
        QTimer *timer = nullptr;
        int ticks = 0;
    };

    Travel &travel(Direction direction) { return direction == Opening ? out : in; }
    void tick(Direction direction);

    DrawerClock &clock;
    const char *openPwmPath;
    const char *closePwmPath;
    TravelEnded travelEnded;
    Travel out;
    Travel in;
};
