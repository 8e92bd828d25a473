#pragma once

#include <QObject>

// The cooling fan on a PWM output, duty 0..255.
class Fan : public QObject
{
    Q_OBJECT

public:
    Fan() = default;

public slots:
    void fanStart(int pwmDuty);
    void fanStop();

private:
    const char *pwmPath = "/sys/class/leds/PWM<D>/brightness";
};
