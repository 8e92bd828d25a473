#pragma once

#include <cstddef>
#include <cstdint>

// A slave on a simulated I2C bus. The bus calls it from the program's device threads, so a
// chip guards the state it shares with its model's tick and readings with a lock of its own.
class I2cChip
{
public:
    virtual ~I2cChip() = default;
    // One write message addressed to the chip; false when the chip does not acknowledge.
    virtual bool receive(const uint8_t *bytes, size_t count) = 0;
    // One read message: the chip drives `count` bytes.
    virtual void transmit(uint8_t *bytes, size_t count) = 0;
};
