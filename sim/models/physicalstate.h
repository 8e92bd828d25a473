#pragma once

#include "sim/model.h"

#include <QString>

class DrawerMotor;
class PumpVessel;

// What of the instrument's hardware outlasts a power cut, unlike the program's memory and the
// kernel's mounts: the drawer stays where the motor left it (open, part-way), the vessel keeps
// its air but for what its seals lose while the board is off, and a stick in the port stays
// there. Kept in <root>/sim/physical.state (not on the instrument's disk: it is the world's),
// saved a few times a second by the running world and read at the next power-on.
class PhysicalState : public Model
{
public:
    // What the last power-on left; the defaults are a new instrument's (drawer closed, vessel
    // empty, port empty).
    struct Saved
    {
        double drawerPosition = 0;
        double vesselMbar = 0;
        bool stickPlugged = false;
        qint64 savedAtMs = 0; // wall clock of the save; 0 when nothing was saved
    };

    // A power cut loses at most this much of the vessel's last moments.
    static constexpr int kSaveEveryMs = 200;
    // The drawer is saved whenever it has moved this far (55 ms of travel).
    static constexpr double kDrawerStep = 0.01;

    static QString fileFor(const QString &root) { return root + "/sim/physical.state"; }
    static Saved load(const QString &file);
    static bool save(const QString &file, const Saved &state);
    // The vessel's pressure after `offMs` without power: the seals' leak, nothing else (the
    // pump, the release valve and the controllers are all without power).
    static double vesselAfterOff(double mbar, qint64 offMs);

    // Puts the drawer and the vessel where the last power-on left them, then keeps the file.
    PhysicalState(const QString &root, const Saved &saved, DrawerMotor *drawer, PumpVessel *vessel);

    QString name() const override { return "Physical state"; }
    void tick(int elapsedMs) override;
    // Saves what the hardware is like now: the moment the power goes.
    void saveNow();

private:
    double drawerPosition() const;
    bool stickPlugged() const;

    QString rootDir;
    DrawerMotor *drawer;
    PumpVessel *vessel;
    int sinceSaveMs = 0;
    double savedPosition = -1;
    bool savedStick = false;
};
