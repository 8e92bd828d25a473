#include "pumpvessel.h"

#include "sim/simfiles.h"

#include <algorithm>
#include <cmath>

namespace {
// The program appends four-byte GPIO fields.
constexpr int kGpioFieldWidth = 4;
} // namespace

PumpVessel::PumpVessel(const QString &root, std::function<double()> laneFlow)
    : motorValueFile(root + "/sys/class/gpio/gpio89/value"),
      releaseValueFile(root + "/sys/class/gpio/gpio150/value"),
      switchValueFile(root + "/sys/class/gpio/gpio39/value"),
      sensorFile(root + "/sys/bus/iio/devices/iio:device0/in_voltage7_raw"),
      laneFlow(std::move(laneFlow))
{ }

int PumpVessel::rawForPressure(double mbar)
{
    const int raw = kSensorZeroCounts + int(std::lround(std::max(0.0, mbar) / kMbarPerCount));
    return std::min(raw, kAdcFullScale);
}

int PumpVessel::pressureForRaw(int raw)
{
    return static_cast<int>(std::max(0, raw - kSensorZeroCounts) * kMbarPerCount);
}

bool PumpVessel::lineHigh(const QString &valueFile) const
{
    return simfiles::lastFieldValue(valueFile, kGpioFieldWidth, 0) != 0;
}

void PumpVessel::tick(int elapsedMs)
{
    pumpRunning = lineHigh(motorValueFile) && !pumpDead;
    venting = lineHigh(releaseValueFile);
    lanes = laneFlow ? laneFlow() : 0;
    double rate = -(kNaturalLeakMbarPerS + leakMbarPerS + lanes * kLaneDrawMbarPerS);
    if (pumpRunning)
        rate += kPumpRiseMbarPerS;
    if (venting)
        rate -= kReleaseMbarPerS;
    pressure = std::clamp(pressure + rate * elapsedMs / 1000.0, 0.0, kPumpMaxMbar);
    if (switchStuckOpen)
        switchState = false;
    else if (switchStuckClosed)
        switchState = true;
    else if (pressure >= kSwitchCloseMbar)
        switchState = true;
    else if (pressure < kSwitchOpenMbar)
        switchState = false;
    overSwitchMs = pumpRunning && switchState ? overSwitchMs + elapsedMs : 0;
    longestOverSwitchMs = std::max(longestOverSwitchMs, overSwitchMs);
    publish();
}

void PumpVessel::publish()
{
    const int raw = rawForPressure(pressure);
    if (raw != writtenRaw && simfiles::writeAtomically(sensorFile, QByteArray::number(raw) + '\n'))
        writtenRaw = raw;
    const int closed = switchState ? 1 : 0;
    if (closed != writtenSwitch
        && simfiles::writeAtomically(switchValueFile, QByteArray::number(closed) + '\n'))
        writtenSwitch = closed;
}

QStringList PumpVessel::faultNames() const
{
    return {"vessel-leak", "pump-dead", "switch-stuck-open", "switch-stuck-closed"};
}

bool PumpVessel::setFault(const QString &name, const QStringList &arguments, QString *reason)
{
    if (name == "vessel-leak") {
        double rate = kDefaultLeakMbarPerS;
        if (!arguments.isEmpty()) {
            bool ok = false;
            rate = arguments.first().toDouble(&ok);
            if (!ok || rate <= 0) {
                *reason = "vessel-leak takes a positive rate in mbar/s";
                return false;
            }
        }
        leakMbarPerS = rate;
    } else if (name == "pump-dead") {
        pumpDead = true;
    } else if (name == "switch-stuck-open") {
        switchStuckOpen = true;
    } else if (name == "switch-stuck-closed") {
        switchStuckClosed = true;
    } else {
        *reason = "unknown fault";
        return false;
    }
    return true;
}

void PumpVessel::clearFaults()
{
    leakMbarPerS = 0;
    pumpDead = false;
    switchStuckOpen = false;
    switchStuckClosed = false;
}

QList<Model::Reading> PumpVessel::readings() const
{
    return {{"vessel", QString("%1 mbar (raw %2)").arg(int(pressure)).arg(writtenRaw)},
            {"max switch", switchState ? "closed" : "open"},
            {"pump", pumpRunning ? "running" : "off"},
            {"release valve", venting ? "venting" : "closed"},
            {"lane flow", QString("%1 lanes at run pressure").arg(lanes, 0, 'f', 1)},
            {"max switch overrun",
             QString("%1 (longest %2 ms)")
                     .arg(longestOverSwitchMs > kSwitchOverrunLimitMs ? "exceeded" : "kept")
                     .arg(longestOverSwitchMs)}};
}
