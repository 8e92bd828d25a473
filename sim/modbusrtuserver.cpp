#include "modbusrtuserver.h"

#include "models/pressurecontrollers.h"
#include "rtuwire.h"
#include "world.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <modbus/modbus.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>

namespace {

// Every request the program sends (read one register, write one register) is 8 bytes long.
constexpr int kRequestLength = 8;
constexpr int kWriteSingleRegister = 0x06;
// A frame ends with 3.5 characters of silence; a pseudo-terminal delivers a frame at once, so a
// partial frame left after this long is line noise and is dropped to regain the frame start.
constexpr auto kFrameGap = std::chrono::milliseconds(5);
constexpr int kPollMs = 20;
// The controllers' factory setting; used while the port has not been given a speed.
constexpr int kDefaultBaud = 19200;
constexpr int kMaxFrame = 260; // the longest Modbus RTU frame
// Exception reply: address, function with its high bit set, exception code, CRC.
constexpr uint8_t kExceptionFlag = 0x80;
constexpr uint8_t kSlaveDeviceFailure = 0x04;
constexpr int kExceptionLength = 5;

using Clock = std::chrono::steady_clock;

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

void ModbusRtuServer::serve()
{
    std::vector<uint8_t> pending;
    Clock::time_point lastByte = Clock::now();
    while (running) {
        pollfd watch {master, POLLIN, 0};
        const int ready = ::poll(&watch, 1, kPollMs);
        const Clock::time_point now = Clock::now();
        if (!pending.empty() && now - lastByte > kFrameGap) {
            trace("rx", pending.data(), static_cast<int>(pending.size()),
                  "incomplete frame dropped");
            pending.clear();
        }
        if (ready <= 0 || !(watch.revents & POLLIN))
            continue;
        uint8_t buffer[kMaxFrame];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        pending.insert(pending.end(), buffer, buffer + n);
        lastByte = now;
        while (pending.size() >= static_cast<size_t>(kRequestLength)) {
            handleFrame(pending.data(), kRequestLength);
            pending.erase(pending.begin(), pending.begin() + kRequestLength);
        }
    }
}

void ModbusRtuServer::handleFrame(const uint8_t *frame, int length)
{
    const Clock::time_point arrived = Clock::now();
    // libmodbus's modbus_reply() trusts the request's checksum (its receive path checks it, and
    // we do not use that path), so the check is ours: a controller ignores a corrupted frame.
    if (!rtuwire::hasValidCrc(frame, static_cast<size_t>(length))) {
        trace("rx", frame, length, "bad CRC, ignored");
        return;
    }
    const int address = frame[0];
    if (!PressureControllers::isAddress(address)) {
        trace("rx", frame, length, "no controller at this address");
        return;
    }
    PressureControllers::Reply mode = PressureControllers::Reply::Normal;
    int delayMs = 0;
    world.with<PressureControllers>([&](PressureControllers &controllers) {
        mode = controllers.replyMode(address);
        delayMs = controllers.replyDelayMs(address);
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

    // A pseudo-terminal moves bytes at once; the bus needs the request's and the reply's
    // characters on the wire before the reply is complete at the program's end.
    const long wireUs = rtuwire::wireTimeUs(length + static_cast<int>(replyLength), lineBaud());
    std::this_thread::sleep_until(arrived + std::chrono::microseconds(wireUs)
                                  + std::chrono::milliseconds(delayMs));
    if (::write(master, reply, static_cast<size_t>(replyLength)) != replyLength)
        note = "reply not written";
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
