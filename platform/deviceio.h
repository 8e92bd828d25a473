#pragma once

#include <sys/types.h>

struct termios;

namespace platform {

// open/read/write/ioctl/close of device nodes, plus the termios calls the serial link needs.
// Paths given to open() are already resolved through platform::path(). Failures are passed
// through unchanged (-1 with errno set), so the program's own failure handling runs everywhere.
class DeviceIo
{
public:
    virtual ~DeviceIo() = default;

    virtual int open(const char *path, int flags) = 0;
    virtual ssize_t read(int fd, void *buffer, size_t count) = 0;
    virtual ssize_t write(int fd, const void *buffer, size_t count) = 0;
    virtual int ioctl(int fd, unsigned long request, void *argument) = 0;
    virtual int close(int fd) = 0;

    virtual int tcgetattr(int fd, struct termios *settings) = 0;
    virtual int tcsetattr(int fd, int when, const struct termios *settings) = 0;
    virtual int tcflush(int fd, int queue) = 0;
};

// The plain system calls: the instrument's backend and the default.
class SystemDeviceIo : public DeviceIo
{
public:
    int open(const char *path, int flags) override;
    ssize_t read(int fd, void *buffer, size_t count) override;
    ssize_t write(int fd, const void *buffer, size_t count) override;
    int ioctl(int fd, unsigned long request, void *argument) override;
    int close(int fd) override;

    int tcgetattr(int fd, struct termios *settings) override;
    int tcsetattr(int fd, int when, const struct termios *settings) override;
    int tcflush(int fd, int queue) override;
};

} // namespace platform
