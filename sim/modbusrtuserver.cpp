#include "modbusrtuserver.h"

#include "models/pressurecontrollers.h"
#include "rtuwire.h"
#include "rtuwireframer.h"
#include "rtuwireline.h"
#include "world.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <modbus/modbus.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>

namespace {

constexpr int kWriteSingleRegister = 0x06;
// Both requests the controllers implement (read one register, write one) are 8 bytes long;
// anything else is not a request of theirs.
constexpr int kRequestLength = 8;
// With nothing on its way the wire thread still looks for a stop now and then.
constexpr int kIdlePollMs = 20;
// The controllers' factory setting; used while the port has not been given a speed.
constexpr int kDefaultBaud = 19200;
constexpr int kMaxFrame = 260; // the longest Modbus RTU frame
// Exception reply: address, function with its high bit set, exception code, CRC.
constexpr uint8_t kExceptionFlag = 0x80;
constexpr uint8_t kSlaveDeviceFailure = 0x04;
constexpr int kExceptionLength = 5;
// A character lasts 95 us at 115200 baud: the wire thread is woken that finely.
constexpr unsigned long kTimerSlackNs = 1000;

} // namespace

ModbusRtuServer::ModbusRtuServer(World &world, const QString &traceFile)
    : world(world), traceFile(traceFile)
{ }

ModbusRtuServer::~ModbusRtuServer()
{
    stop();
}

bool ModbusRtuServer::start(QString *error)
{
    master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128] = {};
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0
        || ptsname_r(master, name, sizeof name) != 0) {
        *error = QString("cannot create the pseudo-terminal of the EPC bus: ")
                + std::strerror(errno);
        return false;
    }
    slavePath = name;
    // Held open so that the master side stays readable while the program closes and reopens
    // the port, as a UART's wires stay connected.
    heldSlave = ::open(name, O_RDWR | O_NOCTTY);
    if (heldSlave < 0) {
        *error = QString("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    termios raw {};
    if (tcgetattr(heldSlave, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(heldSlave, TCSANOW, &raw);
    }

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        *error = QString("cannot create the reply capture: ") + std::strerror(errno);
        return false;
    }
    captureRead = pair[0];
    captureWrite = pair[1];
    fcntl(captureRead, F_SETFL, O_NONBLOCK);
    line = std::make_shared<RtuWireLine>();
    if (line->activityFd() < 0) {
        *error = QString("cannot create the wire's wake-up: ") + std::strerror(errno);
        return false;
    }

    // libmodbus builds the replies, and 3.1.6 takes the reply's address from the request, so one
    // RTU context serves all three controllers. It is never connected: its "socket" is the
    // capture, from which the server sends the reply with the wire's timing.
    context = modbus_new_rtu("/dev/null", kDefaultBaud, 'E', 8, 1);
    mapping = modbus_mapping_new_start_address(0, 0, 0, 0, PressureControllers::kMeasuredRegister,
                                               2, 0, 0);
    if (!context || !mapping) {
        *error = "cannot set up libmodbus";
        return false;
    }
    modbus_set_socket(context, captureWrite);

    traceOut = std::fopen(QFile::encodeName(traceFile).constData(), "a");
    if (traceOut) {
        setvbuf(traceOut, nullptr, _IOLBF, 0);
        std::fprintf(traceOut, "# EPC bus on %s, %s\n", name,
                     qPrintable(QDateTime::currentDateTime().toString(Qt::ISODateWithMs)));
    }
    running = true;
    thread = std::thread([this] {
        // Named so that the benchmarks can tell the simulated hardware's CPU use from the
        // program's.
        pthread_setname_np(pthread_self(), "sim-modbus");
        serve();
    });
    return true;
}

void ModbusRtuServer::stop()
{
    running = false;
    if (thread.joinable())
        thread.join();
    if (mapping)
        modbus_mapping_free(mapping);
    if (context)
        modbus_free(context); // never connected: closes nothing
    mapping = nullptr;
    context = nullptr;
    for (int *fd : {&captureRead, &captureWrite, &heldSlave, &master}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    if (traceOut)
        std::fclose(traceOut);
    traceOut = nullptr;
}

int ModbusRtuServer::lineBaud() const
{
    // The master side reports the speed the program gave the port.
    termios settings {};
    if (tcgetattr(master, &settings) != 0)
        return kDefaultBaud;
    const int baud = rtuwire::baudOf(cfgetospeed(&settings));
    return baud > 0 ? baud : kDefaultBaud;
}

int ModbusRtuServer::controllersBaud()
{
    int baud = PressureControllers::kDefaultBaud;
    world.with<PressureControllers>(
            [&](PressureControllers &controllers) { baud = controllers.lineBaud(); });
    return baud;
}

void ModbusRtuServer::serve()
{
    prctl(PR_SET_TIMERSLACK, kTimerSlackNs);
    RtuWireFramer framer(controllersBaud());
    while (running) {
        runWire(framer);
        int64_t next = line->nextEndUs();
        if (framer.hasBytes())
            next = std::min(next, framer.silenceEndsUs());
        timespec timeout {0, kIdlePollMs * 1000000L};
        if (next != INT64_MAX) {
            const int64_t waitUs
                    = std::clamp<int64_t>(next - line->now(), 0, int64_t(kIdlePollMs) * 1000);
            timeout = {static_cast<time_t>(waitUs / 1000000),
                       static_cast<long>(waitUs % 1000000) * 1000};
        }
        pollfd watch[2] = {{master, POLLIN, 0}, {line->activityFd(), POLLIN, 0}};
        if (::ppoll(watch, 2, &timeout, nullptr) <= 0)
            continue;
        if (watch[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(line->activityFd(), &count, sizeof count);
        }
        if (watch[0].revents & POLLIN) {
            uint8_t buffer[kMaxFrame];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                line->clientWrite(buffer, static_cast<size_t>(n), lineBaud());
        }
    }
}

// Settles the characters whose stop bit is past: the controllers take in what the board put on
// the bus, the board's receiver what it heard; a frame whose closing silence has run out is
// answered.
void ModbusRtuServer::runWire(RtuWireFramer &framer)
{
    const int baud = controllersBaud();
    framer.setBaud(baud);
    const int boardBaud = line->boardBaud();
    std::vector<uint8_t> heard;
    std::vector<uint8_t> cut;
    for (const RtuWireLine::Character &c : line->settle()) {
        const bool boardSide = c.source <= RtuWireLine::kBoard;
        if (boardSide && !c.onBus)
            cut.push_back(c.byte);
        if (boardSide && c.onBus) {
            if (framer.hasBytes() && c.startUs >= framer.silenceEndsUs())
                completeFrame(framer);
            // A character sent at another speed is no character to the controllers' UARTs.
            framer.receive(c.startUs, c.endUs, c.byte, c.intact && c.baud == baud);
        }
        if (c.boardHears)
            heard.push_back(c.intact && c.baud == boardBaud ? c.byte : 0);
    }
    if (!cut.empty())
        trace("tx", cut.data(), static_cast<int>(cut.size()),
              "left the board while its driver was off: not on the bus");
    if (!heard.empty()
        && ::write(master, heard.data(), heard.size()) != static_cast<ssize_t>(heard.size()))
        trace("rx", heard.data(), static_cast<int>(heard.size()), "not passed to the board");
    if (framer.hasBytes() && line->now() >= framer.silenceEndsUs()
        && !line->boardCharacterStartsBefore(framer.silenceEndsUs()))
        completeFrame(framer);
}

void ModbusRtuServer::completeFrame(RtuWireFramer &framer)
{
    const RtuWireFramer::Frame frame = framer.take();
    const int length = static_cast<int>(frame.bytes.size());
    if (frame.broken) {
        trace("rx", frame.bytes.data(), length,
              "broken frame (a gap inside it or a damaged character), ignored");
        return;
    }
    handleFrame(frame.bytes.data(), length, frame.completeUs, framer.lineBaud());
}

void ModbusRtuServer::handleFrame(const uint8_t *frame, int length, int64_t completeUs, int baud)
{
    // libmodbus's modbus_reply() trusts the request's checksum (its receive path checks it, and
    // we do not use that path), so the check is ours: a controller ignores a corrupted frame.
    if (!rtuwire::hasValidCrc(frame, static_cast<size_t>(length))) {
        trace("rx", frame, length, "bad CRC, ignored");
        return;
    }
    if (length != kRequestLength) {
        trace("rx", frame, length, "not a request the controllers know, ignored");
        return;
    }
    const int address = frame[0];
    if (!PressureControllers::isAddress(address)) {
        trace("rx", frame, length, "no controller at this address");
        return;
    }
    PressureControllers::Reply mode = PressureControllers::Reply::Normal;
    int delayUs = 0;
    world.with<PressureControllers>([&](PressureControllers &controllers) {
        mode = controllers.replyMode(address);
        delayUs = controllers.replyDelayUs(address);
        mapping->tab_registers[0] = controllers.measuredRaw(address);
        mapping->tab_registers[1] = controllers.setPointRaw(address);
    });
    if (mode == PressureControllers::Reply::Silent) {
        trace("rx", frame, length, "controller silent");
        return;
    }
    trace("rx", frame, length);

    if (modbus_reply(context, frame, length, mapping) < 0) {
        trace("rx", frame, length, "libmodbus could not reply");
        return;
    }
    uint8_t reply[kMaxFrame];
    ssize_t replyLength = ::read(captureRead, reply, sizeof reply);
    if (replyLength <= 0)
        return;
    // A controller in failure refuses the request: nothing is applied.
    if (mode == PressureControllers::Reply::Exception) {
        reply[1] = static_cast<uint8_t>(frame[1] | kExceptionFlag);
        reply[2] = kSlaveDeviceFailure;
        replyLength = kExceptionLength;
        rtuwire::putCrc(reply, kExceptionLength);
    } else if (frame[1] == kWriteSingleRegister && reply[1] == kWriteSingleRegister) {
        const uint16_t setPoint = mapping->tab_registers[1];
        world.with<PressureControllers>([&](PressureControllers &controllers) {
            controllers.setSetPointRaw(address, setPoint);
        });
    }

    const char *note = nullptr;
    if (mode == PressureControllers::Reply::BadCrc) {
        reply[replyLength - 1] ^= 0xFF;
        note = "fault: bad CRC";
    } else if (mode == PressureControllers::Reply::WrongAddress) {
        reply[0] = static_cast<uint8_t>(address % PressureControllers::kControllers + 1);
        rtuwire::putCrc(reply, static_cast<size_t>(replyLength));
        note = "fault: wrong address";
    } else if (mode == PressureControllers::Reply::Exception) {
        note = "fault: exception 04";
    } else if (mode == PressureControllers::Reply::Partial) {
        replyLength /= 2;
        note = "fault: partial frame";
    } else if (mode == PressureControllers::Reply::Slow) {
        note = "fault: slow reply";
    }
    // The answer leaves after the controller's processing delay, character by character at its
    // line speed; the board hears it only if its transceiver lets it.
    line->controllerWrite(address, reply, static_cast<size_t>(replyLength), baud,
                          completeUs + delayUs);
    trace("tx", reply, static_cast<int>(replyLength), note);
}

void ModbusRtuServer::trace(const char *what, const uint8_t *frame, int length, const char *note)
{
    if (!traceOut)
        return;
    const QString time = QDateTime::currentDateTime().toString("hh:mm:ss.zzz");
    std::fprintf(traceOut, "%s %s", qPrintable(time), what);
    for (int i = 0; i < length; ++i)
        std::fprintf(traceOut, " %02X", frame[i]);
    if (note)
        std::fprintf(traceOut, "  (%s)", note);
    std::fprintf(traceOut, "\n");
    // Line by line: a test or an engineer reads it while the server runs.
    std::fflush(traceOut);
}
