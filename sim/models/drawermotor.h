#pragma once

#include "sim/model.h"

// The cartridge drawer: a DC motor driven outward by PWM<B> and inward by PWM<C>, its current
// on in_voltage4_raw. A full travel takes kDrawerTravelMs at full duty; at either end an
// end-stop switch cuts the motor, so the current falls to the driver's leakage; a drawer
// pushing against something draws a current that climbs towards the stall current. The
// drawer stays where it is when the power goes (the simulator carries its position over to
// the next boot).
// A board of hardware version 0 has no current-sense amplifier: its ADC channel is not
// connected to the motor and reads the input's idle level whatever the motor does.
//
// Faults:
//   drawer-obstacle      the next move meets an obstacle half-way to its end; the obstacle is
//                        gone once the motor has stopped (the operator has cleared it)
//   drawer-stuck         the drawer cannot move at all: any drive stalls the motor
//   drawer-slow [F]      travel takes F times as long (default 1.6), longer than the stored
//                        opening time
//   drawer-no-endstop    the end-stop switches never open: at either end the motor runs on, its
//                        clutch slipping, and draws its running current; the current never
//                        ceases
//   drawer-adc-floating  the current input is open (a broken or unfitted sense amplifier): the
//                        channel drifts around mid-scale whatever the motor does
//   drawer-by-hand F     someone pushes or pulls the drawer to F (0 closed ... 1 open) by hand,
//                        as an operator may while the instrument is off
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
    // An open 12-bit ADC input picks up the board's noise around mid-scale.
    static constexpr int kFloatingCenter = 2048;
    static constexpr int kFloatingSwing = 300;
    static constexpr int kMaxDuty = 255;
    // The longest the program may keep the motor running (moving, or pushing against a
    // blocked drawer; at an end stop the switch cuts it): its 8 s closing limit, a slow
    // drawer's opening, with 2 s for a loaded board. A longer run means the program lost
    // track of the motor; the reading "drawer drive limit" says so.
    static constexpr int kDriveLimitMs = 10000;

    // `currentSensed`: the board has the current-sense amplifier (hardware version 1 and up).
    explicit DrawerMotor(const QString &root, bool currentSensed = true);

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
    // The motor current of this tick, in ADC counts.
    int motorCurrent(int elapsedMs);
    int nextRipple(int swing);
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
    bool currentSensed = true;
    bool noEndStop = false;
    bool adcFloating = false;
};
