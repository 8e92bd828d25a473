#include "deviceio.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

int SystemDeviceIo::open(const char *path, int flags)
{
    return ::open(path, flags);
}

ssize_t SystemDeviceIo::read(int fd, void *buffer, size_t count)
{
    return ::read(fd, buffer, count);
}

ssize_t SystemDeviceIo::write(int fd, const void *buffer, size_t count)
{
    return ::write(fd, buffer, count);
}

int SystemDeviceIo::ioctl(int fd, unsigned long request, void *argument)
{
    return ::ioctl(fd, request, argument);
}

int SystemDeviceIo::close(int fd)
{
    return ::close(fd);
}

int SystemDeviceIo::tcgetattr(int fd, struct termios *settings)
{
    return ::tcgetattr(fd, settings);
}

int SystemDeviceIo::tcsetattr(int fd, int when, const struct termios *settings)
{
    return ::tcsetattr(fd, when, settings);
}

int SystemDeviceIo::tcflush(int fd, int queue)
{
    return ::tcflush(fd, queue);
}

} // namespace platform
