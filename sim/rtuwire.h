#pragma once

#include <cstddef>
#include <cstdint>

// Facts of the simulated RS485 wire, kept apart from the server so they are tested alone.
namespace rtuwire {

// Modbus CRC-16 computed bit by bit from its definition (reflected polynomial 0xA001, start
// 0xFFFF). Deliberately not the program's table-driven code: the simulator checks the program's
// frames with an implementation that shares nothing with it.
uint16_t crc16(const uint8_t *data, std::size_t length);
bool hasValidCrc(const uint8_t *frame, std::size_t length);
void putCrc(uint8_t *frame, std::size_t length); // into the last two bytes, low byte first

// Bits per character on the bus: start, 8 data, even parity, stop.
constexpr int kBitsPerCharacter = 11;
// Line speed in baud of a termios speed constant; 0 when unknown.
int baudOf(unsigned int termiosSpeed);
bool isLineSpeed(int baud); // one of the speeds baudOf() knows
// Microseconds `bytes` characters take on the wire.
long wireTimeUs(int bytes, int baud);

// Modbus RTU framing by silence: a gap of more than 1.5 character times inside a frame breaks it,
// 3.5 character times of silence end it. Above 19200 baud the standard fixes them at 750 us and
// 1750 us, so that a slave's timers need not resolve ever shorter times.
long interCharacterLimitUs(int baud); // t1.5
long frameSilenceUs(int baud); // t3.5

// Microseconds on the monotonic clock: the one clock of the simulated wire.
int64_t nowUs();

} // namespace rtuwire
