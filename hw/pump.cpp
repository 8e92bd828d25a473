#include "pump.h"

#include "gpio.h"
#include "sysfsvalue.h"

#include <QDebug>
#include <QTimer>

namespace {

constexpr int kCheckPeriodMs = 500;
// Raw counts of the vessel pressure sensor (12-bit ADC). The sensor reads 1250 at no
// pressure and two millibar per count above it.
constexpr uint16_t kRawAtZeroPressure = 1250;
constexpr int kMbarPerCount = 2;
// Above this the pump is stopped whatever else says.
constexpr uint16_t kRawStopAbove = 4000;
// At or below this the pump may be started: the band in between is the hysteresis.
constexpr uint16_t kRawStartAtOrBelow = 2749;
// A request to start is ignored while the vessel is nearly full and the switch is closed.
constexpr uint16_t kRawFullAbove = 3749;

} // namespace

Pump::Pump() = default;

uint16_t Pump::pressureFromRaw(uint16_t raw)
{
    if (raw <= kRawAtZeroPressure)
        return 0;
    return static_cast<uint16_t>((raw - kRawAtZeroPressure) * kMbarPerCount);
}

void Pump::initPump()
{
    GPIO::exportPin("89");
    GPIO::setDirection("out", motorDirectionPath);
    // The motor runs only while the pump is enabled. Start-up pulses this line and leaves it
    // high; the board's kernel drives an output low when its direction is set, but the motor
    // must not depend on that: a boot that goes to the error screen never enables nor disables
    // the pump, and the periodic check stops only an enabled one.
    GPIO::writeValue("0", motorValuePath);
    GPIO::exportPin("150");
    GPIO::setDirection("out", releaseDirectionPath);
    GPIO::exportPin("149");
    GPIO::setDirection("out", secondDirectionPath);
    GPIO::exportPin("39");
    GPIO::setDirection("in", switchDirectionPath);

    // Created here so that it runs in the pump's thread; a direct connection keeps the check
    // from ever overlapping a slot.
    checkTimer = new QTimer(this);
    checkTimer->setInterval(kCheckPeriodMs);
    connect(checkTimer, &QTimer::timeout, this, &Pump::checkPressure, Qt::DirectConnection);
    checkTimer->start();
}

void Pump::enablePump()
{
    pumpEnabled = true;
    if (lastRaw > kRawFullAbove && lastSwitch != 0)
        return;
    GPIO::writeValue("0", releaseValuePath);
    GPIO::writeValue("1", secondValuePath);
    GPIO::writeValue("1", motorValuePath);
    qDebug() << "Pump: ENABLED";
    emit pumpIsEnabled();
}

void Pump::disablePump()
{
    pumpEnabled = false;
    GPIO::writeValue("0", motorValuePath);
    GPIO::writeValue("0", secondValuePath);
    qDebug() << "Pump: DISABLED";
    emit pumpIsDisabled();
}

void Pump::pressureRelease()
{
    GPIO::writeValue("1", releaseValuePath);
}

void Pump::startPumpAutoStart()
{
    autoStart = true;
}

void Pump::stopPumpAutoStart()
{
    autoStart = false;
}

void Pump::checkPressure()
{
    lastSwitch = readSysfsValue(switchValuePath);
    lastRaw = static_cast<uint16_t>(readSysfsValue(sensorPath));
    emit pressureValue(pressureFromRaw(lastRaw), lastSwitch);

    // A raw 0 is a sensor that is not connected (it reads 1250 at no pressure): trust only
    // the switch, and stop starting the pump by itself.
    if (lastRaw == 0) {
        if (lastSwitch == 1 && pumpEnabled) {
            disablePump();
            autoStart = false;
        }
        return;
    }
    const bool startable = lastRaw <= kRawStartAtOrBelow && autoStart;
    if (lastRaw > kRawStopAbove || lastSwitch == 1) {
        if (pumpEnabled)
            disablePump();
        else if (startable)
            enablePump();
    } else if (startable && !pumpEnabled) {
        enablePump();
    }
}
