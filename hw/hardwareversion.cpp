#include "hardwareversion.h"

#include "gpio.h"
#include "sysfsvalue.h"

#include <QDebug>

int readHardwareVersion()
{
    GPIO::exportPin("162");
    GPIO::setDirection("in", "/sys/class/gpio/gpio162/direction");
    GPIO::exportPin("163");
    GPIO::setDirection("in", "/sys/class/gpio/gpio163/direction");
    GPIO::exportPin("164");
    GPIO::setDirection("in", "/sys/class/gpio/gpio164/direction");

    const int bit2 = readSysfsValue("/sys/class/gpio/gpio164/value");
    const int bit1 = readSysfsValue("/sys/class/gpio/gpio163/value");
    const int bit0 = readSysfsValue("/sys/class/gpio/gpio162/value");
    const int version = 4 * bit2 + 2 * bit1 + bit0;
    qDebug() << version << "\n";
    return version;
}
