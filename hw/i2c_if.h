#pragma once

#include <cstddef>
#include <string>

#include <QObject>

// The gateway to one slave on a Linux I2C character device. Each transfer is one plain
// write() or read() on the bus node (one I2C message, start to stop); failures are logged and
// signalled, never retried here: the peripheral that owns the interface decides.
class I2C_IF : public QObject
{
    Q_OBJECT

public:
    I2C_IF();
    ~I2C_IF() override;

    // Opens the bus node and selects the slave. The result is only visible through isUsable();
    // an interface that failed stays unusable, there is no reopen.
    void openBus(const std::string *busName, int address);
    // Both return whether the whole length went over the bus; a failure is also logged and
    // signalled. Bytes a read does not deliver keep what the caller put into data beforehand.
    bool writeBytes(const void *data, size_t length);
    bool readBytes(void *data, size_t length);
    bool isUsable() const { return usable; }

signals:
    void i2cWriteFailed();
    void i2cReadFailed();

private:
    int fd = -1;
    bool usable = false;
};
