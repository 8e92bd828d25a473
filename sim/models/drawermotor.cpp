#include "drawermotor.h"

#include "sim/simfiles.h"

#include <algorithm>

namespace {
// The program appends three-byte duty fields to the brightness attribute.
constexpr int kPwmFieldWidth = 3;
} // namespace

DrawerMotor::DrawerMotor(const QString &root, bool currentSensed)
    : openPwmFile(root + "/sys/class/leds/PWM<B>/brightness"),
      closePwmFile(root + "/sys/class/leds/PWM<C>/brightness"),
      currentFile(root + "/sys/bus/iio/devices/iio:device0/in_voltage4_raw"),
      currentSensed(currentSensed)
{ }

int DrawerMotor::driveDirection(int *duty) const
{
    const int open = simfiles::lastFieldValue(openPwmFile, kPwmFieldWidth, 0);
    const int close = simfiles::lastFieldValue(closePwmFile, kPwmFieldWidth, 0);
    // Both half-bridges on brake the motor; neither leaves it free.
    if (open > 0 && close == 0) {
        *duty = std::min(open, kMaxDuty);
        return +1;
    }
    if (close > 0 && open == 0) {
        *duty = std::min(close, kMaxDuty);
        return -1;
    }
    *duty = 0;
    return 0;
}

void DrawerMotor::tick(int elapsedMs)
{
    const int counts = motorCurrent(elapsedMs);
    if (adcFloating)
        writeCurrent(kFloatingCenter + nextRipple(kFloatingSwing));
    else if (!currentSensed)
        writeCurrent(kIdleCurrent);
    else
        writeCurrent(counts);
}

int DrawerMotor::nextRipple(int swing)
{
    // Deterministic, so that no two samples of a move are alike and every run is the same.
    rippleSeed = rippleSeed * 1103515245u + 12345u;
    return int((rippleSeed >> 16) % (2 * swing + 1)) - swing;
}

int DrawerMotor::motorCurrent(int elapsedMs)
{
    int duty = 0;
    const int direction = driveDirection(&duty);
    if (direction == 0) {
        if (lastDirection != 0)
            obstacleActive = false;
        lastDirection = 0;
        pushedMs = 0;
        drivenMs = 0;
        return kIdleCurrent;
    }
    if (direction != lastDirection) {
        pushedMs = 0;
        drivenMs = 0;
    }
    lastDirection = direction;

    const bool atEnd = direction > 0 ? travel >= 1 : travel <= 0;
    if (atEnd) {
        // The end-stop switch cuts the motor, unless it never opens: then the motor runs on.
        if (!noEndStop) {
            drivenMs = 0;
            return kEndStopCurrent;
        }
        drivenMs += elapsedMs;
        longestDriveMs = std::max(longestDriveMs, drivenMs);
        return (kRunningCurrent + nextRipple(kCurrentRipple)) * duty / kMaxDuty;
    }
    drivenMs += elapsedMs;
    longestDriveMs = std::max(longestDriveMs, drivenMs);
    if (obstacleArmed) {
        obstacleArmed = false;
        obstacleActive = true;
        const double end = direction > 0 ? 1 : 0;
        obstacleAt = travel + (end - travel) * kObstacleFraction;
    }
    const bool blocked = stuck
            || (obstacleActive && (direction > 0 ? travel >= obstacleAt : travel <= obstacleAt));
    if (blocked) {
        pushedMs += elapsedMs;
        return std::min(kStallCurrent, kRunningCurrent + kStallRisePerMs * pushedMs);
    }
    const double step
            = direction * double(elapsedMs) * duty / kMaxDuty / (kDrawerTravelMs * slowFactor);
    travel = std::clamp(travel + step, 0.0, 1.0);
    if (obstacleActive)
        travel = direction > 0 ? std::min(travel, obstacleAt) : std::max(travel, obstacleAt);
    return (kRunningCurrent + nextRipple(kCurrentRipple)) * duty / kMaxDuty;
}

void DrawerMotor::writeCurrent(int counts)
{
    if (counts == currentCounts)
        return;
    if (simfiles::writeAtomically(currentFile, QByteArray::number(counts) + '\n'))
        currentCounts = counts;
}

QStringList DrawerMotor::faultNames() const
{
    return {"drawer-obstacle",   "drawer-stuck",        "drawer-slow",
            "drawer-no-endstop", "drawer-adc-floating", "drawer-by-hand"};
}

bool DrawerMotor::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    if (name == "drawer-obstacle") {
        obstacleArmed = true;
    } else if (name == "drawer-stuck") {
        stuck = true;
    } else if (name == "drawer-slow") {
        double factor = kDefaultSlowFactor;
        if (!arguments.isEmpty()) {
            bool ok = false;
            factor = arguments.first().toDouble(&ok);
            if (!ok || factor < 1) {
                *reason = "drawer-slow takes a factor of 1 or more";
                return false;
            }
        }
        slowFactor = factor;
    } else if (name == "drawer-no-endstop") {
        noEndStop = true;
    } else if (name == "drawer-adc-floating") {
        adcFloating = true;
    } else if (name == "drawer-by-hand") {
        bool ok = arguments.size() == 1;
        const double where = ok ? arguments.first().toDouble(&ok) : 0;
        if (!ok || where < 0 || where > 1) {
            *reason = "drawer-by-hand takes a position from 0 (closed) to 1 (open)";
            return false;
        }
        travel = where;
    } else {
        *reason = "unknown fault";
        return false;
    }
    return true;
}

void DrawerMotor::clearFaults()
{
    obstacleArmed = false;
    obstacleActive = false;
    stuck = false;
    slowFactor = 1;
    noEndStop = false;
    adcFloating = false;
}

QList<Model::Reading> DrawerMotor::readings() const
{
    QString where = QString("part-way (%1 %)").arg(int(travel * 100 + 0.5));
    if (travel <= 0)
        where = "closed";
    else if (travel >= 1)
        where = "open";
    const char *motion = lastDirection > 0 ? "opening" : lastDirection < 0 ? "closing" : "off";
    return {{"drawer", where},
            {"drawer motor", motion},
            {"drawer current",
             currentCounts < 0 ? QString("not yet sampled")
                               : QString("%1 counts").arg(currentCounts)},
            {"drawer drive limit",
             QString("%1 (longest %2 ms)")
                     .arg(longestDriveMs > kDriveLimitMs ? "exceeded" : "kept")
                     .arg(longestDriveMs)}};
}
