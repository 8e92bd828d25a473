#include "epccontrol.h"

#include "confighandler.h"
#include "modbusrtu.h"
#include "platform/deviceio.h"
#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <thread>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <QDebug>
#include <QThread>

namespace {

// Time the transceiver needs to settle after its enable lines change.
constexpr int kTransceiverSettleUs = 10;
// Pause after every operation over the three controllers, so that they are not addressed
// back-to-back faster than they process.
constexpr unsigned long kOperationPauseMs = 100;
constexpr int kMaxReadAttempts = 10;
// Placeholder of a failed read; never emitted.
constexpr uint16_t kFailedReadValue = 170;
// The driver holds RTS for this long after the last bit so the line is not cut short.
constexpr __u32 kRtsDelayAfterSendMs = 100;
// The waits of an exchange time the half-duplex bus in microseconds; the kernel's default timer
// slack of 50 us would be added to every one of them.
constexpr unsigned long kTimerSlackNs = 1000;

void log(const std::string &text)
{
    std::cout << text << std::endl;
}

std::string errorText()
{
    return std::strerror(errno);
}

// The scheduler wakes a sleeping thread tens of microseconds late on a busy board, and an
// exchange has seven waits. So a wait sleeps only up to this much before its end and is timed
// out on the monotonic clock from there: some 100 us of processor time per wait, and every wait
// still lasts at least its configured time.
constexpr int kSpinUs = 100;

void waitUs(int microseconds)
{
    if (microseconds <= 0)
        return;
    const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
    if (microseconds > kSpinUs)
        QThread::usleep(static_cast<unsigned long>(microseconds - kSpinUs));
    while (std::chrono::steady_clock::now() < end) { }
}

// The sysfs attribute writes of the transceiver lines: append, one text, close, unchecked. They
// go through the device-I/O seam like the port's writes, so that a simulated wire sees both on
// one clock. A sysfs attribute exists or not: opening never creates one.
void writeAttribute(const char *path, const char *text)
{
    platform::DeviceIo &io = platform::deviceIo();
    const int file = io.open(platform::path(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (file < 0)
        return;
    [[maybe_unused]] const ssize_t written = io.write(file, text, std::strlen(text));
    io.close(file);
}

void printFrame(const uint8_t *frame, int length)
{
    for (int i = 0; i < length; ++i)
        std::printf("%x,", frame[i]);
    std::printf("\n");
    std::fflush(stdout);
}

const char *rs485State(const serial_rs485 &settings)
{
    return (settings.flags & SER_RS485_ENABLED) ? "RS485 enabled (set)"
                                                : "RS485 not enable (NOT set)";
}

} // namespace

EpcControl::EpcControl()
{
    writeAttribute(exportPath, "83");
    writeAttribute(gpio83DirectionPath, "out");
    writeAttribute(exportPath, "84");
    writeAttribute(gpio84DirectionPath, "out");
    readConfiguration();
}

EpcControl::~EpcControl()
{
    log("EpcControl destructor ");
    if (fd >= 0) {
        log("Closing file descriptor");
        closePort();
    }
}

void EpcControl::closePort()
{
    platform::deviceIo().close(fd);
    fd = -1;
}

void EpcControl::readConfiguration()
{
    ConfigHandler config(nullptr);
    config.readConfig(kConfigPath);
    std::vector<std::string> report;
    link = LinkConfig::read([&](const std::string &key) { return config.getValue(key); }, &report);
    for (const std::string &line : report)
        log(line);
}

int EpcControl::init()
{
    log("EpcControl::init() ");
    // init() runs first in the worker thread (and the slack is a per-thread setting).
    prctl(PR_SET_TIMERSLACK, kTimerSlackNs);
    platform::DeviceIo &io = platform::deviceIo();
    if (fd >= 0) {
        log("FD left open, Close and clean before new opening.");
        closePort();
    }
    auto finish = [](int result) {
        log("EpcControl init() done.");
        return result;
    };

    fd = io.open(platform::path(link.portPath).c_str(), link.openFlags);
    if (fd < 0) {
        log("Could not open port " + link.portPath + " Error: " + errorText());
        return finish(-1);
    }
    struct termios current
    {
    };
    if (io.tcgetattr(fd, &current) != 0) {
        log("Could not get previous terminal settings (Termios structure). Error: " + errorText());
        return finish(-1);
    }
    const struct termios settings = link.terminalAttributes(current);
    if (io.tcsetattr(fd, TCSANOW, &settings) != 0) {
        log("Error from tcsetattr Error (" + std::to_string(errno) + ") " + errorText());
        return finish(-1);
    }
    if (link.rs485Mode)
        configureRs485();
    // Waited for by the first request, in this thread: the window queues its requests right
    // behind init() and goes on.
    settledAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSettleAfterOpenMs);
    return finish(0);
}

void EpcControl::configureRs485()
{
    platform::DeviceIo &io = platform::deviceIo();
    log("Phase: RS485 configuration:");
    log("RS485 fd: " + std::to_string(fd));
    log(std::string("baudrate: ") + (link.lineSpeed == B19200 ? "19200" : "38400"));

    serial_rs485 rs485 {};
    if (io.ioctl(fd, TIOCGRS485, &rs485) < 0)
        log("Error reading ioctl port. Error (" + std::to_string(errno) + ") " + errorText());
    log(std::string("RS485 mode is ") + rs485State(rs485));

    rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND | SER_RS485_RX_DURING_TX;
    rs485.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND);
    rs485.delay_rts_before_send = 0;
    rs485.delay_rts_after_send = kRtsDelayAfterSendMs;
    if (io.ioctl(fd, TIOCSRS485, &rs485) < 0) {
        log("Could not configure /ev/ttymxc0. Error (" + std::to_string(errno) + ") "
            + errorText());
        closePort();
    } else {
        log("RS485 configuration for EPC done.");
    }
    log(std::string("RS485 mode is ") + rs485State(rs485));
}

void EpcControl::setTransceiver(Transceiver state)
{
    if (!link.switchTransceiver)
        return;
    // GPIO 83 enables the driver, GPIO 84 (active low) the receiver.
    const bool drive = state == Transceiver::Transmit;
    const bool listen = state == Transceiver::Receive;
    writeAttribute(gpio83ValuePath, drive ? "1" : "0");
    writeAttribute(gpio84ValuePath, listen ? "0" : "1");
    waitUs(kTransceiverSettleUs);
}

uint16_t EpcControl::calculateCRC(const uint8_t *data, uint8_t length)
{
    return modbusrtu::crc16(data, length);
}

void EpcControl::setPressure(int p1, int p2, int p3)
{
    const int mbar[3] = {p1, p2, p3};
    for (int i = 0; i < 3; ++i)
        setPercent[i] = modbusrtu::percentOfFullScale(mbar[i]);
    qDebug() << "EpcControl: Set(%): " << setPercent[0] << setPercent[1] << setPercent[2];
    for (int i = 0; i < 3; ++i)
        setResult[i] = setChannel(i + 1, setPercent[i]);
    QThread::msleep(kOperationPauseMs);
    if (setResult[0] != -1 && setResult[1] != -1 && setResult[2] != -1) {
        qDebug() << "EpcControl: Set: " << p1 << p2 << p3;
        emit setPressureDone();
    }
}

void EpcControl::resetAndSetPressure()
{
    init();
    QThread::msleep(kOperationPauseMs);
    sendStoredSetPoints();
}

void EpcControl::sendStoredSetPoints()
{
    for (int i = 0; i < 3; ++i)
        setResult[i] = setChannel(i + 1, setPercent[i]);
    QThread::msleep(kOperationPauseMs);
    if (setResult[0] != -1 && setResult[1] != -1 && setResult[2] != -1)
        emit setPressureDone();
}

int EpcControl::setChannel(int channel, float percent)
{
    if (!(percent >= 0.0f && percent <= 100.0f)) {
        qDebug() << "EpcControl: Invalid pressure value";
        return -1;
    }
    if (channel < 1 || channel > 3) {
        qDebug() << "EpcControl: Invalid channel";
        return -1;
    }
    const uint16_t raw = modbusrtu::rawFromPercent(percent);
    qDebug() << "EpcControl: channel:   " << channel << "Target pressure:  " << raw;
    uint8_t frame[modbusrtu::kRequestLength];
    modbusrtu::buildWriteRequest(frame, static_cast<uint8_t>(channel), raw);
    return sendRequest(static_cast<int>(modbusrtu::RequestKind::Write), frame,
                       modbusrtu::kRequestLength);
}

void EpcControl::readPressure(bool contReading)
{
    this->contReading = contReading;
    uint16_t mbar[3] = {0, 0, 0};
    int result[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        result[i] = readChannel(i + 1, &mbar[i]);
        if (result[i] == 0)
            mbar[i] = modbusrtu::mbarFromRaw(mbar[i]);
    }
    QThread::msleep(kOperationPauseMs);
    if (result[2] != 0)
        return;
    if (!contReading && result[0] == 0 && result[1] == 0) {
        emit setChannel_1_Value(mbar[0]);
        emit setChannel_2_Value(mbar[1]);
        emit setChannel_3_Value(mbar[2]);
        emit readPressureDone();
    }
}

void EpcControl::resetAndReadPressure()
{
    init();
    QThread::msleep(kOperationPauseMs);
    readPressure(contReading);
}

int EpcControl::readChannel(int channel, uint16_t *value)
{
    if (!value || channel < 1 || channel > 3) {
        log("EpcControl: Invalid params");
        return -1;
    }
    uint8_t frame[modbusrtu::kRequestLength];
    modbusrtu::buildReadRequest(frame, static_cast<uint8_t>(channel));
    if (sendRequest(static_cast<int>(modbusrtu::RequestKind::Read), frame,
                    modbusrtu::kRequestLength)
        != 0) {
        *value = kFailedReadValue;
        return -1;
    }
    *value = lastRaw[channel - 1];
    return 0;
}

int EpcControl::sendRequest(int requestID, uint8_t *frame, int length)
{
    platform::DeviceIo &io = platform::deviceIo();
    if (link.crcLogs)
        printFrame(frame, length);
    modbusrtu::putCrc(frame, length);
    if (link.crcLogs)
        printFrame(frame, length);
    const bool portOpen = fd >= 0;
    if (portOpen)
        std::this_thread::sleep_until(settledAt);
    if (link.flushBeforeRequest && portOpen)
        io.tcflush(fd, TCIOFLUSH);

    setTransceiver(Transceiver::Transmit);
    waitUs(link.waitBeforeWriteUs);
    ssize_t written = -1;
    if (portOpen)
        written = io.write(fd, frame, static_cast<size_t>(length));
    else
        errno = EBADF;
    if (written < length) {
        log("Error writing to serial port. Error: " + errorText());
        return -1;
    }
    if (link.communicationLogs)
        log("Write succesfull");

    uint8_t response[kResponseBufferSize];
    std::memset(response, 0, sizeof response);
    waitUs(link.waitAfterWriteUs);
    setTransceiver(link.receiveRightAfterWrite ? Transceiver::Receive : Transceiver::Idle);
    waitUs(link.responseDelayMs * 1000);
    if (!link.receiveRightAfterWrite)
        setTransceiver(Transceiver::Receive);
    waitUs(link.waitBeforeReadUs);

    int count = 0;
    int attempts = 0;
    int result = 0;
    for (;;) {
        const ssize_t n
                = io.read(fd, response + count, static_cast<size_t>(kResponseBufferSize - count));
        if (n < 0) {
            log("Error reading resp. Error: " + errorText() + " Count: " + std::to_string(count));
            result = -1;
            break;
        }
        ++attempts;
        count += static_cast<int>(n);
        waitUs(link.waitAfterReadUs);
        // The answer arrives character by character at the line speed: looking at it before it
        // is all in would fail a good answer.
        if (modbusrtu::responseComplete(requestID, response, count) || attempts >= kMaxReadAttempts)
            break;
    }
    setTransceiver(Transceiver::Idle);
    waitUs(link.waitAtEndUs);

    if (link.communicationLogs) {
        log("Attemps: " + std::to_string(attempts));
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                log("Response buffer[" + std::to_string(i) + "]: " + std::to_string(response[i]));
        } else {
            log("Receive buffer empty.");
        }
    }

    uint16_t value = 0;
    const modbusrtu::ResponseFault fault
            = modbusrtu::validateResponse(requestID, frame, response, count, &value);
    if (fault != modbusrtu::ResponseFault::None) {
        log(modbusrtu::faultMessage(fault));
        return -1;
    }
    if (requestID == static_cast<int>(modbusrtu::RequestKind::Read))
        lastRaw[frame[0] - 1] = value;
    if (link.parsingLogs)
        log("MESSAGE PARSED SUCCESFULLY");
    return result;
}
