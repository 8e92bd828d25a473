#pragma once

#include <cstddef>
#include <cstdint>

// The pure part of the pressure controllers' Modbus RTU protocol: frames, checksum, validation of
// a response and the conversions between millibar and the controllers' raw units. No I/O here.
namespace modbusrtu {

constexpr uint8_t kReadHoldingRegisters = 0x03;
constexpr uint8_t kWriteSingleRegister = 0x06;
// The controllers' registers: measured value and set-point.
constexpr uint16_t kMeasuredValueRegister = 0x0020;
constexpr uint16_t kSetPointRegister = 0x0021;

// Both requests are address, function, two register bytes, two data bytes and the CRC.
constexpr int kRequestLength = 8;
constexpr int kReadResponseLength = 7; // address, function, byte count 2, value, CRC
constexpr int kWriteResponseLength = 8; // the request echoed
constexpr int kCrcLength = 2;
constexpr int kExceptionResponseLength = 5; // address, function | 0x80, exception code, CRC
constexpr uint8_t kExceptionFlag = 0x80;

// The controllers span 0 ... 32000 raw for 0 ... 100 % of a full scale of 2000 mbar per line.
constexpr uint16_t kFullScaleRaw = 32000;
constexpr int kFullScaleMbar = 2000;
// Measured raw to mbar is a shift: 32000 / 2000 = 16.
constexpr int kRawToMbarShift = 4;

// Modbus CRC-16 (reflected polynomial 0xA001, start 0xFFFF, no final XOR) of `length` bytes, as
// the standard's two 256-entry tables compute it. Sent low byte first.
uint16_t crc16(const uint8_t *data, std::size_t length);
// The two tables, exposed for their known entries to be checked.
uint8_t crcTableLow(uint8_t index);
uint8_t crcTableHigh(uint8_t index);

// Requests with the two CRC bytes left 0 for the exchange to fill in.
void buildReadRequest(uint8_t *frame, uint8_t address);
void buildWriteRequest(uint8_t *frame, uint8_t address, uint16_t value);
// Puts the CRC of the first length - 2 bytes into the last two, low byte first.
void putCrc(uint8_t *frame, int length);

enum class RequestKind { Read = 4, Write = 5 };

enum class ResponseFault {
    None,
    WrongChannel,
    WrongFunction,
    InvalidCrc,
    WrongLength, // a frame whose CRC holds but whose length is not that of the expected answer
    WrongByteCount,
    WrongRegister,
    InvalidRequestId,
};

// Whether `count` received bytes hold all of the answer to a request of this kind: an exception
// (function code with its high bit set) once its five bytes are in, any other answer once the
// expected answer's length is in. An unknown kind is complete at the shortest answer.
bool responseComplete(int requestId, const uint8_t *response, int count);

// The log text of a fault ("Wrong channel." ...); empty for None.
const char *faultMessage(ResponseFault fault);

// Checks `count` received bytes against the request they answer, in the controllers' order:
// address, function, CRC, then the kind's own fields and the length. A good read answer stores its
// value in *value. Never looks beyond `count` bytes.
ResponseFault validateResponse(int requestId, const uint8_t *request, const uint8_t *response,
                               int count, uint16_t *value);

// Set-point conversion in single precision, as the controllers' percent scale is defined.
float percentOfFullScale(int mbar);
// Raw set-point of a percentage, truncated; the caller has checked 0 ... 100.
uint16_t rawFromPercent(float percent);
uint16_t mbarFromRaw(uint16_t raw);

} // namespace modbusrtu
