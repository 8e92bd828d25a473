#include "simdeviceio.h"

#include "rtuwire.h"

#include <cerrno>
#include <cstring>

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The character-format bits a UART keeps but a pseudo-terminal forces to 8 bits, no parity.
constexpr tcflag_t kCharacterFormat = PARENB | PARODD | CMSPAR | CSIZE;

bool sameIgnoringFormat(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag
            && (a.c_cflag & ~kCharacterFormat) == (b.c_cflag & ~kCharacterFormat)
            && cfgetospeed(&a) == cfgetospeed(&b) && cfgetispeed(&a) == cfgetispeed(&b);
}

// A call on an open simulated node: EBADF for a descriptor that is not open, and the handle's
// own error as errno when the call fails, as the kernel reports it.
template<typename Result, typename Call>
Result onHandle(const std::shared_ptr<SimDeviceHandle> &handle, Call call)
{
    if (!handle) {
        errno = EBADF;
        return -1;
    }
    int error = 0;
    const Result result = call(*handle, &error);
    if (result < 0)
        errno = error;
    return result;
}

} // namespace

SimDeviceIo::~SimDeviceIo()
{
    const std::lock_guard<std::mutex> lock(mutex);
}

void SimDeviceIo::addDevice(const std::string &path, std::shared_ptr<SimDevice> device)
{
    std::lock_guard<std::mutex> lock(mutex);
    devices[path] = std::move(device);
}

void SimDeviceIo::attachWire(const std::string &port, const std::string &driverEnable,
                             const std::string &receiverEnable, std::shared_ptr<RtuWireLine> line)
{
    std::lock_guard<std::mutex> lock(mutex);
    wire = std::move(line);
    wirePort = port;
    pinPaths = {{driverEnable, RtuWireLine::Pin::DriverEnable},
                {receiverEnable, RtuWireLine::Pin::ReceiverEnableLow}};
}

void SimDeviceIo::noteOpened(const char *path, int fd)
{
    if (fd < 0)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    if (!wire)
        return;
    if (path == wirePort)
        wireFds.insert(fd);
    auto pin = pinPaths.find(path);
    if (pin != pinPaths.end())
        pinFds[fd] = pin->second;
}

bool SimDeviceIo::putOnWire(int fd, const void *buffer, size_t count)
{
    std::shared_ptr<RtuWireLine> line;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (wireFds.count(fd) == 0)
            return false;
        line = wire;
    }
    termios settings {};
    const int baud
            = system.tcgetattr(fd, &settings) == 0 ? rtuwire::baudOf(cfgetospeed(&settings)) : 0;
    line->boardWrite(static_cast<const uint8_t *>(buffer), count, baud);
    return true;
}

void SimDeviceIo::switchTransceiver(int fd, const void *buffer, ssize_t written)
{
    if (written <= 0)
        return;
    std::shared_ptr<RtuWireLine> line;
    RtuWireLine::Pin pin {};
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = pinFds.find(fd);
        if (it == pinFds.end())
            return;
        line = wire;
        pin = it->second;
    }
    // A GPIO value attribute takes "0" or "1"; the line changes when the write returns.
    const char level = *static_cast<const char *>(buffer);
    if (level == '0' || level == '1')
        line->setPin(pin, level == '1');
}

std::shared_ptr<SimDeviceHandle> SimDeviceIo::handleOf(int fd)
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = handles.find(fd);
    return it == handles.end() ? nullptr : it->second;
}

int SimDeviceIo::open(const char *path, int flags)
{
    std::shared_ptr<SimDevice> device;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = devices.find(path);
        if (it != devices.end())
            device = it->second;
    }
    if (!device) {
        const int fd = system.open(path, flags);
        noteOpened(path, fd);
        return fd;
    }
    int error = 0;
    std::unique_ptr<SimDeviceHandle> handle = device->open(&error);
    if (!handle) {
        errno = error ? error : ENODEV;
        return -1;
    }
    std::lock_guard<std::mutex> lock(mutex);
    const int fd = nextFd++;
    handles[fd] = std::move(handle);
    return fd;
}

ssize_t SimDeviceIo::read(int fd, void *buffer, size_t count)
{
    if (fd < kFirstSimulatedFd)
        return system.read(fd, buffer, count);
    return onHandle<ssize_t>(handleOf(fd), [&](SimDeviceHandle &handle, int *error) {
        return handle.read(buffer, count, error);
    });
}

ssize_t SimDeviceIo::write(int fd, const void *buffer, size_t count)
{
    if (fd < kFirstSimulatedFd) {
        // The UART's buffer takes the frame at once; it leaves at the line speed from there.
        if (putOnWire(fd, buffer, count))
            return static_cast<ssize_t>(count);
        const ssize_t written = system.write(fd, buffer, count);
        switchTransceiver(fd, buffer, written);
        return written;
    }
    return onHandle<ssize_t>(handleOf(fd), [&](SimDeviceHandle &handle, int *error) {
        return handle.write(buffer, count, error);
    });
}

int SimDeviceIo::ioctl(int fd, unsigned long request, void *argument)
{
    if (fd >= kFirstSimulatedFd)
        return onHandle<int>(handleOf(fd), [&](SimDeviceHandle &handle, int *error) {
            return handle.ioctl(request, argument, error);
        });
    const int result = system.ioctl(fd, request, argument);
    // A pseudo-terminal refuses the RS485 requests with ENOTTY; a user-mode emulator that does
    // not know them (qemu running a cross-built program) says ENOSYS before the kernel sees them.
    const bool unknownToTerminal = errno == ENOTTY || errno == ENOSYS;
    if (result == 0 || !unknownToTerminal || (request != TIOCSRS485 && request != TIOCGRS485))
        return result;
    // The pseudo-terminal standing in for the UART: keep the RS485 settings like the driver.
    std::lock_guard<std::mutex> lock(mutex);
    if (request == TIOCSRS485) {
        rs485Settings[fd].assign(static_cast<const char *>(argument), sizeof(serial_rs485));
    } else {
        serial_rs485 settings {};
        auto it = rs485Settings.find(fd);
        if (it != rs485Settings.end())
            std::memcpy(&settings, it->second.data(), sizeof settings);
        std::memcpy(argument, &settings, sizeof settings);
    }
    return 0;
}

int SimDeviceIo::close(int fd)
{
    if (fd < kFirstSimulatedFd) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            rs485Settings.erase(fd);
            characterFormat.erase(fd);
            wireFds.erase(fd);
            pinFds.erase(fd);
        }
        return system.close(fd);
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (handles.erase(fd) == 0) {
        errno = EBADF;
        return -1;
    }
    return 0;
}

int SimDeviceIo::tcgetattr(int fd, struct termios *settings)
{
    if (fd >= kFirstSimulatedFd) {
        errno = ENOTTY;
        return -1;
    }
    const int result = system.tcgetattr(fd, settings);
    std::lock_guard<std::mutex> lock(mutex);
    auto it = characterFormat.find(fd);
    if (result == 0 && it != characterFormat.end())
        settings->c_cflag = (settings->c_cflag & ~kCharacterFormat) | it->second;
    return result;
}

int SimDeviceIo::tcsetattr(int fd, int when, const struct termios *settings)
{
    if (fd >= kFirstSimulatedFd) {
        errno = ENOTTY;
        return -1;
    }
    if (system.tcsetattr(fd, when, settings) == 0) {
        std::lock_guard<std::mutex> lock(mutex);
        characterFormat[fd] = settings->c_cflag & kCharacterFormat;
        return 0;
    }
    // The pseudo-terminal took everything but parity, and the C library then reports EINVAL when
    // nothing else changed (the watchdog reopening the link). A UART keeps the parity: so do we.
    const int error = errno;
    termios applied {};
    if (error != EINVAL || !isatty(fd) || system.tcgetattr(fd, &applied) != 0
        || !sameIgnoringFormat(applied, *settings)) {
        errno = error;
        return -1;
    }
    std::lock_guard<std::mutex> lock(mutex);
    characterFormat[fd] = settings->c_cflag & kCharacterFormat;
    return 0;
}

int SimDeviceIo::tcflush(int fd, int queue)
{
    if (fd >= kFirstSimulatedFd) {
        errno = ENOTTY;
        return -1;
    }
    const int result = system.tcflush(fd, queue);
    std::shared_ptr<RtuWireLine> line;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (wireFds.count(fd) != 0)
            line = wire;
    }
    if (result == 0 && line && (queue == TCOFLUSH || queue == TCIOFLUSH))
        line->boardFlushOutput();
    return result;
}
