#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <QString>

class World;
typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

// The far end of the RS485 bus: a pseudo-terminal whose slave side the program opens as its
// serial port, and on the master side the three pressure controllers (PressureControllers in the
// world) answered by libmodbus, so that every frame the program sends is judged by an
// independent Modbus implementation. Every frame is traced, one line each, to the trace file.
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

private:
    void serve();
    void handleFrame(const uint8_t *frame, int length);
    void trace(const char *what, const uint8_t *frame, int length, const char *note = nullptr);
    int lineBaud() const;

    World &world;
    QString traceFile;
    int master = -1;
    int heldSlave = -1;
    std::string slavePath;
    int captureRead = -1; // libmodbus writes its replies here, so they can be delayed or spoilt
    int captureWrite = -1;
    modbus_t *context = nullptr;
    modbus_mapping_t *mapping = nullptr;
    std::FILE *traceOut = nullptr;
    std::atomic<bool> running {false};
    std::thread thread;
};
