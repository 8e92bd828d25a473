#include "modbusrtu.h"

#include <array>

namespace modbusrtu {

namespace {

constexpr uint16_t kCrcPolynomial = 0xA001; // 0x8005 bit-reversed
constexpr uint16_t kCrcStart = 0xFFFF;

// The classic byte-wise tables: entry i is the CRC register's change for index byte i, split
// into the byte that goes to the low half and the byte that becomes the high half.
struct CrcTables
{
    std::array<uint8_t, 256> low {};
    std::array<uint8_t, 256> high {};
};

constexpr CrcTables makeCrcTables()
{
    CrcTables tables;
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ kCrcPolynomial)
                            : static_cast<uint16_t>(crc >> 1);
        tables.low[i] = static_cast<uint8_t>(crc & 0xFF);
        tables.high[i] = static_cast<uint8_t>(crc >> 8);
    }
    return tables;
}

constexpr CrcTables kCrcTables = makeCrcTables();

void putRequest(uint8_t *frame, uint8_t address, uint8_t function, uint16_t reg, uint16_t data)
{
    frame[0] = address;
    frame[1] = function;
    frame[2] = static_cast<uint8_t>(reg >> 8);
    frame[3] = static_cast<uint8_t>(reg & 0xFF);
    frame[4] = static_cast<uint8_t>(data >> 8);
    frame[5] = static_cast<uint8_t>(data & 0xFF);
    frame[6] = 0;
    frame[7] = 0;
}

} // namespace

uint16_t crc16(const uint8_t *data, std::size_t length)
{
    uint8_t low = kCrcStart & 0xFF;
    uint8_t high = kCrcStart >> 8;
    for (std::size_t i = 0; i < length; ++i) {
        const uint8_t index = low ^ data[i];
        low = high ^ kCrcTables.low[index];
        high = kCrcTables.high[index];
    }
    return static_cast<uint16_t>(high << 8 | low);
}

uint8_t crcTableLow(uint8_t index)
{
    return kCrcTables.low[index];
}

uint8_t crcTableHigh(uint8_t index)
{
    return kCrcTables.high[index];
}

void buildReadRequest(uint8_t *frame, uint8_t address)
{
    putRequest(frame, address, kReadHoldingRegisters, kMeasuredValueRegister, 1);
}

void buildWriteRequest(uint8_t *frame, uint8_t address, uint16_t value)
{
    putRequest(frame, address, kWriteSingleRegister, kSetPointRegister, value);
}

void putCrc(uint8_t *frame, int length)
{
    const uint16_t crc = crc16(frame, static_cast<std::size_t>(length - kCrcLength));
    frame[length - 2] = static_cast<uint8_t>(crc & 0xFF);
    frame[length - 1] = static_cast<uint8_t>(crc >> 8);
}

bool responseComplete(int requestId, const uint8_t *response, int count)
{
    if (count >= kExceptionResponseLength && (response[1] & kExceptionFlag) != 0)
        return true;
    switch (static_cast<RequestKind>(requestId)) {
    case RequestKind::Read:
        return count >= kReadResponseLength;
    case RequestKind::Write:
        return count >= kWriteResponseLength;
    }
    return count >= kExceptionResponseLength;
}

const char *faultMessage(ResponseFault fault)
{
    switch (fault) {
    case ResponseFault::None:
        return "";
    case ResponseFault::WrongChannel:
        return "Wrong channel.";
    case ResponseFault::WrongFunction:
        return "Wrong function.";
    case ResponseFault::InvalidCrc:
        return "Invalid CRC.";
    case ResponseFault::WrongLength:
        return "Wrong length.";
    case ResponseFault::WrongByteCount:
        return "Wrong byte count.";
    case ResponseFault::WrongRegister:
        return "Wrong register.";
    case ResponseFault::InvalidRequestId:
        return "Invalid requestID.";
    }
    return "";
}

ResponseFault validateResponse(int requestId, const uint8_t *request, const uint8_t *response,
                               int count, uint16_t *value)
{
    // Bytes that never arrived read as 0, as in the exchange's cleared buffer.
    auto at = [&](int i) -> uint8_t {
        return i < count ? response[i] : 0;
    };
    if (at(0) != request[0])
        return ResponseFault::WrongChannel;
    if (at(1) != request[1])
        return ResponseFault::WrongFunction;
    if (count < kCrcLength + 2)
        return ResponseFault::InvalidCrc;
    const uint16_t crc = crc16(response, static_cast<std::size_t>(count - kCrcLength));
    if (response[count - 2] != (crc & 0xFF) || response[count - 1] != (crc >> 8))
        return ResponseFault::InvalidCrc;
    switch (static_cast<RequestKind>(requestId)) {
    case RequestKind::Read:
        if (response[2] != 2)
            return ResponseFault::WrongByteCount;
        if (count != kReadResponseLength)
            return ResponseFault::WrongLength;
        *value = static_cast<uint16_t>(response[3] << 8 | response[4]);
        return ResponseFault::None;
    case RequestKind::Write:
        if (response[2] != request[2] || response[3] != request[3])
            return ResponseFault::WrongRegister;
        if (count != kWriteResponseLength)
            return ResponseFault::WrongLength;
        return ResponseFault::None;
    }
    return ResponseFault::InvalidRequestId;
}

float percentOfFullScale(int mbar)
{
    return static_cast<float>(mbar) * 100.0f / static_cast<float>(kFullScaleMbar);
}

uint16_t rawFromPercent(float percent)
{
    const float raw = static_cast<float>(kFullScaleRaw) * percent / 100.0f;
    return static_cast<uint16_t>(static_cast<uint32_t>(raw) & 0xFFFF);
}

uint16_t mbarFromRaw(uint16_t raw)
{
    return static_cast<uint16_t>(raw >> kRawToMbarShift);
}

} // namespace modbusrtu
