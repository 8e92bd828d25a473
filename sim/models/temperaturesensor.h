#pragma once

#include "i2cchip.h"
#include "sim/model.h"

#include <array>
#include <mutex>

// The board's temperature sensor (0x48 on i2c-2). A one-byte write sets the register pointer;
// a read returns the register it points to, most significant byte first. Register 0 holds
// the temperature as a 12-bit two's-complement value in 1/16 degC, left-aligned in 16 bits.
//
// The air in the housing follows a target slowly: ambient, plus the electronics' own heat,
// plus the pump motor and the pressure-release valve while they are driven, minus what the
// fan blows out. The drive states are read from the program's GPIO and PWM outputs.
//
// Fault: i2c-temperature DEG  holds the sensor at DEG degC (a hot room, a failed fan...);
//        cleared with the other faults, after which the drift resumes from DEG.
class TemperatureSensor : public Model, public I2cChip
{
public:
    static constexpr int kAddress = 0x48;

    static constexpr double kAmbientC = 23.0;

    explicit TemperatureSensor(const QString &root);

    // The register bytes for a temperature, as the sensor's converter rounds and clips it.
    static void encode(double celsius, uint8_t *high, uint8_t *low);

    double celsius() const;

    QString name() const override { return "Temperature sensor"; }
    void tick(int elapsedMs) override;
    QStringList faultNames() const override { return {"i2c-temperature"}; }
    bool setFault(const QString &name, const QStringList &arguments, QString *reason) override;
    void clearFaults() override;
    QList<Reading> readings() const override;

    bool receive(const uint8_t *bytes, size_t count) override;
    void transmit(uint8_t *bytes, size_t count) override;

private:
    double targetC();

    const QString fanFile;
    const QString motorFile;
    const QString secondMotorFile;
    const QString releaseFile;

    mutable std::mutex mutex;
    double temperatureC = kAmbientC;
    bool held = false;
    uint8_t pointer = 0;
    // Configuration and the two alarm limits; entry 0 stands for the live temperature.
    std::array<uint16_t, 4> registers;
    int sinceSampleMs = 0;
    double cachedTargetC = kAmbientC;
};
