// The EPC link driver against scripted device nodes: set-up, exchanges, validation, recovery.
#include "platform/platform.h"
#include "pressure/epccontrol.h"
#include "pressure/modbusrtu.h"
#include "support/consolecapture.h"
#include "support/fakedeviceio.h"
#include "support/sandboxroot.h"

#include <chrono>
#include <iostream>
#include <sstream>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <QtTest>

namespace {

const char *const kConfig = "/usr/share/vemla/resources/epc_config.inc";

QByteArray withCrc(const QByteArray &frame)
{
    QByteArray full = frame + QByteArray(2, '\0');
    modbusrtu::putCrc(reinterpret_cast<uint8_t *>(full.data()), full.size());
    return full;
}

QByteArray readAnswer(int address, uint16_t raw)
{
    QByteArray frame;
    frame.append(static_cast<char>(address)).append('\x03').append('\x02');
    frame.append(static_cast<char>(raw >> 8)).append(static_cast<char>(raw & 0xFF));
    return withCrc(frame);
}

QByteArray writeFrame(int address, uint16_t raw)
{
    uint8_t frame[8];
    modbusrtu::buildWriteRequest(frame, static_cast<uint8_t>(address), raw);
    modbusrtu::putCrc(frame, 8);
    return QByteArray(reinterpret_cast<const char *>(frame), 8);
}

QByteArray readFrame(int address)
{
    uint8_t frame[8];
    modbusrtu::buildReadRequest(frame, static_cast<uint8_t>(address));
    modbusrtu::putCrc(frame, 8);
    return QByteArray(reinterpret_cast<const char *>(frame), 8);
}

// What the driver wrote to a sysfs attribute through the device-I/O seam.
QByteArray attribute(const FakeDeviceIo &io, const char *path)
{
    return io.written(platform::path(path));
}

QString consoleText(const ConsoleCapture &capture)
{
    return QString::fromStdString(capture.text());
}

QStringList consoleLines(const ConsoleCapture &capture)
{
    return consoleText(capture).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestEpcControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init_missingConfiguration_givesSafeDefaults();
    void init_configurationSelectsLink_data();
    void init_configurationSelectsLink();
    void init_rs485PhaseReopenAndFailures();
    void setPressure_writesRawSetPointsAndConfirms();
    void readPressure_emitsMbarInLineOrder();
    void exchange_badResponse_failsWithoutSignal_data();
    void exchange_badResponse_failsWithoutSignal();
    void exchange_answerInPieces_readUntilWhole_data();
    void exchange_answerInPieces_readUntilWhole();
    void resetOperations_reopenAndRepeatLastRequest();
    void transceiver_switchesThroughGpio83And84_data();
    void transceiver_switchesThroughGpio83And84();
    void exchange_honoursConfiguredWaits();
    void firstRequest_waitsForThePortToSettle();
    void port_descriptorZero_isAnOpenPort();

private:
    std::string port() const { return platform::path("/dev/ttymxc0"); }
};

void TestEpcControl::initTestCase()
{
    qRegisterMetaType<uint16_t>("uint16_t");
}

void TestEpcControl::init_missingConfiguration_givesSafeDefaults()
{
    SandboxRoot sandbox;
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    QCOMPARE(epc.init(), 0);
    QCOMPARE(io.lastOpenFlags(port()), O_RDWR);
    termios settings {};
    QVERIFY(io.lastTermios(port(), &settings));
    QCOMPARE(cfgetospeed(&settings), speed_t(B19200));
    QCOMPARE(cfgetispeed(&settings), speed_t(B19200));
    QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(settings.c_cflag & PARENB);
    QVERIFY(!(settings.c_cflag & (PARODD | CSTOPB | CRTSCTS)));
    QVERIFY(settings.c_cflag & (CREAD | CLOCAL));
    QVERIFY(!(settings.c_lflag & (ICANON | ECHO | ISIG)));
    QVERIFY(!(settings.c_oflag & OPOST));
    QCOMPARE(int(settings.c_cc[VMIN]), 0);
    QCOMPARE(int(settings.c_cc[VTIME]), 0);
    QVERIFY(io.ioctls().empty()); // no RS485 mode
    QVERIFY(consoleText(output).contains("Port:\t\t/dev/ttymx0 (EPC RS485)\n"));
    QVERIFY(consoleText(output).contains("Baudrate:\t19200\n"));
    QVERIFY(consoleText(output).contains("rtsctr control:\t\t0\n"));
    QCOMPARE(consoleLines(output).last(), QString("EpcControl init() done."));
    // The transceiver lines are exported and made outputs, but never switched.
    QCOMPARE(attribute(io, "/sys/class/gpio/export"), QByteArray("8384"));
    QCOMPARE(attribute(io, "/sys/class/gpio/gpio83/direction"), QByteArray("out"));
    io.queueRead(port(), readAnswer(1, 16));
    epc.readPressure(true);
    QVERIFY(attribute(io, "/sys/class/gpio/gpio83/value").isEmpty());
    QVERIFY(attribute(io, "/sys/class/gpio/gpio84/value").isEmpty());
}

void TestEpcControl::init_configurationSelectsLink_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("openFlags");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("cflagSet");
    QTest::addColumn<int>("lflagSet");
    QTest::addColumn<int>("lflagClear");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("115200 baud, RS485 phase says 38400")
            << QByteArray("baudrate:\"2\"\nrs485_mode:\"1\"\n") << "/dev/ttymxc0" << O_RDWR
            << int(B115200) << 0 << 0 << 0 << "baudrate: 38400";
    QTest::newRow("console port") << QByteArray("port:\"1\"\n") << "/dev/ttymxc1" << O_RDWR
                                  << int(B19200) << 0 << 0 << 0
                                  << "Port:\t\t/dev/ttymxc1 (Serial console)";
    QTest::newRow("non-blocking") << QByteArray("opening_flags:\"3\"\n") << "/dev/ttymxc0"
                                  << (O_RDWR | O_NOCTTY | O_NONBLOCK) << int(B19200) << 0 << 0 << 0
                                  << "Opening_flags:\t3";
}

void TestEpcControl::init_configurationSelectsLink()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, device);
    QFETCH(int, openFlags);
    QFETCH(int, speed);
    QFETCH(int, cflagSet);
    QFETCH(int, lflagSet);
    QFETCH(int, lflagClear);
    QFETCH(QString, logLine);
    SandboxRoot sandbox;
    sandbox.write(kConfig, config);
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    QCOMPARE(epc.init(), 0);
    const std::string opened = platform::path(device.toStdString());
    QCOMPARE(io.openCount(opened), 1);
    QCOMPARE(io.lastOpenFlags(opened), openFlags);
    termios settings {};
    QVERIFY(io.lastTermios(opened, &settings));
    QCOMPARE(int(cfgetospeed(&settings)), speed);
    QCOMPARE(int(settings.c_cflag & tcflag_t(cflagSet)), cflagSet);
    QCOMPARE(int(settings.c_lflag & tcflag_t(lflagSet)), lflagSet);
    QCOMPARE(int(settings.c_lflag & tcflag_t(lflagClear)), 0);
    QVERIFY2(consoleLines(output).contains(logLine), qPrintable(consoleText(output)));
}

void TestEpcControl::init_rs485PhaseReopenAndFailures()
{
    SandboxRoot sandbox;
    sandbox.write(kConfig, "rs485_mode:\"1\"\n");
    FakeDeviceIo io;
    {
        ConsoleCapture output;
        EpcControl epc;
        QCOMPARE(epc.init(), 0);
        const std::vector<FakeDeviceIo::Ioctl> calls = io.ioctls();
        QCOMPARE(int(calls.size()), 2);
        QCOMPARE(calls[0].request, static_cast<unsigned long>(TIOCGRS485));
        QCOMPARE(calls[1].request, static_cast<unsigned long>(TIOCSRS485));
        QVERIFY(consoleLines(output).contains("RS485 mode is RS485 not enable (NOT set)"));
        QVERIFY(consoleLines(output).contains("RS485 configuration for EPC done."));
        QVERIFY(consoleLines(output).contains("RS485 mode is RS485 enabled (set)"));
        QVERIFY(!consoleText(output).contains("FD left open"));
        QCOMPARE(epc.init(), 0);
        QVERIFY(consoleLines(output).contains("FD left open, Close and clean before new opening."));
        QCOMPARE(io.openCount(port()), 2);
        QCOMPARE(io.openDescriptors(), 1);
    }
    QCOMPARE(io.openDescriptors(), 0); // the destructor closes the port

    io.failIoctl(TIOCSRS485, ENOTTY);
    {
        ConsoleCapture output;
        EpcControl epc;
        QCOMPARE(epc.init(), 0);
        QVERIFY(consoleText(output).contains("Could not configure /ev/ttymxc0. Error (25) "));
        QCOMPARE(io.openDescriptors(), 0);
        QCOMPARE(consoleLines(output).last(), QString("EpcControl init() done."));
        // The exchanges on the closed port fail without touching any descriptor.
        epc.readPressure(false);
        QCOMPARE(consoleText(output).count(
                         "Error writing to serial port. Error: Bad file descriptor"),
                 3);
        QCOMPARE(io.strayCalls(), 0);
    }

    io.failOpen(port());
    ConsoleCapture output;
    EpcControl epc;
    QSignalSpy done(&epc, &EpcControl::setPressureDone);
    QCOMPARE(epc.init(), -1);
    QVERIFY(consoleLines(output).contains(
            "Could not open port /dev/ttymxc0 Error: No such file or directory"));
    QCOMPARE(consoleLines(output).last(), QString("EpcControl init() done."));
    epc.setPressure(100, 100, 100);
    QCOMPARE(consoleText(output).count("Error writing to serial port. Error: "), 3);
    QCOMPARE(done.count(), 0);
}

void TestEpcControl::setPressure_writesRawSetPointsAndConfirms()
{
    SandboxRoot sandbox;
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    epc.init();
    QSignalSpy done(&epc, &EpcControl::setPressureDone);
    io.queueRead(port(), writeFrame(1, 16000));
    io.queueRead(port(), writeFrame(2, 0));
    io.queueRead(port(), writeFrame(3, 32000));
    epc.setPressure(1000, 0, 2000);
    std::vector<QByteArray> frames = io.writes(port());
    QCOMPARE(int(frames.size()), 3);
    QCOMPARE(frames[0], writeFrame(1, 16000));
    QCOMPARE(frames[1], writeFrame(2, 0));
    QCOMPARE(frames[2], writeFrame(3, 32000));
    QCOMPARE(done.count(), 1);

    // 2001 mbar is 100.05 %: line 1 is refused, lines 2 and 3 are still written, no confirmation.
    io.queueRead(port(), writeFrame(2, 8000));
    io.queueRead(port(), writeFrame(3, 0));
    QTest::ignoreMessage(QtDebugMsg, "EpcControl: Invalid pressure value");
    epc.setPressure(2001, 500, 0);
    frames = io.writes(port());
    QCOMPARE(int(frames.size()), 5);
    QCOMPARE(frames[3], writeFrame(2, 8000));
    QCOMPARE(frames[4], writeFrame(3, 0));
    QCOMPARE(done.count(), 1);
    epc.setPressure(-1, 0, 0);
    QCOMPARE(int(io.writes(port()).size()), 7);
    QCOMPARE(done.count(), 1);
}

void TestEpcControl::readPressure_emitsMbarInLineOrder()
{
    SandboxRoot sandbox;
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    epc.init();
    QStringList events;
    connect(&epc, &EpcControl::setChannel_1_Value, this,
            [&](uint16_t v) { events << QString("1:%1").arg(v); });
    connect(&epc, &EpcControl::setChannel_2_Value, this,
            [&](uint16_t v) { events << QString("2:%1").arg(v); });
    connect(&epc, &EpcControl::setChannel_3_Value, this,
            [&](uint16_t v) { events << QString("3:%1").arg(v); });
    connect(&epc, &EpcControl::readPressureDone, this, [&] { events << "done"; });
    io.queueRead(port(), readAnswer(1, 16000));
    // A response arriving in two pieces is put together.
    io.queueRead(port(), readAnswer(2, 32000).left(3));
    io.queueRead(port(), readAnswer(2, 32000).mid(3));
    io.queueRead(port(), readAnswer(3, 15));
    epc.readPressure(false);
    QCOMPARE(events, QStringList({"1:1000", "2:2000", "3:0", "done"}));
    const std::vector<QByteArray> frames = io.writes(port());
    QCOMPARE(int(frames.size()), 3);
    QCOMPARE(frames[1], QByteArray::fromHex("02030020000185F3"));

    // The closing read of a cycle: all three lines are read, nothing is reported.
    events.clear();
    for (int address = 1; address <= 3; ++address)
        io.queueRead(port(), readAnswer(address, 1600));
    epc.readPressure(true);
    QCOMPARE(int(io.writes(port()).size()), 6);
    QVERIFY(events.isEmpty());
}

void TestEpcControl::exchange_badResponse_failsWithoutSignal_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    QByteArray badLow = readAnswer(3, 1600);
    badLow[5] = static_cast<char>(badLow[5] ^ 0x10);
    QTest::newRow("no answer") << QByteArray() << "Wrong channel.";
    QTest::newRow("other address") << readAnswer(2, 1600) << "Wrong channel.";
    QTest::newRow("exception reply") << withCrc(QByteArray::fromHex("038302")) << "Wrong function.";
    QTest::newRow("bad CRC") << badLow << "Invalid CRC.";
    QTest::newRow("short") << QByteArray::fromHex("030302") << "Invalid CRC.";
    QTest::newRow("byte count 4") << withCrc(QByteArray::fromHex("03030406400000"))
                                  << "Wrong byte count.";
    QTest::newRow("more than the buffer")
            << QByteArray::fromHex("0303") + QByteArray(300, '\x11') << "Invalid CRC.";
}

void TestEpcControl::exchange_badResponse_failsWithoutSignal()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    SandboxRoot sandbox;
    sandbox.write(kConfig, "communication_logs:\"1\"\n");
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    epc.init();
    QSignalSpy done(&epc, &EpcControl::readPressureDone);
    QSignalSpy line1(&epc, &EpcControl::setChannel_1_Value);
    io.queueRead(port(), readAnswer(1, 1600));
    io.queueRead(port(), readAnswer(2, 1600));
    if (!answer.isEmpty())
        io.queueRead(port(), answer);
    epc.readPressure(false);
    QVERIFY2(consoleLines(output).contains(message), qPrintable(consoleText(output)));
    QCOMPARE(done.count(), 0);
    QCOMPARE(line1.count(), 0);
    if (answer.isEmpty()) {
        QVERIFY(consoleLines(output).contains("Attemps: 10"));
        QVERIFY(consoleLines(output).contains("Receive buffer empty."));
    }
    // Never more than the buffer's 100 bytes in one exchange.
    QVERIFY(!consoleText(output).contains("Response buffer[100]"));

    // The link stays usable: the next cycle reports again.
    for (int address = 1; address <= 3; ++address)
        io.queueRead(port(), readAnswer(address, 1600));
    if (answer.size() > EpcControl::kResponseBufferSize)
        return; // the flood is still being drained, as on a real line
    epc.readPressure(false);
    QCOMPARE(done.count(), 1);
    QCOMPARE(line1.takeFirst().at(0).value<uint16_t>(), uint16_t(100));
}

void TestEpcControl::exchange_answerInPieces_readUntilWhole_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<QList<int>>("pieces");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("attempts");
    // A UART hands over what has arrived so far: at 38400 baud a character every 286 us.
    QTest::newRow("read answer, 5 then 2") << false << QList<int> {5, 2} << QString() << 2;
    QTest::newRow("read answer by the character")
            << false << QList<int> {1, 1, 1, 1, 1, 1, 1} << QString() << 7;
    QTest::newRow("write echo, 5 then 3") << true << QList<int> {5, 3} << QString() << 2;
    QTest::newRow("write echo, 7 then 1") << true << QList<int> {7, 1} << QString() << 2;
    QTest::newRow("exception, done at its five bytes")
            << false << QList<int> {5} << QString("Wrong function.") << 1;
}

void TestEpcControl::exchange_answerInPieces_readUntilWhole()
{
    QFETCH(bool, write);
    QFETCH(QList<int>, pieces);
    QFETCH(QString, message);
    QFETCH(int, attempts);
    SandboxRoot sandbox;
    sandbox.write(kConfig, "communication_logs:\"1\"\n");
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    epc.init();
    QSignalSpy setDone(&epc, &EpcControl::setPressureDone);
    QSignalSpy readDone(&epc, &EpcControl::readPressureDone);
    for (int address = 1; address <= 3; ++address) {
        QByteArray answer = write ? writeFrame(address, 8000) : readAnswer(address, 8000);
        if (!message.isEmpty())
            answer = withCrc(QByteArray(1, static_cast<char>(address))
                             + QByteArray::fromHex("8304"));
        for (int size : pieces) {
            io.queueRead(port(), answer.left(size));
            answer.remove(0, size);
        }
    }
    if (write) {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Set"));
        epc.setPressure(500, 500, 500);
    } else {
        epc.readPressure(false);
    }
    QCOMPARE(consoleLines(output).count("Attemps: " + QString::number(attempts)), 3);
    if (message.isEmpty()) {
        QCOMPARE((write ? setDone : readDone).count(), 1);
    } else {
        QVERIFY(consoleLines(output).contains(message));
        QCOMPARE(readDone.count(), 0);
    }
}

void TestEpcControl::resetOperations_reopenAndRepeatLastRequest()
{
    SandboxRoot sandbox;
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    epc.init();
    QSignalSpy setDone(&epc, &EpcControl::setPressureDone);
    QSignalSpy readDone(&epc, &EpcControl::readPressureDone);
    epc.setPressure(1000, 500, 250); // no answers: not confirmed
    QCOMPARE(setDone.count(), 0);
    io.queueRead(port(), writeFrame(1, 16000));
    io.queueRead(port(), writeFrame(2, 8000));
    io.queueRead(port(), writeFrame(3, 4000));
    epc.resetAndSetPressure();
    QCOMPARE(io.openCount(port()), 2);
    QCOMPARE(setDone.count(), 1);
    std::vector<QByteArray> frames = io.writes(port());
    QCOMPARE(frames.back(), writeFrame(3, 4000));

    epc.readPressure(false); // no answers
    QCOMPARE(readDone.count(), 0);
    for (int address = 1; address <= 3; ++address)
        io.queueRead(port(), readAnswer(address, 800));
    epc.resetAndReadPressure();
    QCOMPARE(io.openCount(port()), 3);
    QCOMPARE(readDone.count(), 1);
    QCOMPARE(io.openDescriptors(), 1);
    QCOMPARE(io.writes(port()).back(), readFrame(3));

    // The stored flag of the last request is repeated: a closing read stays silent.
    for (int address = 1; address <= 3; ++address)
        io.queueRead(port(), readAnswer(address, 800));
    epc.readPressure(true);
    for (int address = 1; address <= 3; ++address)
        io.queueRead(port(), readAnswer(address, 800));
    epc.resetAndReadPressure();
    QCOMPARE(readDone.count(), 1);
}

void TestEpcControl::transceiver_switchesThroughGpio83And84_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("gpio83");
    QTest::addColumn<QByteArray>("gpio84");
    // transmit (1,1), receive (0,0), idle (0,1)
    QTest::newRow("receiver on right after writing")
            << QByteArray("rtsctr_control:\"1\"\nread_immediately:\"1\"\n") << QByteArray("100")
            << QByteArray("101");
    QTest::newRow("idle during the response delay")
            << QByteArray("rtsctr_control:\"1\"\n") << QByteArray("1000") << QByteArray("1101");
}

void TestEpcControl::transceiver_switchesThroughGpio83And84()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, gpio83);
    QFETCH(QByteArray, gpio84);
    SandboxRoot sandbox;
    sandbox.write(kConfig, config);
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    epc.init();
    QVERIFY(attribute(io, "/sys/class/gpio/gpio83/value").isEmpty()); // first driven by an exchange
    io.queueRead(port(), readAnswer(1, 0));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Set"));
    epc.setPressure(0, 0, 0);
    QCOMPARE(attribute(io, "/sys/class/gpio/gpio83/value").left(gpio83.size()), gpio83);
    QCOMPARE(attribute(io, "/sys/class/gpio/gpio84/value").left(gpio84.size()), gpio84);
    QCOMPARE(attribute(io, "/sys/class/gpio/gpio83/value").size(), 3 * gpio83.size());
    // Each level is its own open, write, close, as a sysfs attribute takes it.
    QCOMPARE(int(io.writes(platform::path("/sys/class/gpio/gpio84/value")).size()),
             3 * gpio84.size());
}

void TestEpcControl::exchange_honoursConfiguredWaits()
{
    SandboxRoot sandbox;
    sandbox.write(kConfig, "resp_delay:\"20\"\nwait_2:\"5000\"\n");
    FakeDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    epc.init();
    for (int address = 1; address <= 3; ++address)
        io.queueRead(port(), readAnswer(address, 800));
    QElapsedTimer clock;
    clock.start();
    epc.readPressure(false);
    // Three exchanges of 5 ms + 20 ms before their first read, then the 100 ms pause.
    QVERIFY(clock.elapsed() >= 3 * 25 + 100);
}

void TestEpcControl::firstRequest_waitsForThePortToSettle()
{
    // When the port was set up and when the link first touched it again.
    class TimedDeviceIo : public FakeDeviceIo
    {
    public:
        int tcsetattr(int fd, int when, const struct termios *settings) override
        {
            setUp = std::chrono::steady_clock::now();
            firstUse = {};
            return FakeDeviceIo::tcsetattr(fd, when, settings);
        }
        int tcflush(int fd, int queue) override
        {
            used();
            return FakeDeviceIo::tcflush(fd, queue);
        }
        ssize_t write(int fd, const void *buffer, size_t count) override
        {
            used();
            return FakeDeviceIo::write(fd, buffer, count);
        }
        void used()
        {
            if (setUp != std::chrono::steady_clock::time_point()
                && firstUse == decltype(firstUse)())
                firstUse = std::chrono::steady_clock::now();
        }
        std::chrono::steady_clock::time_point setUp;
        std::chrono::steady_clock::time_point firstUse;
    };

    SandboxRoot sandbox;
    // The transceiver switched and the queues flushed, as shipped: all of it comes after the wait.
    sandbox.write(kConfig, "rtsctr_control:\"1\"\nflush:\"1\"\n");
    TimedDeviceIo io;
    ConsoleCapture output;
    EpcControl epc;
    QSignalSpy done(&epc, &EpcControl::readPressureDone);
    QCOMPARE(epc.init(), 0);
    for (int address = 1; address <= 3; ++address)
        io.queueRead(port(), readAnswer(address, 800));
    epc.readPressure(false);
    QCOMPARE(done.count(), 1);
    QVERIFY(io.firstUse - io.setUp >= std::chrono::milliseconds(EpcControl::kSettleAfterOpenMs));
}

void TestEpcControl::port_descriptorZero_isAnOpenPort()
{
    SandboxRoot sandbox;
    FakeDeviceIo io;
    ConsoleCapture output;
    {
        EpcControl epc;
        QSignalSpy done(&epc, &EpcControl::readPressureDone);
        // Started with standard input closed, the program gets descriptor 0 for the port.
        io.giveDescriptorsFrom(0);
        QCOMPARE(epc.init(), 0);
        for (int address = 1; address <= 3; ++address)
            io.queueRead(port(), readAnswer(address, 800));
        epc.readPressure(false);
        QCOMPARE(int(io.writes(port()).size()), 3);
        QCOMPARE(done.count(), 1);
        QVERIFY(!consoleText(output).contains("Error writing"));

        // Reopening closes descriptor 0 first rather than leaking it.
        QCOMPARE(epc.init(), 0);
        QVERIFY(consoleLines(output).contains("FD left open, Close and clean before new opening."));
        QCOMPARE(io.openDescriptors(), 1);
    }
    QCOMPARE(io.openDescriptors(), 0);
    QCOMPARE(io.strayCalls(), 0);
}

QTEST_GUILESS_MAIN(TestEpcControl)
#include "tst_epccontrol.moc"
