#include "rtuwireframer.h"

#include "rtuwire.h"

#include <utility>

void RtuWireFramer::setBaud(int newBaud)
{
    if (newBaud == baud)
        return;
    baud = newBaud;
    current = Frame();
}

void RtuWireFramer::receive(int64_t startUs, int64_t endUs, uint8_t byte, bool intact)
{
    if (!current.bytes.empty() && startUs - lastEndUs > rtuwire::interCharacterLimitUs(baud))
        current.broken = true;
    current.bytes.push_back(byte);
    if (!intact)
        current.broken = true;
    lastEndUs = endUs;
}

int64_t RtuWireFramer::silenceEndsUs() const
{
    return lastEndUs + rtuwire::frameSilenceUs(baud);
}

RtuWireFramer::Frame RtuWireFramer::take()
{
    Frame frame = std::move(current);
    frame.completeUs = silenceEndsUs();
    current = Frame();
    return frame;
}
