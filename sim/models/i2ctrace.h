#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include <QString>

// <root>/sim/i2c.trace: one line per transfer on any simulated bus,
// "i2c-2 0x38 W 3f" or "i2c-2 0x48 R 19 00", with " failed: <reason>" when it did not go through.
class I2cTrace
{
public:
    explicit I2cTrace(const QString &file);
    ~I2cTrace();
    I2cTrace(const I2cTrace &) = delete;
    I2cTrace &operator=(const I2cTrace &) = delete;

    void record(const QString &bus, int address, char direction, const uint8_t *bytes, size_t count,
                const char *failure);

    static QString line(const QString &bus, int address, char direction, const uint8_t *bytes,
                        size_t count, const char *failure);

private:
    std::mutex mutex;
    std::FILE *out = nullptr;
};
