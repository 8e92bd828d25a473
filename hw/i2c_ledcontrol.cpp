#include "i2c_ledcontrol.h"

#include "hw/i2c_if.h"

#include <string>

#include <QDebug>
#include <QTimer>

namespace {

const std::string kBus = "/dev/i2c-2";
constexpr int kAddress = 0x38;

// Command bytes: function in the top three bits, value 0..31 in the low five.
constexpr uint8_t kAllOff = 0x00;
constexpr uint8_t kCurrentLevel = 0x20;
constexpr uint8_t kRedDuty = 0x40;
constexpr uint8_t kGreenDuty = 0x60;
constexpr uint8_t kBlueDuty = 0x80;
constexpr int kMaxValue = 31;
constexpr uint8_t kFullCurrent = kCurrentLevel + kMaxValue;

// One cross-fade step; 32 steps take the light from full green to full blue in 1.6 s.
constexpr int kDimmingIntervalMs = 50;

// Duty per step: the eye sees the driver's linear duty as steep at the dark end, so the
// curve spends its first steps near zero.
constexpr std::array<uint8_t, I2C_LedControl::kDimmingSteps + 1> kDimmingCurve
        = {0,  0,  0,  1,  1,  2,  3,  4,  5,  6,  7,  8,  10, 11, 12, 14, 16,
           17, 19, 20, 21, 23, 24, 25, 26, 27, 28, 29, 30, 30, 31, 31, 31};

// A 0..255 colour component as the driver's 0..31 value.
uint8_t scaled(uint8_t component)
{
    return static_cast<uint8_t>(component * kMaxValue / 255);
}

void logNotUsable(const char *operation)
{
    qDebug().nospace() << "Interface for I2C_LedControl not usable (" << operation << ")";
}

} // namespace

I2C_LedControl::I2C_LedControl()
    : dimmingCurve(kDimmingCurve),
      colorTable {{LED_OFF, {0, 0, 0, 0}},          {LED_RED, {255, 0, 0, 255}},
                  {LED_GREEN, {0, 255, 0, 255}},    {LED_BLUE, {0, 0, 255, 255}},
                  {LED_YELLOW, {255, 111, 0, 255}}, {LED_MAGENTA, {255, 0, 255, 255}},
                  {LED_CYAN, {0, 255, 255, 255}},   {LED_GREEN_BLUE, {0, 0, 0, 0}}}
{
    qRegisterMetaType<I2C_LedControl::LedColor>("I2C_LedControl::LedColor");
}

I2C_LedControl::~I2C_LedControl()
{
    delete i2c;
}

bool I2C_LedControl::isDimming() const
{
    return dimmingTimer && dimmingTimer->isActive();
}

void I2C_LedControl::init()
{
    qDebug() << "I2C_LedControl::init()";
    i2c = new I2C_IF;
    qDebug() << "I2C open:      LED";
    i2c->openBus(&kBus, kAddress);
    qDebug().nospace() << "I2C_LedControl interface usability : "
                       << (i2c->isUsable() ? "true" : "false");
    dimmingTimer = new QTimer(this);
    connect(dimmingTimer, &QTimer::timeout, this, &I2C_LedControl::updateDimming);
    // Direct: the re-send runs inside the failing write, bounded by the resend budget.
    connect(i2c, &I2C_IF::i2cWriteFailed, this, &I2C_LedControl::restartLED, Qt::DirectConnection);
}

void I2C_LedControl::reset()
{
    I2C_ResendBudget::Request request(resends);
    qDebug() << "I2C_LedControl::reset()";
    if (!i2c || !i2c->isUsable()) {
        logNotUsable("Init");
        return;
    }
    // A reset ends a running cross-fade too, or the timer would light the dark driver again.
    if (dimmingTimer && dimmingTimer->isActive())
        dimmingTimer->stop();
    // Recorded before the writes: a re-send after a failed write re-applies this state.
    currentColor = LED_OFF;
    // Outputs off, then the current level back at full for the next colour.
    writeByte(kAllOff);
    writeByte(kFullCurrent);
}

void I2C_LedControl::setLED(I2C_LedControl::LedColor col)
{
    I2C_ResendBudget::Request request(resends);
    auto entry = colorTable.find(col);
    if (entry == colorTable.end()) {
        qDebug() << "I2C_LedControl: Color not found!";
        return;
    }
    // Recorded before the writes: a re-send after a failed write re-applies the requested
    // colour, not the one it replaces.
    currentColor = col;
    if (col == LED_GREEN_BLUE) {
        reset();
        // Red stays off for the whole cross-fade; the timer steps green and blue.
        if (i2c && i2c->isUsable())
            writeByte(kRedDuty);
        if (dimmingTimer)
            dimmingTimer->start(kDimmingIntervalMs);
        currentColor = LED_GREEN_BLUE;
        return;
    }
    if (dimmingTimer && dimmingTimer->isActive())
        dimmingTimer->stop();
    writeColorEntry(entry->second);
}

void I2C_LedControl::restartLED()
{
    if (!resends.take()) {
        qDebug() << "I2C_LedControl: write failed again, colour not re-applied";
        return;
    }
    setLED(currentColor);
}

void I2C_LedControl::updateDimming()
{
    I2C_ResendBudget::Request request(resends);
    if (!i2c || !i2c->isUsable()) {
        logNotUsable("updateDimming");
        if (dimmingTimer && dimmingTimer->isActive())
            dimmingTimer->stop();
        return;
    }
    if (dimmingDown) {
        if (--greenStep == 0)
            dimmingDown = false;
        ++blueStep;
    } else {
        if (++greenStep == kDimmingSteps)
            dimmingDown = true;
        --blueStep;
    }
    writeByte(kFullCurrent);
    writeByte(static_cast<uint8_t>(kGreenDuty + dimmingCurve[greenStep]));
    writeByte(static_cast<uint8_t>(kBlueDuty + dimmingCurve[blueStep]));
}

void I2C_LedControl::writeByte(uint8_t command)
{
    i2c->writeBytes(&command, 1);
}

void I2C_LedControl::writeColorEntry(const ColorEntry &entry)
{
    if (!i2c || !i2c->isUsable()) {
        logNotUsable("Init");
        return;
    }
    const auto [red, green, blue, brightness] = entry;
    writeByte(static_cast<uint8_t>(kCurrentLevel + scaled(brightness)));
    writeByte(static_cast<uint8_t>(kRedDuty + scaled(red)));
    writeByte(static_cast<uint8_t>(kGreenDuty + scaled(green)));
    writeByte(static_cast<uint8_t>(kBlueDuty + scaled(blue)));
}
