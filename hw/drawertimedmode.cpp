#include "drawertimedmode.h"

#include "drawerclock.h"
#include "pwm.h"

#include <utility>

#include <QDebug>
#include <QTimer>

namespace {

// One tick a second; ticks 0 to 5 drive the motor, the travel ends at tick 6, past the some
// 5.5 s of a full travel.
constexpr int kTickMs = 1000;
constexpr int kLastDrivenTick = 5;

void logLine(const QString &text)
{
    qDebug().noquote() << text;
}

} // namespace

DrawerTimedMode::DrawerTimedMode(DrawerClock &clock, const char *openPwmPath,
                                 const char *closePwmPath, TravelEnded travelEnded)
    : clock(clock),
      openPwmPath(openPwmPath),
      closePwmPath(closePwmPath),
      travelEnded(std::move(travelEnded))
{ }

DrawerTimedMode::~DrawerTimedMode()
{
    delete out.timer;
    delete in.timer;
}

void DrawerTimedMode::createTimers()
{
    if (out.timer)
        return;
    out.timer = new QTimer;
    in.timer = new QTimer;
    // The timers are their own context: they live in the thread that created them.
    QObject::connect(out.timer, &QTimer::timeout, out.timer, [this] {
        ++out.ticks;
        tick(Opening);
    });
    QObject::connect(in.timer, &QTimer::timeout, in.timer, [this] {
        ++in.ticks;
        tick(Closing);
    });
}

int DrawerTimedMode::start(Direction direction)
{
    const Direction opposite = direction == Opening ? Closing : Opening;
    Travel &self = travel(direction);
    const Travel &other = travel(opposite);
    other.timer->stop();
    if (writePwm(kPwmFullDuty, direction == Opening ? openPwmPath : closePwmPath) != 0)
        return 1;
    // Reversing a travel cut short: go back only as far as it came.
    if (other.ticks != 0) {
        self.ticks = kLastDrivenTick - other.ticks;
        logLine(QString(direction == Opening ? "moveOutTicks: %1" : "moveInTicks: %1")
                        .arg(self.ticks));
    } else {
        self.ticks = 0;
    }
    tick(direction);
    self.timer->start(clock.timerIntervalMs(kTickMs));
    return 0;
}

void DrawerTimedMode::tick(Direction direction)
{
    const bool opening = direction == Opening;
    Travel &self = travel(direction);
    if (self.ticks <= kLastDrivenTick) {
        writePwm(kPwmNoDuty, opening ? closePwmPath : openPwmPath);
        return;
    }
    self.timer->stop();
    self.ticks = 0;
    logLine(opening ? "moveOutTimer Stopped" : "moveInTimer Stopped");
    logLine(self.timer->isActive() ? "true" : "false");
    travelEnded(direction);
}
