#include "drawer.h"

#include "drawermath.h"
#include "platform/commands.h"
#include "platform/platform.h"
#include "pwm.h"
#include "records/appsettings.h"
#include "sysfsvalue.h"

#include <QDebug>

namespace {

constexpr const char *kMoveOut = "move_out";
constexpr const char *kMoveIn = "move_in";

constexpr int kSamplePeriodMs = 25;
// The motor's inrush current would read as an obstacle: supervision starts after it.
constexpr int kInrushDelayMs = 500;
// A closing that still draws current this long after it started is cut off: the full
// travel takes about 5.5 s.
constexpr qint64 kClosingLimitMs = 8000;

void logLine(const QString &text)
{
    qDebug().noquote() << text;
}

} // namespace

Drawer::Drawer(DrawerClock *clock)
    : clock(clock ? clock : &DrawerClock::system()),
      timedMode(*this->clock, pwmOpenPath, pwmClosePath,
                [this](DrawerTimedMode::Direction direction) { onTimedTravelEnded(direction); })
{
    logLine("Drawer class constructor");
}

Drawer::~Drawer()
{
    // Orders the window's last direct call before the object goes (visibly to the sanitizer).
    const std::lock_guard<std::mutex> lock(abortMutex);
}

void Drawer::setSafetyEnabled(bool enabled)
{
    {
        const std::lock_guard<std::mutex> lock(abortMutex);
        safetyEnabled = enabled;
    }
    logLine(QString("Drawer Safety: ") + (enabled ? "ENABLED" : "DISABLED"));
}

void Drawer::setPositionUnknown(bool unknown)
{
    const std::lock_guard<std::mutex> lock(abortMutex);
    positionUnknown = unknown;
}

void Drawer::requestAbort(int value)
{
    const std::lock_guard<std::mutex> lock(abortMutex);
    if (value > abortRequest.load())
        logLine("Drawer: ABORTED");
    abortRequest = static_cast<uint8_t>(value);
}

int Drawer::enableLogging(int hwVersion)
{
    return sampleLog.enable(hwVersion);
}

void Drawer::disableLogging()
{
    sampleLog.disable();
}

void Drawer::init()
{
    stopMotor();
    updateDrawerSettings();
    if (!safetyEnabled)
        timedMode.createTimers();
    // A drawer recorded as closed is driven closed once more: it may have been pushed open
    // by hand while the instrument was off.
    if (AppSettings().loadDrawerSetting(AppSettings::DRAWER_STATE) == POSITION_CLOSED)
        forceDrawer(-1);
}

void Drawer::moveDrawer(int param)
{
    int result = 0;
    if (!safetyEnabled)
        timedMode.createTimers(); // a move requested before init() still runs timed
    if (param > 0)
        result = safetyEnabled ? openDrawer() : moveTimed(DrawerTimedMode::Opening);
    else if (param < 0)
        result = safetyEnabled ? closeDrawer() : moveTimed(DrawerTimedMode::Closing);
    else
        stopMotor();
    if (result != 0)
        logLine(QString("Drawer: Invalid parameter: %1\n").arg(param));
}

void Drawer::forceDrawer(int param)
{
    requestAbort(0);
    if (param == 0) {
        stopMotor();
        logLine("Drawer: Force stopped\n");
        return;
    }
    const bool closing = param < 0;
    lastMove = closing ? kMoveIn : kMoveOut;
    const char *driving = closing ? pwmClosePath : pwmOpenPath;
    const char *other = closing ? pwmOpenPath : pwmClosePath;
    const int drive = writePwm(kPwmFullDuty, driving);
    const int release = writePwm(kPwmNoDuty, other);
    if (drive != 0 || release != 0) {
        // One channel may be driven while the other is not released: never leave the
        // motor running with nobody watching its current.
        stopMotor();
        logLine(QString("Drawer: Invalid parameter: %1\n").arg(param));
        return;
    }
    logLine(closing ? "\nDrawer: CLOSING BY FORCE" : "\nDrawer: OPENING BY FORCE");
    logThreshold();
    (closing ? closingTimer : openingTimer).start(*clock);
    if (monitorCurrent(false) == drawermath::NoCurrent) {
        // The end-stop switch has cut the motor; the drive stays as it is until the next move.
        if (closing)
            emit drawerIsClosed();
        else
            emit drawerIsOpened();
    } else {
        emit drawerError(closing ? ERROR_DRAWER_STUCK_INSIDE : ERROR_DRAWER_STUCK_OUTSIDE);
        stopMotor();
    }
    finishSampleLog();
}

void Drawer::updateDrawerSettings()
{
    safetyThreshold = AppSettings().loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD);
}

void Drawer::enableCalibration()
{
    sampleLog.startCalibration();
    enableHighThreshold();
}

void Drawer::enableHighThreshold()
{
    logLine("Drawer: Temporary high threshold: ENABLED");
    highThresholdEnabled = true;
}

void Drawer::stopMotor()
{
    writePwm(kPwmNoDuty, pwmOpenPath);
    writePwm(kPwmNoDuty, pwmClosePath);
    logLine("Drawer: STOPPED");
}

void Drawer::beginMove(const char *move, const char *banner)
{
    requestAbort(0);
    lastMove = move;
    logLine(banner);
}

int Drawer::endMove(int result)
{
    if (highThresholdEnabled) {
        logLine("Drawer: Temporary high threshold: DISABLED");
        highThresholdEnabled = false;
    }
    return result;
}

int Drawer::openDrawer()
{
    beginMove(kMoveOut, "\nDrawer: OPENING");
    if (writePwm(kPwmFullDuty, pwmOpenPath) != 0) {
        stopMotor();
        return endMove(1);
    }
    openingTimer.start(*clock);
    logThreshold();
    savePosition(POSITION_INTERMEDIATE);
    const int released = writePwm(kPwmNoDuty, pwmClosePath);
    clock->sleepMs(kInrushDelayMs);
    const int result = monitorCurrent(true);
    stopMotor();
    if (result != drawermath::OverCurrent) {
        savePosition(POSITION_OPEN);
        emit drawerIsOpened();
    }
    evaluateOpeningTime();
    logLine(QString("Drawer opening time: %1").arg(openingTime));
    lastOpeningTime = openingTime;
    finishSampleLog();
    return endMove(released);
}

void Drawer::logClosingPlan()
{
    const char *fallbackNote = nullptr;
    if (positionUnknown) {
        positionUnknown = false;
        fallbackNote = "Drawer: Opening time unknown after error, loaded from settings instead";
    } else if (openingTime <= drawermath::kSafetyMarginMs) {
        fallbackNote = "Drawer: Opening time unknown, loaded from settings instead";
    }
    if (fallbackNote) {
        openingTime = AppSettings().loadDrawerSetting(AppSettings::DRAWER_OPENING_TIME);
        logLine(fallbackNote);
    }
    safetyZone = drawermath::safetyZoneFor(openingTime);
    logLine(QString("Drawer opening time: %1").arg(openingTime));
    logLine(QString("Drawer closing time: %1").arg(safetyZone));
}

int Drawer::closeDrawer()
{
    beginMove(kMoveIn, "\nDrawer: CLOSING");
    logClosingPlan();
    if (writePwm(kPwmFullDuty, pwmClosePath) != 0) {
        stopMotor();
        return endMove(1);
    }
    closingTimer.start(*clock);
    logThreshold();
    savePosition(POSITION_INTERMEDIATE);
    writePwm(kPwmNoDuty, pwmOpenPath);
    clock->sleepMs(kInrushDelayMs);
    if (safetyZone != 0) {
        if (monitorCurrent(true) == drawermath::OverCurrent) {
            // Stopped within the safety zone (obstacle or the user): the drawer is in between.
            stopMotor();
            finishSampleLog();
            evaluateOpeningTime();
            return endMove(0);
        }
        // Past the safety zone the seal is being compressed: run to the end unsupervised.
        monitorCurrent(false);
    } else {
        logLine("Drawer: Unable to determine proper safety zone");
        logLine("\nDrawer: CLOSING BY FORCE");
        monitorCurrent(false);
    }
    stopMotor();
    savePosition(POSITION_CLOSED);
    emit drawerIsClosed();
    finishSampleLog();
    evaluateOpeningTime();
    return endMove(0);
}

int Drawer::moveTimed(DrawerTimedMode::Direction direction)
{
    if (direction == DrawerTimedMode::Opening) {
        beginMove(kMoveOut, "\nDrawer: OPENING");
    } else {
        beginMove(kMoveIn, "\nDrawer: CLOSING");
        logClosingPlan();
    }
    if (timedMode.start(direction) != 0) {
        stopMotor();
        return endMove(1);
    }
    return endMove(0);
}

void Drawer::onTimedTravelEnded(DrawerTimedMode::Direction direction)
{
    stopMotor();
    if (direction == DrawerTimedMode::Opening)
        emit drawerIsOpened();
    else
        emit drawerIsClosed();
}

int Drawer::classifySample(int previous, int latest) const
{
    return drawermath::classify(previous, latest, thresholdInForce());
}

int Drawer::monitorCurrent(bool supervised)
{
    int previous = 0;
    int passSamples = 0;
    int decision = drawermath::Keep;
    for (;;) {
        clock->sleepMs(kSamplePeriodMs);
        const int value = readSysfsValue(currentPath);
        qDebug() << value;
        sampleLog.record(value);
        ++passSamples;
        decision = passSamples >= 2 ? classifySample(previous, value) : drawermath::Keep;
        previous = value;
        if (!supervised) {
            if (decision != drawermath::NoCurrent)
                decision = drawermath::Keep;
            if (lastMove == kMoveIn && closingTimer.elapsed(*clock) > kClosingLimitMs) {
                logLine("Drawer error: motor active for too long, abort");
                return decision;
            }
        }
        if (supervised && lastMove == kMoveIn && safetyZone > 0
            && closingTimer.elapsed(*clock) > safetyZone) {
            // The marker in the sample log: what follows is the unsupervised rest.
            qDebug() << DrawerSampleLog::kZoneEndMarker;
            sampleLog.markZoneEnd();
            break;
        }
        if ((passSamples >= 2 && decision != drawermath::Keep) || abortRequest.load())
            break;
    }
    if (!supervised)
        return decision;
    if (decision == drawermath::OverCurrent) {
        requestAbort(1);
        emit drawerIsStopped();
        emit drawerError(ERROR_DRAWER_OBSTACLE);
    }
    return abortRequest.load() ? drawermath::OverCurrent : decision;
}

void Drawer::evaluateOpeningTime()
{
    if (abortRequest.load()) {
        if (lastMove == kMoveOut)
            openingInterrupted = true;
        else if (lastMove == kMoveIn)
            closingInterrupted = true;
        return;
    }
    if (lastMove == kMoveOut) {
        if (openingInterrupted && closingInterrupted)
            logLine("Drawer: Closing/opening was interrupted, opening time not saved");
        else if (openingInterrupted)
            logLine("Drawer: Opening was interrupted, opening time not saved");
        else if (closingInterrupted)
            logLine("Drawer: Closing was interrupted, opening time not saved");
        else if (positionUnknown)
            logLine("Drawer: Incomplete opening, opening time not saved");
        else {
            logLine("Drawer: Complete opening, opening time saved");
            openingTime = static_cast<int>(openingTimer.elapsed(*clock));
        }
    }
    openingInterrupted = false;
    closingInterrupted = false;
}

void Drawer::finishSampleLog()
{
    const std::optional<uint16_t> threshold = sampleLog.finishMove(lastMove);
    if (threshold)
        emit setNewCalibrationSample(*threshold, static_cast<uint16_t>(lastOpeningTime));
}

void Drawer::savePosition(Position position)
{
    AppSettings().saveDrawerSetting(AppSettings::DRAWER_STATE, position);
    // The position must survive a power cut in the middle of the next move.
    platform::sync();
}

uint16_t Drawer::thresholdInForce() const
{
    return highThresholdEnabled ? drawermath::kHighThreshold : safetyThreshold;
}

void Drawer::logThreshold() const
{
    logLine(QString("Drawer safety threshold: %1").arg(thresholdInForce()));
}
