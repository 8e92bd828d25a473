#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QString>

class RtuWireLine;
class RtuWireFramer;
class World;
typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

// The far end of the RS485 bus: a pseudo-terminal whose slave side the program opens as its
// serial port, and behind it the wire (RtuWireLine) with the three pressure controllers
// (PressureControllers in the world) as Modbus RTU slaves whose answers libmodbus builds, so that
// every frame the program sends is judged by an independent Modbus implementation.
// The program's writes reach the wire through the simulator's device I/O, which times them and
// the transceiver lines on the wire's clock; bytes written straight into the pseudo-terminal (a
// test's client) go on the wire as from an adapter that switches its driver by itself. This
// server's thread runs the wire: it frames the controllers' requests by silence, sends their
// answers character by character at their line speed after their processing delay, and puts
// into the pseudo-terminal, each at its stop bit, the characters the board's receiver hears.
// Every frame is traced, one line each, to the trace file.
class ModbusRtuServer
{
public:
    ModbusRtuServer(World &world, const QString &traceFile);
    ~ModbusRtuServer();
    ModbusRtuServer(const ModbusRtuServer &) = delete;
    ModbusRtuServer &operator=(const ModbusRtuServer &) = delete;

    // Opens the pseudo-terminal and starts answering; false with a reason on failure.
    bool start(QString *error);
    void stop();
    // The device path the program opens (the pseudo-terminal's slave).
    std::string devicePath() const { return slavePath; }
    // The wire, for the device I/O that puts the program's writes and pin changes on it.
    std::shared_ptr<RtuWireLine> wire() const { return line; }

private:
    void serve();
    void runWire(RtuWireFramer &framer);
    void completeFrame(RtuWireFramer &framer);
    void handleFrame(const uint8_t *frame, int length, int64_t completeUs, int baud);
    void trace(const char *what, const uint8_t *frame, int length, const char *note = nullptr);
    int lineBaud() const;
    int controllersBaud();

    World &world;
    QString traceFile;
    int master = -1;
    int heldSlave = -1;
    std::string slavePath;
    int captureRead = -1; // libmodbus writes its replies here, so they can be delayed or spoilt
    int captureWrite = -1;
    std::shared_ptr<RtuWireLine> line;
    modbus_t *context = nullptr;
    modbus_mapping_t *mapping = nullptr;
    std::FILE *traceOut = nullptr;
    std::atomic<bool> running {false};
    std::thread thread;
};
