#pragma once

#include <cstdint>

#include <QObject>

class QTimer;

// The vessel pump: motor and second pump output, a pressure-release output, the maximum-
// pressure switch and the vessel pressure sensor. Checked every 500 ms in the pump's thread;
// with automatic start allowed it keeps the vessel between the two raw thresholds by itself.
class Pump : public QObject
{
    Q_OBJECT

public:
    Pump();

    // Vessel pressure in mbar for a raw sensor count.
    static uint16_t pressureFromRaw(uint16_t raw);

    // The periodic check (connected to the timer); public so that it can be driven directly.
    void checkPressure();

    bool isPumpEnabled() const { return pumpEnabled; }
    bool isAutoStartAllowed() const { return autoStart; }

signals:
    void pressureValue(uint16_t pressureVal, int pressureMax);
    void pumpIsEnabled();
    void pumpIsDisabled();

public slots:
    void initPump();
    void enablePump();
    void disablePump();
    void pressureRelease();
    void startPumpAutoStart();
    void stopPumpAutoStart();

private:
    const char *motorDirectionPath = "/sys/class/gpio/gpio89/direction";
    const char *motorValuePath = "/sys/class/gpio/gpio89/value";
    const char *releaseDirectionPath = "/sys/class/gpio/gpio150/direction";
    const char *releaseValuePath = "/sys/class/gpio/gpio150/value";
    const char *secondDirectionPath = "/sys/class/gpio/gpio149/direction";
    const char *secondValuePath = "/sys/class/gpio/gpio149/value";
    const char *switchDirectionPath = "/sys/class/gpio/gpio39/direction";
    const char *switchValuePath = "/sys/class/gpio/gpio39/value";
    const char *sensorPath = "/sys/bus/iio/devices/iio:device0/in_voltage7_raw";

    bool pumpEnabled = false;
    bool autoStart = false;
    QTimer *checkTimer = nullptr;
    uint16_t lastRaw = 0;
    int lastSwitch = 0;
};
