#include "pwm.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstring>

#include <QDebug>

namespace {
constexpr unsigned kMaxDuty = 255;
constexpr size_t kDutyFieldSize = 3; // "255" is the longest duty text
} // namespace

int writePwm(unsigned value, const char *path)
{
    if (value > kMaxDuty)
        return 1;
    FILE *file = std::fopen(platform::path(path).c_str(), "ab");
    if (!file) {
        qDebug() << "PWM write failed:" << path;
        return 1;
    }
    char field[kDutyFieldSize + 1] = {};
    std::snprintf(field, sizeof field, "%u", value);
    std::fwrite(field, 1, kDutyFieldSize, file);
    std::fclose(file);
    return 0;
}
