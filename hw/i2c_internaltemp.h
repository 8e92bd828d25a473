#pragma once

#include <cstdint>

#include <QObject>

class I2C_IF;

// The board's temperature sensor at 0x48 on /dev/i2c-2, reported in whole degrees Celsius.
class I2C_InternalTemp : public QObject
{
    Q_OBJECT

public:
    I2C_InternalTemp();
    ~I2C_InternalTemp() override;

    // The sensor's two register bytes as whole degrees, truncated toward zero.
    static int8_t toCelsius(uint8_t high, uint8_t low);

public slots:
    void init();
    void readTemperature();

signals:
    void updateTemperature(int8_t currentTemperature);

private:
    I2C_IF *i2c = nullptr;
    int8_t currentTemperature = 0;
};
