#include "i2c_if.h"

#include "platform/deviceio.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include <QDebug>

namespace {

// The i2c-dev request that binds a descriptor to a 7-bit slave address (linux/i2c-dev.h).
constexpr unsigned long kI2cSlaveRequest = 0x0703;

} // namespace

I2C_IF::I2C_IF()
{
    qDebug() << "Initializing I2C if for bus named ";
}

I2C_IF::~I2C_IF()
{
    if (fd > 0) {
        qDebug().nospace() << "Releasing file descriptor " << fd;
        platform::deviceIo().close(fd);
    }
    qDebug() << "I2C IF destructor ";
}

void I2C_IF::openBus(const std::string *busName, int address)
{
    usable = false;
    if (!busName) {
        qDebug() << "I2C bus not defined.";
        return;
    }
    const std::string node = platform::path(*busName);
    fd = platform::deviceIo().open(node.c_str(), O_RDWR);
    if (fd < 0) {
        const int error = errno;
        qDebug().nospace().noquote() << "Could not open bus named " << busName->c_str()
                                     << ". Error: " << std::strerror(error);
        return;
    }
    // The address travels as the ioctl's integer argument, not through a pointer.
    if (platform::deviceIo().ioctl(fd, kI2cSlaveRequest,
                                   reinterpret_cast<void *>(static_cast<long>(address)))
        < 0) {
        const int error = errno;
        qDebug().nospace().noquote() << "Could not select slave device." << address
                                     << " Error: " << std::strerror(error);
        return;
    }
    qDebug().nospace().noquote() << "Created I2C connection to bus named " << busName->c_str()
                                 << ". FD: " << fd;
    usable = true;
}

bool I2C_IF::writeBytes(const void *data, size_t length)
{
    errno = 0;
    const ssize_t written = platform::deviceIo().write(fd, data, length);
    if (written != static_cast<ssize_t>(length)) {
        const int error = errno;
        qDebug().nospace().noquote() << "Failed to write data to I2C device (fd: " << fd
                                     << "). Error: " << std::strerror(error);
        emit i2cWriteFailed();
        return false;
    }
    return true;
}

bool I2C_IF::readBytes(void *data, size_t length)
{
    errno = 0;
    const ssize_t received = platform::deviceIo().read(fd, data, length);
    if (received != static_cast<ssize_t>(length)) {
        const int error = errno;
        qDebug().nospace().noquote() << "Failed to read data from I2C device. (fd: " << fd
                                     << "). Error: " << std::strerror(error);
        emit i2cReadFailed();
        return false;
    }
    return true;
}
