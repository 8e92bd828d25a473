#include "leddriver.h"

#include <cstring>

namespace {

constexpr int kValueBits = 5;
constexpr uint8_t kValueMask = (1 << kValueBits) - 1;
constexpr int kMaxValue = kValueMask;
enum Function { kOutputsOff = 0, kCurrentLevel = 1, kRed = 2, kGreen = 3, kBlue = 4 };
constexpr uint8_t kReleasedBus = 0xFF;
constexpr int kFullByte = 255;

// 0..255 brightness of one channel as the eye gets it: duty share of the current level.
int intensity(int duty, int level)
{
    return duty * level * kFullByte / (kMaxValue * kMaxValue);
}

} // namespace

QString LedDriver::colorName(const Light &light)
{
    const bool red = intensity(light.red, light.level) > 0;
    const bool green = intensity(light.green, light.level) > 0;
    const bool blue = intensity(light.blue, light.level) > 0;
    static const char *const kNames[2][2][2] = {// [red][green][blue]
                                                {{"off", "blue"}, {"green", "cyan"}},
                                                {{"red", "magenta"}, {"yellow", "white"}}};
    return kNames[red][green][blue];
}

QString LedDriver::rgbText(const Light &light)
{
    return QString("#%1%2%3")
            .arg(intensity(light.red, light.level), 2, 16, QChar('0'))
            .arg(intensity(light.green, light.level), 2, 16, QChar('0'))
            .arg(intensity(light.blue, light.level), 2, 16, QChar('0'));
}

LedDriver::Light LedDriver::light() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return state;
}

QList<Model::Reading> LedDriver::readings() const
{
    const Light now = light();
    return {{"LED colour", colorName(now) + " " + rgbText(now)},
            {"LED level/R/G/B",
             QString("%1 / %2 %3 %4").arg(now.level).arg(now.red).arg(now.green).arg(now.blue)}};
}

bool LedDriver::receive(const uint8_t *bytes, size_t count)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t i = 0; i < count; ++i) {
        const int value = bytes[i] & kValueMask;
        switch (bytes[i] >> kValueBits) {
        case kOutputsOff:
            if (value == 0)
                state.red = state.green = state.blue = 0;
            break;
        case kCurrentLevel:
            state.level = value;
            break;
        case kRed:
            state.red = value;
            break;
        case kGreen:
            state.green = value;
            break;
        case kBlue:
            state.blue = value;
            break;
        default:
            break;
        }
    }
    return true;
}

void LedDriver::transmit(uint8_t *bytes, size_t count)
{
    std::memset(bytes, kReleasedBus, count);
}
