#include "i2cbus.h"

#include "i2cchip.h"
#include "i2ctrace.h"

#include <cerrno>

namespace {

// i2c-dev requests that bind a descriptor to a slave (linux/i2c-dev.h); FORCE skips the
// check for a kernel driver, which the simulated adapter does not have.
constexpr unsigned long kI2cSlave = 0x0703;
constexpr unsigned long kI2cSlaveForce = 0x0706;
constexpr long kMaxSevenBitAddress = 0x7F;
// i2c-dev refuses longer messages with EINVAL.
constexpr size_t kMaxMessageBytes = 8192;

class Handle : public SimDeviceHandle
{
public:
    explicit Handle(I2cBus &bus) : bus(bus) { }

    ssize_t read(void *buffer, size_t count, int *error) override
    {
        return bus.read(address, static_cast<uint8_t *>(buffer), count, error);
    }

    ssize_t write(const void *buffer, size_t count, int *error) override
    {
        return bus.write(address, static_cast<const uint8_t *>(buffer), count, error);
    }

    int ioctl(unsigned long request, void *argument, int *error) override
    {
        if (request != kI2cSlave && request != kI2cSlaveForce) {
            *error = ENOTTY;
            return -1;
        }
        const long requested = reinterpret_cast<long>(argument);
        if (requested < 0 || requested > kMaxSevenBitAddress) {
            *error = EINVAL;
            return -1;
        }
        address = static_cast<int>(requested);
        return 0;
    }

private:
    I2cBus &bus;
    // A fresh descriptor talks to address 0 until a slave is selected, as i2c-dev does.
    int address = 0;
};

} // namespace

I2cBus::I2cBus(int number, std::shared_ptr<I2cTrace> trace)
    : busNumber(number), trace(std::move(trace))
{ }

void I2cBus::attach(int address, I2cChip *chip)
{
    std::lock_guard<std::mutex> lock(mutex);
    chips[address] = chip;
}

void I2cBus::setAbsent(int address)
{
    std::lock_guard<std::mutex> lock(mutex);
    absent.insert(address);
}

void I2cBus::setNackOnce(int address)
{
    std::lock_guard<std::mutex> lock(mutex);
    nackOnce.insert(address);
}

void I2cBus::setMissing()
{
    std::lock_guard<std::mutex> lock(mutex);
    missing = true;
}

void I2cBus::clearFaults()
{
    std::lock_guard<std::mutex> lock(mutex);
    absent.clear();
    nackOnce.clear();
    missing = false;
}

QStringList I2cBus::activeFaults() const
{
    std::lock_guard<std::mutex> lock(mutex);
    QStringList faults;
    if (missing)
        faults << "no bus";
    for (int address : absent)
        faults << QString("0x%1 absent").arg(address, 2, 16, QChar('0'));
    for (int address : nackOnce)
        faults << QString("0x%1 nack once").arg(address, 2, 16, QChar('0'));
    return faults;
}

std::unique_ptr<SimDeviceHandle> I2cBus::open(int *error)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (missing) {
        *error = ENOENT;
        return nullptr;
    }
    return std::make_unique<Handle>(*this);
}

const char *I2cBus::failureFor(int address, bool writing, int *error)
{
    if (missing) {
        *error = ENODEV;
        return "no bus";
    }
    if (chips.count(address) == 0 || absent.count(address) != 0) {
        *error = ENXIO;
        return "no acknowledge";
    }
    if (writing && nackOnce.erase(address) != 0) {
        *error = EIO;
        return "data not acknowledged";
    }
    return nullptr;
}

ssize_t I2cBus::write(int address, const uint8_t *bytes, size_t count, int *error)
{
    if (count > kMaxMessageBytes) {
        *error = EINVAL;
        return -1;
    }
    std::lock_guard<std::mutex> lock(mutex);
    const char *failure = failureFor(address, true, error);
    if (!failure && !chips[address]->receive(bytes, count)) {
        *error = EIO;
        failure = "data not acknowledged";
    }
    trace->record(name(), address, 'W', bytes, count, failure);
    return failure ? -1 : static_cast<ssize_t>(count);
}

ssize_t I2cBus::read(int address, uint8_t *bytes, size_t count, int *error)
{
    if (count > kMaxMessageBytes) {
        *error = EINVAL;
        return -1;
    }
    std::lock_guard<std::mutex> lock(mutex);
    const char *failure = failureFor(address, false, error);
    if (failure) {
        trace->record(name(), address, 'R', nullptr, 0, failure);
        return -1;
    }
    chips[address]->transmit(bytes, count);
    trace->record(name(), address, 'R', bytes, count, nullptr);
    return static_cast<ssize_t>(count);
}
