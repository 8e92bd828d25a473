#include "sysfsvalue.h"

#include "gpio.h"

#include <cstdlib>

int readSysfsValue(const char *path)
{
    char buffer[10] = {};
    GPIO::readValue(buffer, path);
    return static_cast<int>(std::strtol(buffer, nullptr, 10));
}
