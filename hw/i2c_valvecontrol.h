#pragma once

#include "hw/i2c_resendbudget.h"

#include <cstdint>

#include <QObject>

class I2C_IF;

// The 8-bit output expander at 0x1F on /dev/i2c-4 whose pins switch the valves; bit n of a
// mask drives pin n (1 = high).
class I2C_ValveControl : public QObject
{
    Q_OBJECT

public:
    I2C_ValveControl();
    ~I2C_ValveControl() override;

    uint8_t pins() const { return outputPins; }

public slots:
    void init();
    void setOutputPins(uint8_t pins);
    void onI2CwriteFailed();

private:
    void configurePins();

    uint8_t outputPins = 0;
    bool pinsConfigured = false;
    I2C_IF *i2c = nullptr;
    I2C_ResendBudget resends;
};
