#pragma once

#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <termios.h>

// The RS485 link's settings as the link file gives them, and the terminal attributes they make
// of the port's. Plain values, apart from the port, so that both are checked without a device.
// Defaults are what a file without the key gives (a missing key counts as 0).
struct LinkConfig
{
    // termios_flags: how thoroughly the input flags are cleared.
    enum class InputFlags { Basic, Thorough, ThoroughNonCanonical };

    std::string portPath = "/dev/ttymxc0";
    speed_t lineSpeed = B19200;
    int openFlags = O_RDWR;
    // Start from all-zero attributes instead of the port's current ones.
    bool clearTermios = false;
    InputFlags inputFlags = InputFlags::Basic;
    bool canonicalMode = false;
    bool postProcess = false;
    bool hardwareFlowControl = false;
    cc_t vTime = 0;
    cc_t vMin = 0;
    // The kernel's RS485 mode of the UART.
    bool rs485Mode = false;
    // Both queues discarded before each request.
    bool flushBeforeRequest = false;
    // The program switches the half-duplex transceiver through GPIO 83 and 84.
    bool switchTransceiver = false;
    // The receiver comes on right after the request, not after the response delay.
    bool receiveRightAfterWrite = false;

    // The exchange's waits, in its order: transmit on to writing, writing to transmit off, the
    // response delay, then to the first read, after each read, after the end.
    int waitBeforeWriteUs = 0;
    int waitAfterWriteUs = 0;
    int responseDelayMs = 0;
    int waitBeforeReadUs = 0;
    int waitAfterReadUs = 0;
    int waitAtEndUs = 0;

    bool communicationLogs = false;
    bool crcLogs = false;
    bool parsingLogs = false;

    // The value of one key of the link file as an integer.
    using ValueOf = std::function<int(const std::string &key)>;

    // The settings from the file's values, every key asked once in the file's order; `report`
    // receives the lines that tell them (the values as the file has them).
    static LinkConfig read(const ValueOf &valueOf, std::vector<std::string> *report);

    // The port's attributes for this link, built from its current ones.
    termios terminalAttributes(const termios &current) const;
};
