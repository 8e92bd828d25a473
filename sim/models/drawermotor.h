#pragma once

#include "sim/model.h"

// The cartridge drawer: a DC motor driven outward by PWM<B> and inward by PWM<C>, its current
// on in_voltage4_raw. A full travel takes kDrawerTravelMs at full duty; at either end an
// end-stop switch cuts the motor, so the current falls to the driver's leakage; a drawer
// pushing against something draws a current that climbs towards the stall current.
//
// Faults:
//   drawer-obstacle   the next move meets an obstacle half-way to its end; the obstacle is
//                     gone once the motor has stopped (the operator has cleared it)
//   drawer-stuck      the drawer cannot move at all: any drive stalls the motor
//   drawer-slow [F]   travel takes F times as long (default 1.6), longer than the stored
//                     opening time
class DrawerMotor : public Model
{
public:
    static constexpr int kDrawerTravelMs = 5500;
    // Drawing the drawer along its rails at full duty, with the ripple of the brushes.
    static constexpr int kRunningCurrent = 350;
    static constexpr int kCurrentRipple = 20;
    // Driver leakage with the end-stop switch open, and the sensor offset with no drive.
    static constexpr int kEndStopCurrent = 8;
    static constexpr int kIdleCurrent = 2;
    // Locked rotor, above even the temporary high threshold of the calibration.
    static constexpr int kStallCurrent = 3600;
    // How fast the current climbs while the motor pushes against a blocked drawer.
    static constexpr int kStallRisePerMs = 4;
    static constexpr double kObstacleFraction = 0.5;
    static constexpr double kDefaultSlowFactor = 1.6;
    static constexpr int kMaxDuty = 255;
    // The longest the program may keep the motor running (moving, or pushing against a
    // blocked drawer; at an end stop the switch cuts it): its 8 s closing limit, a slow
    // drawer's opening, with 2 s for a loaded board. A longer run means the program lost
    // track of the motor; the reading "drawer drive limit" says so.
    static constexpr int kDriveLimitMs = 10000;

    explicit DrawerMotor(const QString &root);

    QString name() const override { return "Drawer"; }
    void tick(int elapsedMs) override;
    QStringList faultNames() const override;
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;

    // 0 closed .. 1 open.
    double position() const { return travel; }
    void setPosition(double value) { travel = value; }
    int current() const { return currentCounts; }

private:
    int driveDirection(int *duty) const;
    void writeCurrent(int counts);

    QString openPwmFile;
    QString closePwmFile;
    QString currentFile;
    double travel = 0;
    int currentCounts = -1;
    int lastDirection = 0;
    int pushedMs = 0;
    int drivenMs = 0; // the motor running in one direction, this time
    int longestDriveMs = 0;
    unsigned rippleSeed = 1;
    bool obstacleArmed = false;
    bool obstacleActive = false;
    double obstacleAt = 0;
    bool stuck = false;
    double slowFactor = 1;
};
