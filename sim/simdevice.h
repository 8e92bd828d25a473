#pragma once

#include <memory>
#include <sys/types.h>

// A device node the simulator answers itself (an I2C bus, for example). Each open() gives a
// handle of its own, as the kernel keeps per-descriptor state (the I2C slave address).
// Failures are returned as -1 with *error set to the errno the kernel would give.
class SimDeviceHandle
{
public:
    virtual ~SimDeviceHandle() = default;
    virtual ssize_t read(void *buffer, size_t count, int *error) = 0;
    virtual ssize_t write(const void *buffer, size_t count, int *error) = 0;
    virtual int ioctl(unsigned long request, void *argument, int *error) = 0;
};

class SimDevice
{
public:
    virtual ~SimDevice() = default;
    // nullptr with *error set when the node cannot be opened.
    virtual std::unique_ptr<SimDeviceHandle> open(int *error) = 0;
};
