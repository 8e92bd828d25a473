#include "drawermotor.h"

#include "sim/simfiles.h"

#include <algorithm>

namespace {
// The program appends three-byte duty fields to the brightness attribute.
constexpr int kPwmFieldWidth = 3;
} // namespace

DrawerMotor::DrawerMotor(const QString &root)
    : openPwmFile(root + "/sys/class/leds/PWM<B>/brightness"),
      closePwmFile(root + "/sys/class/leds/PWM<C>/brightness"),
      currentFile(root + "/sys/bus/iio/devices/iio:device0/in_voltage4_raw")
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
    int duty = 0;
    const int direction = driveDirection(&duty);
    if (direction == 0) {
        if (lastDirection != 0)
            obstacleActive = false;
        lastDirection = 0;
        pushedMs = 0;
        drivenMs = 0;
        writeCurrent(kIdleCurrent);
        return;
    }
    if (direction != lastDirection) {
        pushedMs = 0;
        drivenMs = 0;
    }
    lastDirection = direction;

    const bool atEnd = direction > 0 ? travel >= 1 : travel <= 0;
    if (atEnd) {
        // The end-stop switch has cut the motor: the drive left on after a forced move
        // runs nothing.
        drivenMs = 0;
        writeCurrent(kEndStopCurrent);
        return;
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
        writeCurrent(std::min(kStallCurrent, kRunningCurrent + kStallRisePerMs * pushedMs));
        return;
    }
    const double step
            = direction * double(elapsedMs) * duty / kMaxDuty / (kDrawerTravelMs * slowFactor);
    travel = std::clamp(travel + step, 0.0, 1.0);
    if (obstacleActive)
        travel = direction > 0 ? std::min(travel, obstacleAt) : std::max(travel, obstacleAt);
    // A small deterministic ripple, so that no two samples of a move are alike.
    rippleSeed = rippleSeed * 1103515245u + 12345u;
    const int ripple = int((rippleSeed >> 16) % (2 * kCurrentRipple + 1)) - kCurrentRipple;
    writeCurrent((kRunningCurrent + ripple) * duty / kMaxDuty);
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
    return {"drawer-obstacle", "drawer-stuck", "drawer-slow"};
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
}

QList<Model::Reading> DrawerMotor::readings() const
{
    QString where = QString("%1 % open").arg(int(travel * 100 + 0.5));
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
