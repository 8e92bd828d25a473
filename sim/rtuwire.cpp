#include "rtuwire.h"

#include <chrono>

#include <termios.h>

namespace rtuwire {

uint16_t crc16(const uint8_t *data, std::size_t length)
{
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

bool hasValidCrc(const uint8_t *frame, std::size_t length)
{
    if (length < 3)
        return false;
    const uint16_t crc = crc16(frame, length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

void putCrc(uint8_t *frame, std::size_t length)
{
    const uint16_t crc = crc16(frame, length - 2);
    frame[length - 2] = static_cast<uint8_t>(crc & 0xFF);
    frame[length - 1] = static_cast<uint8_t>(crc >> 8);
}

int baudOf(unsigned int termiosSpeed)
{
    switch (termiosSpeed) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

bool isLineSpeed(int baud)
{
    return baud == 9600 || baud == 19200 || baud == 38400 || baud == 57600 || baud == 115200;
}

long wireTimeUs(int bytes, int baud)
{
    if (baud <= 0)
        return 0;
    return static_cast<long>(bytes) * kBitsPerCharacter * 1000000L / baud;
}

long interCharacterLimitUs(int baud)
{
    constexpr long kFixedAbove19200Us = 750;
    if (baud > 19200)
        return kFixedAbove19200Us;
    return wireTimeUs(3, baud) / 2;
}

long frameSilenceUs(int baud)
{
    constexpr long kFixedAbove19200Us = 1750;
    if (baud > 19200)
        return kFixedAbove19200Us;
    return wireTimeUs(7, baud) / 2;
}

int64_t nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
}

} // namespace rtuwire
