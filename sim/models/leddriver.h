#pragma once

#include "i2cchip.h"
#include "sim/model.h"

#include <mutex>

// The status light's RGB driver (0x38 on i2c-2). Every byte written is one command: the top
// three bits select the function, the low five bits carry a value 0..31. Functions used on
// the board: 0 with value 0 switches all outputs off (the three duties to 0), 1 sets the drive
// current level, 2/3/4 the red/green/blue duty. The other functions (blink, fade) are not
// wired on the board's driver and are acknowledged without effect. The driver has nothing to
// read back: a read sees the bus released (0xFF).
class LedDriver : public Model, public I2cChip
{
public:
    static constexpr int kAddress = 0x38;

    struct Light
    {
        int level = 0; // drive current level 0..31
        int red = 0, green = 0, blue = 0; // duties 0..31
    };

    // The colour an operator sees: each channel lit by duty times current level.
    static QString colorName(const Light &light);
    static QString rgbText(const Light &light);

    Light light() const;

    QString name() const override { return "Status light"; }
    void tick(int) override { }
    QList<Reading> readings() const override;

    bool receive(const uint8_t *bytes, size_t count) override;
    void transmit(uint8_t *bytes, size_t count) override;

private:
    mutable std::mutex mutex;
    Light state; // the driver powers up dark
};
