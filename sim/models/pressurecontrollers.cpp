#include "pressurecontrollers.h"

#include "pumpvessel.h"
#include "sim/rtuwire.h"

#include <algorithm>
#include <cmath>

#include <QFile>

namespace {

// Time constant of a controller's valve and line volume: a step is 99 % done after 1 s, well
// inside the one-second ramp steps.
constexpr double kLagTimeConstantMs = 200.0;
// Peak sensor noise of the measured value.
constexpr double kNoiseMbar = 2.0;
// The vessel pressure comes from the pump's analogue input, the vessel's sensor. Reading it
// every tick would be needless file traffic.
constexpr int kVesselReadPeriodMs = 100;
// Used when no sandbox is given: a vessel that never limits the lines.
constexpr int kUnlimitedVesselMbar = 6000;
constexpr int kRawPerMbar
        = PressureControllers::kFullScaleRaw / PressureControllers::kFullScaleMbar;

bool parseAddress(const QStringList &arguments, int *address, QString *reason)
{
    bool ok = false;
    *address = arguments.value(0).toInt(&ok);
    if (!ok || !PressureControllers::isAddress(*address)) {
        *reason = "needs the controller's address 1, 2 or 3";
        return false;
    }
    return true;
}

} // namespace

PressureControllers::PressureControllers(const QString &root)
    : vesselFile(root.isEmpty() ? QString()
                                : root + "/sys/bus/iio/devices/iio:device0/in_voltage7_raw")
{ }

int PressureControllers::vesselMbar()
{
    if (vesselFile.isEmpty())
        return kUnlimitedVesselMbar;
    if (vesselRead && sinceVesselReadMs < kVesselReadPeriodMs)
        return vesselCachedMbar;
    sinceVesselReadMs = 0;
    vesselRead = true;
    QFile file(vesselFile);
    if (file.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const int raw = file.readAll().trimmed().toInt(&ok);
        if (ok)
            vesselCachedMbar = PumpVessel::pressureForRaw(raw);
    }
    return vesselCachedMbar;
}

void PressureControllers::tick(int elapsedMs)
{
    sinceVesselReadMs += elapsedMs;
    const double supply = vesselMbar();
    const double step = 1.0 - std::exp(-elapsedMs / kLagTimeConstantMs);
    for (Controller &controller : controllers) {
        double target
                = static_cast<double>(controller.setPointRaw) / kRawPerMbar + controller.offsetMbar;
        target = std::clamp(target, 0.0, supply);
        controller.lineMbar += (target - controller.lineMbar) * step;
        controller.lineMbar = std::min(controller.lineMbar, supply);
    }
}

QStringList PressureControllers::faultNames() const
{
    return {"epc-silent", "epc-bad-crc",   "epc-wrong-address", "epc-offset",
            "epc-slow",   "epc-exception", "epc-partial",       "epc-baud"};
}

bool PressureControllers::setFault(const QString &name, const QStringList &arguments,
                                   QString *reason)
{
    if (name == "epc-baud") {
        const int requested = arguments.value(0).toInt();
        if (!rtuwire::isLineSpeed(requested)) {
            *reason = "needs a line speed: 9600, 19200, 38400, 57600 or 115200";
            return false;
        }
        baud = requested;
        return true;
    }
    int address = 0;
    if (!parseAddress(arguments, &address, reason))
        return false;
    Controller &controller = controllers[address - 1];
    if (name == "epc-offset") {
        bool ok = false;
        const int offset = arguments.value(1).toInt(&ok);
        if (!ok) {
            *reason = "needs the offset in mbar";
            return false;
        }
        controller.offsetMbar = offset;
        return true;
    }
    if (name == "epc-slow") {
        bool ok = true;
        const int delay = arguments.size() > 1 ? arguments[1].toInt(&ok) : kDefaultSlowReplyMs;
        if (!ok || delay < 0) {
            *reason = "needs the delay in ms";
            return false;
        }
        controller.reply = Reply::Slow;
        controller.delayMs = delay;
        return true;
    }
    if (name == "epc-silent")
        controller.reply = Reply::Silent;
    else if (name == "epc-exception")
        controller.reply = Reply::Exception;
    else if (name == "epc-partial")
        controller.reply = Reply::Partial;
    else if (name == "epc-bad-crc")
        controller.reply = Reply::BadCrc;
    else if (name == "epc-wrong-address")
        controller.reply = Reply::WrongAddress;
    else {
        *reason = "unknown fault";
        return false;
    }
    return true;
}

void PressureControllers::clearFaults()
{
    for (Controller &controller : controllers) {
        controller.reply = Reply::Normal;
        controller.offsetMbar = 0;
        controller.delayMs = 0;
    }
    baud = kDefaultBaud;
}

int PressureControllers::replyDelayUs(int address) const
{
    const Controller &controller = controllers[address - 1];
    return controller.reply == Reply::Slow ? controller.delayMs * 1000 : kProcessingDelayUs;
}

QList<Model::Reading> PressureControllers::readings() const
{
    QList<Reading> list;
    for (int i = 0; i < kControllers; ++i) {
        const Controller &controller = controllers[i];
        list.append({QString("line %1").arg(i + 1),
                     QString("%1 mbar (set %2)")
                             .arg(qRound(controller.lineMbar))
                             .arg(controller.setPointRaw / kRawPerMbar)});
    }
    list.append({"line speed", QString("%1 baud").arg(baud)});
    return list;
}

PressureControllers::Reply PressureControllers::replyMode(int address) const
{
    return controllers[address - 1].reply;
}

uint16_t PressureControllers::measuredRaw(int address)
{
    std::uniform_real_distribution<double> jitter(-kNoiseMbar, kNoiseMbar);
    const double mbar = std::max(0.0, controllers[address - 1].lineMbar + jitter(noise));
    return static_cast<uint16_t>(std::min(mbar * kRawPerMbar, 65535.0));
}

uint16_t PressureControllers::setPointRaw(int address) const
{
    return controllers[address - 1].setPointRaw;
}

void PressureControllers::setSetPointRaw(int address, uint16_t raw)
{
    controllers[address - 1].setPointRaw = raw;
}
