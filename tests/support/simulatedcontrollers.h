#pragma once

// For the simulator's tests only (they link the simulator library, the other tests do not):
// header-only for that reason.
#include "platform/platform.h"
#include "sim/modbusrtuserver.h"
#include "sim/models/pressurecontrollers.h"
#include "sim/simdeviceio.h"
#include "sim/world.h"
#include "support/sandboxroot.h"

#include <string>

#include <QDir>
#include <QFile>
#include <QString>

// The simulator's device I/O installed for one test: it answers the RS485 ioctls on the
// pseudo-terminal like the board's UART.
class SimulatedBoard
{
public:
    SimulatedBoard() { platform::setDeviceIo(&io); }
    ~SimulatedBoard() { platform::setDeviceIo(nullptr); }
    SimulatedBoard(const SimulatedBoard &) = delete;
    SimulatedBoard &operator=(const SimulatedBoard &) = delete;

protected:
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

// The program's side of the link as well: the board's device I/O, and in `sandbox` the shipped
// link file, the transceiver's GPIOs and the serial port leading to the controllers' server.
class SimulatedEpcLink : private SimulatedBoard, public SimulatedControllers
{
public:
    explicit SimulatedEpcLink(const SandboxRoot &sandbox)
        : SimulatedControllers(sandbox.file("/sim/serial.trace")), sandbox(sandbox)
    { }

    // Starts the server and lays the program's side; false with the reason when either fails.
    bool start(QString *error)
    {
        QDir().mkpath(sandbox.file("/sim")); // where the bus trace goes
        if (!server.start(error))
            return false;
        io.attachWire(platform::path("/dev/ttymxc0"),
                      platform::path("/sys/class/gpio/gpio83/value"),
                      platform::path("/sys/class/gpio/gpio84/value"), server.wire());
        QFile shipped(QStringLiteral(VEMLA_DATA_DIR) + "/epc_config.inc");
        if (!shipped.open(QIODevice::ReadOnly)) {
            *error = "cannot read " + shipped.fileName();
            return false;
        }
        // A test may lay a link file of its own first.
        if (!QFile::exists(sandbox.file("/usr/share/vemla/resources/epc_config.inc")))
            sandbox.write("/usr/share/vemla/resources/epc_config.inc", shipped.readAll());
        for (const char *file : {"/sys/class/gpio/export", "/sys/class/gpio/gpio83/direction",
                                 "/sys/class/gpio/gpio84/direction", "/sys/class/gpio/gpio83/value",
                                 "/sys/class/gpio/gpio84/value"})
            sandbox.write(file, {});
        if (!QDir().mkpath(sandbox.file("/dev"))
            || !QFile::link(QString::fromStdString(server.devicePath()),
                            sandbox.file("/dev/ttymxc0"))) {
            *error = "cannot link the serial port to "
                    + QString::fromStdString(server.devicePath());
            return false;
        }
        return true;
    }

private:
    const SandboxRoot &sandbox;
};
