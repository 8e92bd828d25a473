#pragma once

// For the simulator's tests only (they link the simulator library, the other tests do not):
// header-only for that reason.
#include "platform/platform.h"
#include "sim/modbusrtuserver.h"
#include "sim/models/pressurecontrollers.h"
#include "sim/simdeviceio.h"
#include "sim/world.h"
#include "support/sandboxroot.h"

#include <QtTest>

// The simulator's device I/O installed for one test: it answers the RS485 ioctls on the
// pseudo-terminal like the board's UART.
class SimulatedBoard
{
public:
    SimulatedBoard() { platform::setDeviceIo(&io); }
    ~SimulatedBoard() { platform::setDeviceIo(nullptr); }
    SimulatedBoard(const SimulatedBoard &) = delete;
    SimulatedBoard &operator=(const SimulatedBoard &) = delete;

private:
    SimDeviceIo io;
};

// The three pressure controllers running in a world of their own, their Modbus server on a
// pseudo-terminal tracing every frame to `traceFile`; the test starts the server.
class SimulatedControllers
{
public:
    explicit SimulatedControllers(const QString &traceFile) : server(world, traceFile)
    {
        world.add<PressureControllers>(QString());
        world.start();
    }

    World world;
    ModbusRtuServer server;
};

// The shipped link file, the transceiver's GPIOs and the program's serial port leading to
// `device`, laid in `sandbox`.
inline void layEpcLink(const SandboxRoot &sandbox, const std::string &device)
{
    QFile shipped(QStringLiteral(VEMLA_DATA_DIR) + "/epc_config.inc");
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    sandbox.write("/usr/share/vemla/resources/epc_config.inc", shipped.readAll());
    for (const char *file : {"/sys/class/gpio/export", "/sys/class/gpio/gpio83/direction",
                             "/sys/class/gpio/gpio84/direction", "/sys/class/gpio/gpio83/value",
                             "/sys/class/gpio/gpio84/value"})
        sandbox.write(file, {});
    QVERIFY(QDir().mkpath(sandbox.file("/dev")));
    QVERIFY(QFile::link(QString::fromStdString(device), sandbox.file("/dev/ttymxc0")));
}
