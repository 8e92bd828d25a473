#include "powerbutton.h"

#include "sim/simfiles.h"

PowerButton::PowerButton(const QString &root)
    : valueFile(root + "/sys/class/gpio/gpio160/value") { }

void PowerButton::press()
{
    pressed = simfiles::writeAtomically(valueFile, "1\n");
}

QList<Model::Reading> PowerButton::readings() const
{
    return {{"power button", pressed ? "pressed" : "released"}};
}
