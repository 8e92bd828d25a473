#pragma once

#include "i2cchip.h"
#include "sim/model.h"

#include <array>
#include <mutex>

// The 8-bit output expander behind the valves (0x1F on i2c-4). A write's first byte selects
// a register, the next byte is written to it: 0 input port (read only), 1 output port,
// 2 polarity inversion of the input port, 3 configuration (bit 1 = input, 0 = output). At
// power-on every pin is an input with the output register at 0xFF, so the pins float high
// through their pull-ups until the program configures them.
//
// Other models reach the pin levels with
//   world.with<ValveExpander>([&](ValveExpander &valves) { mask = valves.valveMask(); });
class ValveExpander : public Model, public I2cChip
{
public:
    static constexpr int kAddress = 0x1F;

    // The levels on the eight valve pins, bit n = pin n (1 = high).
    uint8_t valveMask() const;
    // Whether the program has made all eight pins outputs.
    bool driven() const;

    QString name() const override { return "Valve expander"; }
    void tick(int) override { }
    QList<Reading> readings() const override;

    bool receive(const uint8_t *bytes, size_t count) override;
    void transmit(uint8_t *bytes, size_t count) override;

private:
    uint8_t levels() const; // with the lock held

    mutable std::mutex mutex;
    std::array<uint8_t, 4> registers {0x00, 0xFF, 0x00, 0xFF};
    uint8_t pointer = 0;
};
