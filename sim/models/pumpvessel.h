#pragma once

#include "sim/model.h"

#include <functional>

// The pressure vessel and its pump. The pump runs while GPIO 89 is high, the release valve
// vents while GPIO 150 is high, and air leaves through the lanes only where it can flow: a lane
// valve open and the controllers delivering pressure into the lines behind it (with the set-
// points at 0 an open valve passes nothing and the vessel holds but for its seals). The
// maximum-pressure switch (GPIO 39) closes near the top of the range and opens again a little
// lower; the sensor on in_voltage7_raw reads 1250 counts at no pressure and 2 mbar per count
// above.
//
// Faults:
//   vessel-leak [R]       the vessel loses R mbar/s (default: more than the pump delivers, so
//                         the pressure never rises)
//   pump-dead             the pump motor does not run whatever GPIO 89 says
//   switch-stuck-open     the maximum-pressure switch never closes
//   switch-stuck-closed   the maximum-pressure switch reads closed whatever the pressure (welded
//                         contacts): the pump is switched off on one check and on again on the
//                         next while the vessel is low
//
// The reading "max switch overrun" says whether the pump ever ran longer than one check of
// the program against the closed switch.
class PumpVessel : public Model
{
public:
    // Empty vessel to the switch in about ten seconds, so that scenarios stay short.
    static constexpr double kPumpRiseMbarPerS = 540;
    static constexpr double kReleaseMbarPerS = 1500;
    // Seals and fittings of a sound vessel.
    static constexpr double kNaturalLeakMbarPerS = 0.5;
    // One open lane bleeding into a cartridge channel with its lines at a run's pressures.
    static constexpr double kLaneDrawMbarPerS = 4;
    static constexpr double kDefaultLeakMbarPerS = 1.5 * kPumpRiseMbarPerS;
    // The pump cannot push beyond this against the vessel.
    static constexpr double kPumpMaxMbar = 5690;
    static constexpr double kSwitchCloseMbar = 5300;
    static constexpr double kSwitchOpenMbar = 5000;
    static constexpr int kSensorZeroCounts = 1250;
    static constexpr double kMbarPerCount = 2;
    static constexpr int kAdcFullScale = 4095;
    // The program reads the maximum switch every 500 ms and must stop the pump at the first
    // reading that finds it closed; a pump still running after a further check (with a
    // quarter period for a loaded board) was not stopped by the switch.
    static constexpr int kSwitchOverrunLimitMs = 1250;

    // `laneFlow` tells how much the lanes draw now, in open lanes at a run's line pressures
    // (two lanes at half those pressures give 1); empty: nothing flows.
    PumpVessel(const QString &root, std::function<double()> laneFlow = {});

    QString name() const override { return "Pump and vessel"; }
    void tick(int elapsedMs) override;
    QStringList faultNames() const override;
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;

    double pressureMbar() const { return pressure; }
    void setPressureMbar(double mbar) { pressure = mbar; }
    bool switchClosed() const { return switchState; }
    // Sensor count for a pressure, as the ADC gives it.
    static int rawForPressure(double mbar);
    // Pressure a sensor count stands for: 0 mbar at and below the zero counts.
    static int pressureForRaw(int raw);

private:
    bool lineHigh(const QString &valueFile) const;
    void publish();

    QString motorValueFile;
    QString releaseValueFile;
    QString switchValueFile;
    QString sensorFile;
    std::function<double()> laneFlow;
    double pressure = 0;
    bool pumpRunning = false;
    bool venting = false;
    bool switchState = false;
    double lanes = 0;
    int overSwitchMs = 0; // the pump running against the closed switch, this time
    int longestOverSwitchMs = 0;
    int writtenRaw = -1;
    int writtenSwitch = -1;
    double leakMbarPerS = 0;
    bool pumpDead = false;
    bool switchStuckOpen = false;
    bool switchStuckClosed = false;
};
