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
// Microseconds `bytes` characters take on the wire.
long wireTimeUs(int bytes, int baud);

} // namespace rtuwire
