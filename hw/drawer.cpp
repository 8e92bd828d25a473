#include "drawer.h"

#include "drawermath.h"
#include "platform/commands.h"
#include "platform/platform.h"
#include "pwm.h"
#include "records/appsettings.h"
#include "sysfsvalue.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTimer>

namespace {

constexpr const char *kMoveOut = "move_out";
constexpr const char *kMoveIn = "move_in";

constexpr unsigned kFullDuty = 255;
constexpr unsigned kNoDuty = 0;
constexpr int kSamplePeriodMs = 25;
// The motor's inrush current would read as an obstacle: supervision starts after it.
constexpr int kInrushDelayMs = 500;
// A closing that still draws current this long after it started is cut off: the full
// travel takes about 5.5 s.
constexpr qint64 kClosingLimitMs = 8000;
// Timed mode (no current sensing): one tick a second, a full travel ends at tick 6.
constexpr int kTimedTickMs = 1000;
constexpr int kTimedLastDrivenTick = 5;

const char *const kLogsDir = "/usr/share/vemla/logs";
const char *const kDrawerLogsDir = "/usr/share/vemla/logs/drawer";

void logLine(const QString &text)
{
    qDebug().noquote() << text;
}

} // namespace

Drawer::Drawer(DrawerClock *clock) : clock(clock ? clock : &DrawerClock::system())
{
    logLine("Drawer class constructor");
}

Drawer::~Drawer()
{
    delete moveOutTimer;
    delete moveInTimer;
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
    loggingEnabled = false;
    if (hwVersion == 0) {
        logLine(QString("Drawer logging denied, invalid HW version: %1").arg(hwVersion));
        return -1;
    }
    if (!QDir(platform::path(QString(kLogsDir))).exists()) {
        logLine("Drawer logging denied: logs directory missing");
        return -1;
    }
    if (!QDir(platform::path(QString(kDrawerLogsDir))).exists()) {
        if (platform::makeDirectory(platform::path(std::string(kDrawerLogsDir))) != 0) {
            logLine("Drawer logging denied: unable to create directory");
            return -1;
        }
        logLine(QString("Directory %1 created").arg(kDrawerLogsDir));
    }
    loggingEnabled = true;
    logLine("Drawer logging: ENABLED");
    return 0;
}

void Drawer::disableLogging()
{
    loggingEnabled = false;
    logLine("Drawer logging: DISABLED");
}

void Drawer::init()
{
    stopMotor();
    updateDrawerSettings();
    if (!safetyEnabled)
        createMoveTimers();
    // A drawer recorded as closed is driven closed once more: it may have been pushed open
    // by hand while the instrument was off.
    if (AppSettings().loadDrawerSetting(AppSettings::DRAWER_STATE) == POSITION_CLOSED)
        forceDrawer(-1);
}

void Drawer::createMoveTimers()
{
    // Created in the drawer's thread, so that they tick in it.
    if (moveOutTimer)
        return;
    moveOutTimer = new QTimer;
    moveInTimer = new QTimer;
    connect(moveOutTimer, &QTimer::timeout, this, [this] { onMoveTimerTick(++moveOutTicks, +1); });
    connect(moveInTimer, &QTimer::timeout, this, [this] { onMoveTimerTick(++moveInTicks, -1); });
}

void Drawer::moveDrawer(int param)
{
    int result = 0;
    if (!safetyEnabled)
        createMoveTimers(); // a move requested before init() still runs timed
    if (param > 0)
        result = safetyEnabled ? openDrawer() : openTimed();
    else if (param < 0)
        result = safetyEnabled ? closeDrawer() : closeTimed();
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
    const int drive = writePwm(kFullDuty, driving);
    const int release = writePwm(kNoDuty, other);
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
    if (recordingSamples())
        writeDrawerLog(lastMove);
}

void Drawer::updateDrawerSettings()
{
    safetyThreshold = AppSettings().loadDrawerSetting(AppSettings::DRAWER_SAFETY_THRESHOLD);
}

void Drawer::enableCalibration()
{
    calibrationLogging = true;
    logLine("Drawer: Calibration data logging: ENABLED");
    enableHighThreshold();
}

void Drawer::enableHighThreshold()
{
    logLine("Drawer: Temporary high threshold: ENABLED");
    highThresholdEnabled = true;
}

void Drawer::stopMotor()
{
    writePwm(kNoDuty, pwmOpenPath);
    writePwm(kNoDuty, pwmClosePath);
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
    if (writePwm(kFullDuty, pwmOpenPath) != 0) {
        stopMotor();
        return endMove(1);
    }
    openingTimer.start(*clock);
    logThreshold();
    savePosition(POSITION_INTERMEDIATE);
    const int released = writePwm(kNoDuty, pwmClosePath);
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
    if (recordingSamples())
        writeDrawerLog(lastMove);
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
    if (writePwm(kFullDuty, pwmClosePath) != 0) {
        stopMotor();
        return endMove(1);
    }
    closingTimer.start(*clock);
    logThreshold();
    savePosition(POSITION_INTERMEDIATE);
    writePwm(kNoDuty, pwmOpenPath);
    clock->sleepMs(kInrushDelayMs);
    if (safetyZone != 0) {
        if (monitorCurrent(true) == drawermath::OverCurrent) {
            // Stopped within the safety zone (obstacle or the user): the drawer is in between.
            stopMotor();
            if (recordingSamples())
                writeDrawerLog(lastMove);
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
    if (recordingSamples())
        writeDrawerLog(lastMove);
    evaluateOpeningTime();
    return endMove(0);
}

int Drawer::openTimed()
{
    beginMove(kMoveOut, "\nDrawer: OPENING");
    moveInTimer->stop();
    if (writePwm(kFullDuty, pwmOpenPath) != 0) {
        stopMotor();
        return endMove(1);
    }
    // Reversing an interrupted closing: go back only as far as it came.
    if (moveInTicks != 0) {
        moveOutTicks = kTimedLastDrivenTick - moveInTicks;
        logLine(QString("moveOutTicks: %1").arg(moveOutTicks));
    } else {
        moveOutTicks = 0;
    }
    onMoveTimerTick(moveOutTicks, +1);
    moveOutTimer->start(clock->timerIntervalMs(kTimedTickMs));
    return endMove(0);
}

int Drawer::closeTimed()
{
    beginMove(kMoveIn, "\nDrawer: CLOSING");
    logClosingPlan();
    moveOutTimer->stop();
    if (writePwm(kFullDuty, pwmClosePath) != 0) {
        stopMotor();
        return endMove(1);
    }
    if (moveOutTicks != 0) {
        moveInTicks = kTimedLastDrivenTick - moveOutTicks;
        logLine(QString("moveInTicks: %1").arg(moveInTicks));
    } else {
        moveInTicks = 0;
    }
    onMoveTimerTick(moveInTicks, -1);
    moveInTimer->start(clock->timerIntervalMs(kTimedTickMs));
    return endMove(0);
}

int Drawer::onMoveTimerTick(int ticks, int direction)
{
    const bool opening = direction > 0;
    if (ticks <= kTimedLastDrivenTick)
        return writePwm(kNoDuty, opening ? pwmClosePath : pwmOpenPath);
    QTimer *timer = opening ? moveOutTimer : moveInTimer;
    timer->stop();
    (opening ? moveOutTicks : moveInTicks) = 0;
    logLine(opening ? "moveOutTimer Stopped" : "moveInTimer Stopped");
    logLine(timer->isActive() ? "true" : "false");
    stopMotor();
    if (opening)
        emit drawerIsOpened();
    else
        emit drawerIsClosed();
    return 0;
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
        if (recordingSamples())
            samples.push_back(value);
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
            qDebug() << -1;
            if (recordingSamples())
                samples.push_back(-1);
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

void Drawer::writeDrawerLog(std::string move)
{
    uint16_t threshold = 0;
    if (!samples.empty()) {
        const QString path = QString(kDrawerLogsDir) + '/'
                + drawermath::drawerLogFileName(calibrationLogging, move,
                                                QDateTime::currentDateTime());
        if (calibrationLogging)
            threshold = drawermath::calibrationThreshold(samples);
        QFile file(platform::path(path));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            logLine("Unable to open: " + path);
        } else {
            QByteArray text;
            for (int sample : samples)
                text += QByteArray::number(sample) + '\n';
            if (file.write(text) != text.size())
                logLine("Unable to write: " + path);
            else
                logLine(QString("Wrote %1 values to log: %2").arg(samples.size()).arg(path));
        }
        samples.clear();
    }
    if (calibrationLogging) {
        logLine("Drawer: Calibration data logging: DISABLED");
        calibrationLogging = false;
        emit setNewCalibrationSample(threshold, static_cast<uint16_t>(lastOpeningTime));
    }
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
