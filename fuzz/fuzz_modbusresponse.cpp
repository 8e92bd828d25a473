// The pressure controllers' answers: any bytes off the serial line are judged without reading
// past what was received, and only a frame of the expected answer's shape is accepted.
#include "fuzzsupport.h"

#include "pressure/modbusrtu.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte picks the request (kind, channel, written value); the rest is the answer.
    if (size < 3)
        return 0;
    const bool read = (data[0] & 1) == 0;
    const uint8_t address = static_cast<uint8_t>(1 + (data[0] >> 1) % 3);
    const uint16_t written = static_cast<uint16_t>(data[1] << 8 | data[2]);
    uint8_t request[modbusrtu::kRequestLength] = {};
    if (read)
        modbusrtu::buildReadRequest(request, address);
    else
        modbusrtu::buildWriteRequest(request, address, written);
    modbusrtu::putCrc(request, modbusrtu::kRequestLength);

    // Exactly the received bytes on the heap: a read past them is caught by the address checker.
    const std::vector<uint8_t> response(data + 3, data + size);
    uint16_t value = 0xBEEF;
    const int requestId
            = static_cast<int>(read ? modbusrtu::RequestKind::Read : modbusrtu::RequestKind::Write);
    const modbusrtu::ResponseFault fault = modbusrtu::validateResponse(
            requestId, request, response.data(), static_cast<int>(response.size()), &value);
    if (fault != modbusrtu::ResponseFault::None) {
        if (std::strlen(modbusrtu::faultMessage(fault)) == 0)
            fuzzsupport::fail("a fault without a log text");
        return 0;
    }
    const size_t expected = read ? modbusrtu::kReadResponseLength : modbusrtu::kWriteResponseLength;
    if (response.size() != expected)
        fuzzsupport::fail("an answer of the wrong length accepted");
    if (modbusrtu::crc16(response.data(), response.size() - modbusrtu::kCrcLength)
        != (response[response.size() - 2] | response[response.size() - 1] << 8))
        fuzzsupport::fail("an answer with a bad checksum accepted");
    if (response[0] != address)
        fuzzsupport::fail("an answer from another channel accepted");
    if (read && value != (response[3] << 8 | response[4]))
        fuzzsupport::fail("the value read is not the value received");
    // The controllers echo a write; its value bytes are not compared, the register is.
    if (!read && std::memcmp(response.data(), request, 4) != 0)
        fuzzsupport::fail("a write answer for another register accepted");
    return 0;
}
