#include "i2c_valvecontrol.h"

#include "hw/i2c_if.h"

#include <string>

#include <QDebug>

namespace {

const std::string kBus = "/dev/i2c-4";
constexpr int kAddress = 0x1F;

// Expander registers: output port, and pin direction (a 0 bit makes the pin an output).
constexpr uint8_t kOutputRegister = 0x01;
constexpr uint8_t kConfigurationRegister = 0x03;
constexpr uint8_t kAllPinsOutputs = 0x00;

} // namespace

I2C_ValveControl::I2C_ValveControl()
{
    qRegisterMetaType<uint8_t>("uint8_t");
    qDebug() << "I2C_ValveControl constructor ";
}

I2C_ValveControl::~I2C_ValveControl()
{
    delete i2c;
    qDebug() << "I2C_ValveControl destructor ";
}

void I2C_ValveControl::init()
{
    qDebug() << "I2C_ValveControl::init()";
    i2c = new I2C_IF;
    i2c->openBus(&kBus, kAddress);
    qDebug().nospace() << "ValveControl interface usability : "
                       << (i2c->isUsable() ? "true" : "false");
    if (i2c->isUsable()) {
        // The output register is left alone: the pins keep their power-on state until the
        // window sends the first mask.
        configurePins();
        qDebug() << "I2C_ValveControl::init() done";
    } else {
        qDebug() << "I2C interface for valve control not usable (Init)";
    }
    // Direct: the re-send runs inside the failing write, bounded by the resend budget.
    connect(i2c, &I2C_IF::i2cWriteFailed, this, &I2C_ValveControl::onI2CwriteFailed,
            Qt::DirectConnection);
}

void I2C_ValveControl::setOutputPins(uint8_t pins)
{
    I2C_ResendBudget::Request request(resends);
    qDebug() << "I2C_ValveControl::setOutputPins()";
    outputPins = pins;
    if (!i2c || !i2c->isUsable()) {
        qDebug() << "I2C interface for valve control not usable (Output pins)";
        return;
    }
    // Pins left as inputs would ignore every mask: a configuration lost to a bus glitch at
    // start-up is made up for before the mask.
    if (!pinsConfigured) {
        qDebug() << "I2C_ValveControl: configuring the valve pins as outputs again";
        configurePins();
    }
    const uint8_t command[] = {kOutputRegister, pins};
    i2c->writeBytes(command, sizeof command);
}

void I2C_ValveControl::configurePins()
{
    const uint8_t configuration[] = {kConfigurationRegister, kAllPinsOutputs};
    pinsConfigured = i2c->writeBytes(configuration, sizeof configuration);
}

void I2C_ValveControl::onI2CwriteFailed()
{
    if (!resends.take()) {
        qDebug() << "I2C_ValveControl: write failed again, mask not re-sent";
        return;
    }
    setOutputPins(outputPins);
}
