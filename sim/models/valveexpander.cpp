#include "valveexpander.h"

namespace {

constexpr uint8_t kInputPort = 0;
constexpr uint8_t kOutputPort = 1;
constexpr uint8_t kPolarity = 2;
constexpr uint8_t kConfiguration = 3;
constexpr uint8_t kRegisterMask = 0x03;
constexpr uint8_t kAllOutputs = 0x00;

} // namespace

uint8_t ValveExpander::levels() const
{
    // Outputs drive their register bit; inputs are pulled high.
    const uint8_t inputs = registers[kConfiguration];
    return static_cast<uint8_t>((registers[kOutputPort] & ~inputs) | inputs);
}

uint8_t ValveExpander::valveMask() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return levels();
}

bool ValveExpander::driven() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return registers[kConfiguration] == kAllOutputs;
}

QList<Model::Reading> ValveExpander::readings() const
{
    std::lock_guard<std::mutex> lock(mutex);
    const uint8_t mask = levels();
    return {{"valve mask",
             QString("%1 (0x%2)%3")
                     .arg(mask, 8, 2, QChar('0'))
                     .arg(mask, 2, 16, QChar('0'))
                     .arg(registers[kConfiguration] == kAllOutputs ? ""
                                                                   : " pins not all outputs")}};
}

bool ValveExpander::receive(const uint8_t *bytes, size_t count)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (count == 0)
        return true;
    pointer = bytes[0] & kRegisterMask;
    // The register does not advance: further bytes overwrite the same one.
    for (size_t i = 1; i < count; ++i) {
        if (pointer != kInputPort)
            registers[pointer] = bytes[i];
    }
    return true;
}

void ValveExpander::transmit(uint8_t *bytes, size_t count)
{
    std::lock_guard<std::mutex> lock(mutex);
    uint8_t value = registers[pointer];
    if (pointer == kInputPort)
        value = static_cast<uint8_t>(levels() ^ registers[kPolarity]);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = value;
}
