#include "physicalstate.h"

#include "drawermotor.h"
#include "pumpvessel.h"
#include "sim/simfiles.h"

#include <algorithm>
#include <cmath>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr double kMsPerS = 1000;
} // namespace

PhysicalState::Saved PhysicalState::load(const QString &file)
{
    Saved state;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return state;
    for (const QByteArray &line : in.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == "drawer")
            state.drawerPosition = std::clamp(value.toDouble(), 0.0, 1.0);
        else if (key == "vessel_mbar")
            state.vesselMbar = std::max(0.0, value.toDouble());
        else if (key == "usb_stick")
            state.stickPlugged = value == "plugged";
        else if (key == "saved_at_ms")
            state.savedAtMs = value.toLongLong();
    }
    return state;
}

bool PhysicalState::save(const QString &file, const Saved &state)
{
    const QByteArray text = "drawer=" + QByteArray::number(state.drawerPosition, 'f', 4)
            + "\nvessel_mbar=" + QByteArray::number(state.vesselMbar, 'f', 1)
            + "\nusb_stick=" + (state.stickPlugged ? "plugged" : "none")
            + "\nsaved_at_ms=" + QByteArray::number(state.savedAtMs) + "\n";
    return simfiles::writeAtomically(file, text);
}

double PhysicalState::vesselAfterOff(double mbar, qint64 offMs)
{
    const double lost = PumpVessel::kNaturalLeakMbarPerS * std::max<qint64>(0, offMs) / kMsPerS;
    return std::max(0.0, mbar - lost);
}

PhysicalState::PhysicalState(const QString &root, const Saved &saved, DrawerMotor *drawer,
                             PumpVessel *vessel)
    : rootDir(root), drawer(drawer), vessel(vessel)
{
    drawer->setPosition(saved.drawerPosition);
    const qint64 offMs
            = saved.savedAtMs > 0 ? QDateTime::currentMSecsSinceEpoch() - saved.savedAtMs : 0;
    vessel->setPressureMbar(vesselAfterOff(saved.vesselMbar, offMs));
}

void PhysicalState::tick(int elapsedMs)
{
    sinceSaveMs += elapsedMs;
    // A moved drawer or a stick plugged or pulled is saved at once; the vessel, which changes
    // all the time, a few times a second.
    if (sinceSaveMs < kSaveEveryMs && drawerPosition() == savedPosition
        && stickPlugged() == savedStick)
        return;
    saveNow();
}

void PhysicalState::saveNow()
{
    sinceSaveMs = 0;
    Saved state;
    state.drawerPosition = drawerPosition();
    state.vesselMbar = vessel->pressureMbar();
    state.stickPlugged = stickPlugged();
    state.savedAtMs = QDateTime::currentMSecsSinceEpoch();
    if (save(fileFor(rootDir), state)) {
        savedPosition = state.drawerPosition;
        savedStick = state.stickPlugged;
    }
}

double PhysicalState::drawerPosition() const
{
    return std::round(drawer->position() / kDrawerStep) * kDrawerStep;
}

bool PhysicalState::stickPlugged() const
{
    // The kernel's node of the stick is there exactly while a stick is in the port.
    return QFileInfo::exists(rootDir + "/dev/sda1");
}
