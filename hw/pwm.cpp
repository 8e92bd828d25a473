#include "pwm.h"

#include "sysfsvalue.h"

#include <cstdio>
#include <cstring>

#include <QDebug>

namespace {
constexpr size_t kDutyFieldSize = 3; // "255" is the longest duty text
} // namespace

int writePwm(unsigned value, const char *path)
{
    if (value > kPwmFullDuty)
        return 1;
    char field[kDutyFieldSize + 1] = {};
    std::snprintf(field, sizeof field, "%u", value);
    if (!appendToAttribute(path, field, kDutyFieldSize)) {
        qDebug() << "PWM write failed:" << path;
        return 1;
    }
    return 0;
}
