#include "gpio.h"

#include "platform/platform.h"
#include "sysfsvalue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <QDebug>

namespace {

bool writeField(const char *text, const char *absolutePath)
{
    char field[GPIO::kFieldSize] = {};
    std::memcpy(field, text, std::min(std::strlen(text), sizeof field));
    return appendToAttribute(absolutePath, field, sizeof field);
}

} // namespace

void GPIO::exportPin(const char *pin)
{
    if (writeField(pin, "/sys/class/gpio/export"))
        qDebug() << "GPIO export successful: PIN" << pin;
    else
        qDebug() << "GPIO export set failed: PIN" << pin;
}

void GPIO::unexportPin(const char *pin)
{
    if (writeField(pin, "/sys/class/gpio/unexport"))
        qDebug() << "GPIO unexport successful: PIN" << pin;
    else
        qDebug() << "GPIO unexport set failed: PIN" << pin;
}

void GPIO::setDirection(const char *direction, const char *path)
{
    if (writeField(direction, path))
        qDebug() << "GPIO direction set successful";
    else
        qDebug() << "GPIO direction set failed";
}

void GPIO::setEdge(const char *edge, const char *path)
{
    if (writeField(edge, path))
        qDebug() << "GPIO edge set successful";
    else
        qDebug() << "GPIO edge set failed";
}

void GPIO::writeValue(const char *value, const char *path)
{
    if (!writeField(value, path))
        qDebug() << "GPIO write failed";
}

void GPIO::readValue(char *buffer, const char *path)
{
    FILE *file = std::fopen(platform::path(path).c_str(), "rb");
    if (!file) {
        qDebug() << "GPIO read failed";
        return;
    }
    (void)std::fread(buffer, 1, kFieldSize, file);
    std::fclose(file);
}
