#pragma once

#include "hw/i2c_resendbudget.h"

#include <array>
#include <cstdint>
#include <map>

#include <QObject>

class I2C_IF;
class QTimer;

// The RGB driver of the status light at 0x38 on /dev/i2c-2. Each write is one command byte:
// the top three bits pick the function (current level, red, green, blue duty), the low five
// bits carry the value 0..31. One colour is animated: green and blue cross-fading.
class I2C_LedControl : public QObject
{
    Q_OBJECT

public:
    enum LedColor {
        LED_OFF,
        LED_RED,
        LED_GREEN,
        LED_BLUE,
        LED_YELLOW,
        LED_MAGENTA,
        LED_CYAN,
        LED_GREEN_BLUE
    };
    Q_ENUM(LedColor)

    // Red, green, blue, brightness, each 0..255.
    using ColorEntry = std::array<uint8_t, 4>;

    static constexpr int kDimmingSteps = 32;

    I2C_LedControl();
    ~I2C_LedControl() override;

    LedColor color() const { return currentColor; }
    bool isDimming() const;

public slots:
    void init();
    void reset();
    void setLED(I2C_LedControl::LedColor col);
    void restartLED();

private slots:
    void updateDimming();

private:
    void writeByte(uint8_t command);
    void writeColorEntry(const ColorEntry &entry);

    I2C_IF *i2c = nullptr;
    LedColor currentColor = LED_OFF;
    QTimer *dimmingTimer = nullptr;
    std::array<uint8_t, kDimmingSteps + 1> dimmingCurve;
    uint8_t greenStep = kDimmingSteps;
    uint8_t blueStep = 0;
    bool dimmingDown = true;
    std::map<LedColor, ColorEntry> colorTable;
    I2C_ResendBudget resends;
};
