#pragma once

#include "drawerclock.h"
#include "drawersamplelog.h"
#include "drawertimedmode.h"
#include "records/errorcode.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include <QObject>

// The motorised cartridge drawer: a DC motor on two PWM channels (one per direction) and its
// current on an ADC input. A move runs synchronously in the drawer's own thread and blocks it
// until the drawer stops; the window can only ask it to abort (requestAbort, thread-safe).
// Boards of hardware version 0 have no current sensing and move for a fixed time instead.
class Drawer : public QObject
{
    Q_OBJECT

public:
    // Stored drawer positions (drawer/drawer_position).
    enum Position : uint16_t { POSITION_CLOSED = 0, POSITION_INTERMEDIATE = 1, POSITION_OPEN = 2 };

    // `clock` is not owned; null means the instrument's clock.
    explicit Drawer(DrawerClock *clock = nullptr);
    ~Drawer() override;

    // Direct calls from the window (GUI thread).
    void setSafetyEnabled(bool enabled);
    void setPositionUnknown(bool unknown);
    void requestAbort(int value);

    // Connected to the window's drawerLogEnabled / drawerLogDisabled.
    int enableLogging(int hwVersion);
    void disableLogging();

signals:
    void drawerIsOpened();
    void drawerIsClosed();
    void drawerIsStopped();
    void drawerError(ErrorCode err);
    void setNewCalibrationSample(uint16_t threshold, uint16_t openingTime);

public slots:
    void init();
    void moveDrawer(int param);
    void forceDrawer(int param);
    void updateDrawerSettings();
    void enableCalibration();
    void enableHighThreshold();

private:
    void stopMotor();
    int openDrawer();
    int closeDrawer();
    int moveTimed(DrawerTimedMode::Direction direction);
    void onTimedTravelEnded(DrawerTimedMode::Direction direction);
    void beginMove(const char *move, const char *banner);
    void logClosingPlan();
    int endMove(int result);
    int monitorCurrent(bool supervised);
    int classifySample(int previous, int latest) const;
    void evaluateOpeningTime();
    void finishSampleLog();
    void savePosition(Position position);
    uint16_t thresholdInForce() const;
    void logThreshold() const;

    const char *pwmOpenPath = "/sys/class/leds/PWM<B>/brightness";
    const char *pwmClosePath = "/sys/class/leds/PWM<C>/brightness";
    const char *currentPath = "/sys/bus/iio/devices/iio:device0/in_voltage4_raw";
    // Taken by the window's direct calls. std::mutex, not QMutex: the thread sanitizer sees its
    // locking (Qt's own is invisible to it).
    std::mutex abortMutex;
    // Written under abortMutex; read once per sample by the move without the lock.
    std::atomic<uint8_t> abortRequest {0};
    // Set by the GUI thread (a direct call), read by every move.
    std::atomic<bool> safetyEnabled {false};
    bool highThresholdEnabled = false;
    DrawerClock::Stopwatch openingTimer;
    DrawerClock::Stopwatch closingTimer;
    int openingTime = 0;
    int lastOpeningTime = 0;
    int safetyZone = 0;
    bool closingInterrupted = false;
    bool openingInterrupted = false;
    uint16_t safetyThreshold = 0;
    // Set by the GUI thread before the first move request reaches the drawer thread.
    std::atomic<bool> positionUnknown {false};
    std::string lastMove;
    DrawerClock *clock;
    DrawerSampleLog sampleLog;
    DrawerTimedMode timedMode;
};
