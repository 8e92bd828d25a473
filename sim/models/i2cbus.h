#pragma once

#include "sim/simdevice.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include <QString>
#include <QStringList>

class I2cChip;
class I2cTrace;

// One I2C adapter as its /dev/i2c-N node: every open() gives a descriptor of its own whose
// slave address is chosen with ioctl(I2C_SLAVE); each read() or write() is one message to
// that address, answered by the chip attached there. Failures are the errno values the
// kernel driver returns: ENXIO when no chip acknowledges its address, EIO for a data byte
// that is not acknowledged, ENODEV once the adapter is gone.
//
// Chips are attached by the simulator and outlive all traffic: the device backend is
// uninstalled before the models are destroyed.
class I2cBus : public SimDevice
{
public:
    I2cBus(int number, std::shared_ptr<I2cTrace> trace);

    QString name() const { return QString("i2c-%1").arg(busNumber); }
    int number() const { return busNumber; }
    void attach(int address, I2cChip *chip);

    // Faults. absent: open works, the chip never acknowledges. nack-once: the chip refuses
    // the next write addressed to it, then works again. missing: the adapter is not there
    // (open fails, transfers on descriptors opened before fail).
    void setAbsent(int address);
    void setNackOnce(int address);
    void setMissing();
    void clearFaults();
    QStringList activeFaults() const;

    std::unique_ptr<SimDeviceHandle> open(int *error) override;

    // One message; -1 with *error set when it does not go through.
    ssize_t write(int address, const uint8_t *bytes, size_t count, int *error);
    ssize_t read(int address, uint8_t *bytes, size_t count, int *error);

private:
    // The reason a message to `address` fails, nullptr when it goes through.
    const char *failureFor(int address, bool writing, int *error);

    const int busNumber;
    const std::shared_ptr<I2cTrace> trace;
    mutable std::mutex mutex;
    std::map<int, I2cChip *> chips;
    std::set<int> absent;
    std::set<int> nackOnce;
    bool missing = false;
};
