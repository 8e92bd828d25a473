#include "i2c_internaltemp.h"

#include "hw/i2c_if.h"

#include <string>

#include <QDebug>

namespace {

const std::string kBus = "/dev/i2c-2";
constexpr int kAddress = 0x48;
// Pointer register value selecting the temperature register.
constexpr uint8_t kTemperatureRegister = 0x00;

// The sensor left-aligns a 12-bit two's-complement value in its two bytes, 1/16 degC per bit.
constexpr int kUnusedLowBits = 4;
constexpr int kSignBit = 1 << 11;
constexpr int kRawRange = 1 << 12;
constexpr int kCountsPerDegree = 16;

} // namespace

I2C_InternalTemp::I2C_InternalTemp()
{
    qRegisterMetaType<int8_t>("int8_t");
    qDebug() << "I2C_InternalTemp constructor ";
}

I2C_InternalTemp::~I2C_InternalTemp()
{
    delete i2c;
    qDebug() << "I2C_InternalTemp destructor ";
}

int8_t I2C_InternalTemp::toCelsius(uint8_t high, uint8_t low)
{
    int raw = ((high << 8) | low) >> kUnusedLowBits;
    if (raw >= kSignBit)
        raw -= kRawRange;
    // Integer division truncates toward zero, as the whole-degree reading does.
    return static_cast<int8_t>(raw / kCountsPerDegree);
}

void I2C_InternalTemp::init()
{
    i2c = new I2C_IF;
    qDebug() << "I2C open:      Temperature";
    i2c->openBus(&kBus, kAddress);
    qDebug().nospace() << "Internaltemp interface usability : "
                       << (i2c->isUsable() ? "true" : "false");
}

void I2C_InternalTemp::readTemperature()
{
    const bool usable = i2c && i2c->isUsable();
    if (usable) {
        const uint8_t pointer = kTemperatureRegister;
        i2c->writeBytes(&pointer, 1);
    } else {
        qDebug() << "Interface for internal temp not usable (A)";
    }
    if (usable) {
        uint8_t raw[2] = {0, 0};
        // A failed or short read is no reading: the last good value is repeated rather than a
        // made-up 0 degC reaching the run log.
        if (i2c->readBytes(raw, sizeof raw))
            currentTemperature = toCelsius(raw[0], raw[1]);
    } else {
        qDebug() << "Interface for internal temp not usable (B)";
    }
    emit updateTemperature(currentTemperature);
}
