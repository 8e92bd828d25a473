#pragma once

#include <cstdint>
#include <vector>

// A Modbus RTU slave's receiver: characters become a frame once the line has been silent for
// 3.5 character times; a gap of more than 1.5 character times inside a frame, or a character
// the UART received damaged (parity or framing error), spoils the whole frame, which the slave
// then drops unanswered.
class RtuWireFramer
{
public:
    struct Frame
    {
        std::vector<uint8_t> bytes;
        bool broken = false;
        int64_t completeUs = 0; // when the silence that ends it ran out
    };

    explicit RtuWireFramer(int baud) : baud(baud) { }

    // Changing the speed starts afresh: what came at the old speed is no frame.
    void setBaud(int newBaud);
    int lineBaud() const { return baud; }

    void receive(int64_t startUs, int64_t endUs, uint8_t byte, bool intact);
    bool hasBytes() const { return !current.bytes.empty(); }
    // When the silence after the last character ends the frame; meaningful while hasBytes().
    int64_t silenceEndsUs() const;
    Frame take();

private:
    int baud;
    Frame current;
    int64_t lastEndUs = 0;
};
