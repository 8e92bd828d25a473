#include "buttonhandler.h"

#include "gpio.h"
#include "sysfsvalue.h"

#include "platform/platform.h"

#include <QDebug>
#include <QFile>
#include <QTimer>

namespace {
// The button pulls the line high while it is held.
constexpr int kPressed = 1;
} // namespace

ButtonHandler::ButtonHandler()
    : pin("160"),
      directionPath("/sys/class/gpio/gpio160/direction"),
      edgePath("/sys/class/gpio/gpio160/edge"),
      valuePath("/sys/class/gpio/gpio160/value")
{
    setUpLine();
}

ButtonHandler::~ButtonHandler()
{
    delete pollTimer;
}

void ButtonHandler::setUpLine()
{
    GPIO::exportPin(pin);
    GPIO::setDirection("in", directionPath);
    GPIO::setEdge("both", edgePath);
    pollTimer = new QTimer;
    connect(pollTimer, &QTimer::timeout, this, &ButtonHandler::readButtonStatus);
    pollTimer->start(kPollIntervalMs);
}

void ButtonHandler::onButtonValueChanged(QString path)
{
    Q_UNUSED(path)
    // A sysfs edge is acknowledged by reading the attribute to its end; the value itself is
    // left to the poll so that the press is reported from one place only.
    QFile value(platform::path(QString::fromLatin1(valuePath)));
    if (!value.open(QIODevice::ReadOnly)) {
        qWarning("ERROR: Could not open clamp15 file.");
        return;
    }
    (void)value.readAll();
}

void ButtonHandler::readButtonStatus()
{
    if (!pollTimer->isActive())
        return; // already reported; a queued timeout may still arrive
    buttonValue = readSysfsValue(valuePath);
    if (buttonValue != kPressed)
        return;
    pollTimer->stop();
    emit powerButtonPressed();
}
