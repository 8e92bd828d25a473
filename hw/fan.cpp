#include "fan.h"

#include "pwm.h"

#include <QDebug>

void Fan::fanStart(int pwmDuty)
{
    // A negative duty would wrap to a huge one; writePwm refuses anything above 255.
    if (pwmDuty < 0 || writePwm(static_cast<unsigned>(pwmDuty), pwmPath) != 0)
        qDebug() << "Fan: duty not set:" << pwmDuty;
}

void Fan::fanStop()
{
    if (writePwm(0, pwmPath) != 0)
        qDebug() << "Fan: duty not set: 0";
}
