#pragma once

#include "platform/deviceio.h"
#include "rtuwireline.h"
#include "simdevice.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

// The simulator's device-I/O backend. Nodes registered with addDevice() are answered by their
// models; everything else (the pseudo-terminal behind the serial link) goes to the system.
// A pseudo-terminal has no RS485 ioctls and drops the parity bit of its settings; both are
// answered as the board's UART driver does.
// With a wire attached, what the program writes to the serial port goes onto the wire instead
// of into the pseudo-terminal, timed there at the port's line speed, and the writes to the two
// transceiver lines' value attributes switch the wire's driver and receiver: one clock for both.
class SimDeviceIo : public platform::DeviceIo
{
public:
    SimDeviceIo() = default;
    // Takes the lock once: orders the last call of a joined device thread before the tables
    // go, visibly to the thread sanitizer.
    ~SimDeviceIo() override;
    SimDeviceIo(const SimDeviceIo &) = delete;
    SimDeviceIo &operator=(const SimDeviceIo &) = delete;

    // `path` is the resolved path the program opens (inside the sandbox root).
    void addDevice(const std::string &path, std::shared_ptr<SimDevice> device);
    // `port` is the serial port's resolved path; `driverEnable` and `receiverEnable` the value
    // attributes of GPIO 83 and 84.
    void attachWire(const std::string &port, const std::string &driverEnable,
                    const std::string &receiverEnable, std::shared_ptr<RtuWireLine> wire);

    int open(const char *path, int flags) override;
    ssize_t read(int fd, void *buffer, size_t count) override;
    ssize_t write(int fd, const void *buffer, size_t count) override;
    int ioctl(int fd, unsigned long request, void *argument) override;
    int close(int fd) override;
    int tcgetattr(int fd, struct termios *settings) override;
    int tcsetattr(int fd, int when, const struct termios *settings) override;
    int tcflush(int fd, int queue) override;

private:
    // Far above any descriptor the process gets from the kernel.
    static constexpr int kFirstSimulatedFd = 1 << 20;

    std::shared_ptr<SimDeviceHandle> handleOf(int fd);
    void noteOpened(const char *path, int fd);
    bool putOnWire(int fd, const void *buffer, size_t count);
    void switchTransceiver(int fd, const void *buffer, ssize_t written);

    std::mutex mutex;
    std::map<std::string, std::shared_ptr<SimDevice>> devices;
    std::map<int, std::shared_ptr<SimDeviceHandle>> handles;
    std::map<int, std::string> rs485Settings; // raw struct serial_rs485 per system descriptor
    std::map<int, unsigned int> characterFormat; // the c_cflag parity and size bits a UART keeps
    std::shared_ptr<RtuWireLine> wire;
    std::string wirePort;
    std::map<std::string, RtuWireLine::Pin> pinPaths;
    std::map<int, RtuWireLine::Pin> pinFds; // open descriptors of the transceiver attributes
    std::set<int> wireFds; // open descriptors of the serial port
    int nextFd = kFirstSimulatedFd;
    platform::SystemDeviceIo system;
};
