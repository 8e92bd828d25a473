// Our Modbus code against libmodbus, an independent implementation, over a pseudo-terminal:
// a libmodbus client against the simulated controllers (whose answers libmodbus builds), and the
// program's EPC driver against them.
#include "pressure/epccontrol.h"
#include "pressure/modbusrtu.h"
#include "sim/modbusrtuserver.h"
#include "sim/models/pressurecontrollers.h"
#include "sim/rtuwire.h"
#include "sim/world.h"
#include "support/consolecapture.h"
#include "support/sandboxroot.h"
#include "support/simulatedcontrollers.h"

#include <cerrno>
#include <iostream>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <modbus/modbus.h>
#include <termios.h>
#include <unistd.h>

#include <QtTest>

namespace {

constexpr int kLinkBaud = 38400; // what the shipped link file selects
// Long enough for a line to settle after a set-point step (a few lag time constants).
constexpr int kSettleMs = 1500;

modbus_t *connectClient(const std::string &device)
{
    modbus_t *client = modbus_new_rtu(device.c_str(), kLinkBaud, 'E', 8, 1);
    if (client && modbus_connect(client) != 0) {
        modbus_free(client);
        return nullptr;
    }
    return client;
}

QString consoleText(const ConsoleCapture &capture)
{
    return QString::fromStdString(capture.text());
}

using LinkChanges = QMap<QString, int>;

// The shipped link file with some values changed (`key` -> value).
QByteArray shippedLinkFileWith(const LinkChanges &changes)
{
    QFile shipped(QStringLiteral(VEMLA_DATA_DIR) + "/epc_config.inc");
    if (!shipped.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(shipped.readAll());
    for (auto it = changes.begin(); it != changes.end(); ++it)
        text.replace(QRegularExpression("^" + it.key() + ":\"\\d+\"",
                                        QRegularExpression::MultilineOption),
                     QString("%1:\"%2\"").arg(it.key()).arg(it.value()));
    return text.toUtf8();
}

} // namespace

class TestModbusPeer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wireFacts_bitwiseCrcAgreesWithTables();
    void controllers_followSetPointWithinVessel();
    void libmodbusClient_readsAndWritesSimulatedControllers();
    void simulatedServer_ignoresCorruptedRequests();
    void epcControl_runsAgainstSimulatedControllers();
    void epcControl_strictWire_linkFileDecides_data();
    void epcControl_strictWire_linkFileDecides();
};

void TestModbusPeer::initTestCase()
{
    qRegisterMetaType<uint16_t>("uint16_t");
}

void TestModbusPeer::wireFacts_bitwiseCrcAgreesWithTables()
{
    const QByteArray digits("123456789");
    QCOMPARE(rtuwire::crc16(reinterpret_cast<const uint8_t *>(digits.constData()), 9),
             uint16_t(0x4B37));
    // The simulator's CRC and the program's share no code: they must agree on any frame.
    std::mt19937 random(5);
    for (int frame = 0; frame < 500; ++frame) {
        uint8_t bytes[64];
        const int length = 1 + static_cast<int>(random() % sizeof bytes);
        for (int i = 0; i < length; ++i)
            bytes[i] = static_cast<uint8_t>(random());
        QCOMPARE(rtuwire::crc16(bytes, length), modbusrtu::crc16(bytes, length));
    }
    QCOMPARE(rtuwire::wireTimeUs(8 + 7, 38400), 4296L);
    QCOMPARE(rtuwire::wireTimeUs(16, 19200), 9166L);
    QCOMPARE(rtuwire::baudOf(B115200), 115200);
}

void TestModbusPeer::controllers_followSetPointWithinVessel()
{
    SandboxRoot sandbox;
    // Raw 1750 on the pump's input is a vessel at 1000 mbar.
    sandbox.write("/sys/bus/iio/devices/iio:device0/in_voltage7_raw", "1750\n");
    PressureControllers controllers(sandbox.root());
    controllers.setSetPointRaw(1, 16000 + 8000); // 1500 mbar: more than the vessel holds
    controllers.setSetPointRaw(2, 8000); // 500 mbar
    QString reason;
    QVERIFY(controllers.setFault("epc-offset", {"3", "40"}, &reason));
    controllers.setSetPointRaw(3, 3200); // 200 mbar, settles at 240
    controllers.tick(100);
    QVERIFY(controllers.lineMbar(2) > 100 && controllers.lineMbar(2) < 450); // lagging
    for (int t = 0; t < 300; ++t)
        controllers.tick(5);
    QVERIFY(qAbs(controllers.lineMbar(1) - 1000) < 1);
    QVERIFY(qAbs(controllers.lineMbar(2) - 500) < 1);
    QVERIFY(qAbs(controllers.lineMbar(3) - 240) < 1);
    const int measured = controllers.measuredRaw(2) / 16;
    QVERIFY2(qAbs(measured - 500) <= 3, qPrintable(QString::number(measured)));
    QVERIFY(!controllers.setFault("epc-silent", {"4"}, &reason));
    QVERIFY(!controllers.setFault("epc-offset", {"1"}, &reason));
    controllers.clearFaults();
    for (int t = 0; t < 300; ++t)
        controllers.tick(5);
    QVERIFY(qAbs(controllers.lineMbar(3) - 200) < 1);
}

void TestModbusPeer::libmodbusClient_readsAndWritesSimulatedControllers()
{
    QTemporaryDir dir;
    SimulatedControllers controllers(dir.filePath("serial.trace"));
    QString error;
    QVERIFY2(controllers.server.start(&error), qPrintable(error));
    modbus_t *client = connectClient(controllers.server.devicePath());
    QVERIFY(client);
    for (int address = 1; address <= 3; ++address) {
        modbus_set_slave(client, address);
        QCOMPARE(modbus_write_register(client, 0x21, 4000 * address), 1);
    }
    QTest::qWait(kSettleMs);
    for (int address = 1; address <= 3; ++address) {
        modbus_set_slave(client, address);
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), 1);
        QVERIFY2(qAbs(value / 16 - 250 * address) <= 3, qPrintable(QString::number(value)));
        QCOMPARE(modbus_read_registers(client, 0x21, 1, &value), 1);
        QCOMPARE(int(value), 4000 * address);
    }

    // Faults as a client sees them. libmodbus drops a reply from another address while waiting.
    modbus_set_response_timeout(client, 0, 200000);
    uint16_t value = 0;
    QString reason;
    modbus_set_slave(client, 2);
    controllers.world.setFault("epc-bad-crc", {"2"}, &reason);
    QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), -1);
    QCOMPARE(errno, int(EMBBADCRC));
    modbus_flush(client);
    controllers.world.clearFaults();
    controllers.world.setFault("epc-silent", {"2"}, &reason);
    QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), -1);
    QCOMPARE(errno, ETIMEDOUT);
    controllers.world.clearFaults();
    controllers.world.setFault("epc-wrong-address", {"2"}, &reason);
    QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), -1);
    controllers.world.clearFaults();
    controllers.world.setFault("epc-exception", {"2"}, &reason);
    QCOMPARE(modbus_write_register(client, 0x21, 1234), -1);
    QCOMPARE(errno, int(EMBXSFAIL));
    controllers.world.clearFaults();
    QCOMPARE(modbus_read_registers(client, 0x21, 1, &value), 1);
    QCOMPARE(int(value), 8000); // the refused write changed nothing
    controllers.world.setFault("epc-partial", {"2"}, &reason);
    QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), -1);
    controllers.world.clearFaults();
    modbus_flush(client);
    // Late past the client's 200 ms, in time for one that waits a second.
    QVERIFY(controllers.world.setFault("epc-slow", {"2", "400"}, &reason));
    QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), -1);
    QCOMPARE(errno, ETIMEDOUT);
    QTest::qWait(500);
    modbus_flush(client);
    modbus_set_response_timeout(client, 1, 0);
    QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), 1);
    modbus_set_response_timeout(client, 0, 200000);
    controllers.world.clearFaults();
    modbus_flush(client);
    modbus_set_slave(client, 4); // no controller there
    QCOMPARE(modbus_read_registers(client, 0x20, 1, &value), -1);
    QCOMPARE(errno, ETIMEDOUT);
    // An address it does not hold: libmodbus answers with an exception.
    modbus_set_slave(client, 1);
    QCOMPARE(modbus_read_registers(client, 0x10, 1, &value), -1);
    QCOMPARE(errno, int(EMBXILADD));
    modbus_close(client);
    modbus_free(client);
    controllers.server.stop();
}

void TestModbusPeer::simulatedServer_ignoresCorruptedRequests()
{
    QTemporaryDir dir;
    World world;
    world.add<PressureControllers>(QString());
    ModbusRtuServer server(world, dir.filePath("serial.trace"));
    QString error;
    QVERIFY(server.start(&error));
    const int port = ::open(server.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(port >= 0);
    termios raw {};
    tcgetattr(port, &raw);
    cfmakeraw(&raw);
    tcsetattr(port, TCSANOW, &raw);
    uint8_t frame[8];
    modbusrtu::buildReadRequest(frame, 1);
    modbusrtu::putCrc(frame, 8);
    frame[7] ^= 0x01;
    QCOMPARE(::write(port, frame, 8), ssize_t(8));
    // A stray byte, then a good frame after a pause: the partial frame is dropped, the good one
    // answered.
    QCOMPARE(::write(port, "\x55", 1), ssize_t(1));
    QTest::qWait(50);
    frame[7] ^= 0x01;
    QCOMPARE(::write(port, frame, 8), ssize_t(8));
    QTest::qWait(50);
    // One answer: the corrupted request and the stray byte had none.
    uint8_t answer[32];
    QCOMPARE(::read(port, answer, sizeof answer), ssize_t(7));
    QCOMPARE(int(answer[0]), 1);
    QVERIFY(rtuwire::hasValidCrc(answer, 7));
    ::close(port);
    server.stop();
}

void TestModbusPeer::epcControl_runsAgainstSimulatedControllers()
{
    SandboxRoot sandbox;
    SimulatedEpcLink link(sandbox);
    QString error;
    QVERIFY2(link.start(&error), qPrintable(error));

    ConsoleCapture output;
    {
        EpcControl epc;
        QCOMPARE(epc.init(), 0);
        QVERIFY(consoleText(output).contains("RS485 configuration for EPC done."));
        QList<int> values;
        auto collect = [&](uint16_t v) {
            values << v;
        };
        connect(&epc, &EpcControl::setChannel_1_Value, this, collect);
        connect(&epc, &EpcControl::setChannel_2_Value, this, collect);
        connect(&epc, &EpcControl::setChannel_3_Value, this, collect);
        QSignalSpy setDone(&epc, &EpcControl::setPressureDone);
        QSignalSpy readDone(&epc, &EpcControl::readPressureDone);

        // As the window's watchdog would: a busy machine can make the real-time wire lose one.
        epc.setPressure(1000, 500, 0);
        for (int repeat = 0; repeat < 2 && setDone.isEmpty(); ++repeat)
            epc.resetAndSetPressure();
        QCOMPARE(setDone.count(), 1);
        QTest::qWait(kSettleMs);
        epc.readPressure(false);
        for (int repeat = 0; repeat < 2 && readDone.isEmpty(); ++repeat)
            epc.resetAndReadPressure();
        QCOMPARE(readDone.count(), 1);
        QCOMPARE(values.size(), 3);
        QVERIFY2(qAbs(values[0] - 1000) <= 3 && qAbs(values[1] - 500) <= 3 && values[2] <= 3,
                 qPrintable(QString("%1 %2 %3").arg(values[0]).arg(values[1]).arg(values[2])));

        struct Case
        {
            const char *fault;
            const char *message;
        };
        for (const Case &c :
             {Case {"epc-silent", "Wrong channel."}, Case {"epc-bad-crc", "Invalid CRC."},
              Case {"epc-wrong-address", "Wrong channel."}}) {
            QString reason;
            QVERIFY(link.world.setFault(c.fault, {"3"}, &reason));
            const int before = consoleText(output).count(c.message);
            epc.readPressure(false);
            QCOMPARE(readDone.count(), 1);
            QVERIFY2(consoleText(output).count(c.message) >= before + 1, c.fault);
            link.world.clearFaults();
        }
        // The watchdog's recovery reopens the port and the cycle reports again.
        for (int repeat = 0; repeat < 3 && readDone.count() < 2; ++repeat)
            epc.resetAndReadPressure();
        QCOMPARE(readDone.count(), 2);
        QVERIFY(consoleText(output).contains("FD left open, Close and clean before new opening."));
        QVERIFY2(!consoleText(output).contains("Error from tcsetattr"),
                 qPrintable(consoleText(output)));
    }
    link.server.stop();
}

void TestModbusPeer::epcControl_strictWire_linkFileDecides_data()
{
    using Changes = LinkChanges;
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<bool>("completes");
    QTest::addColumn<QString>("traced"); // in the bus trace
    QTest::addColumn<QString>("untraced"); // never in it
    QTest::newRow("shipped link file") << Changes() << QStringList() << true << "tx 03 03 02"
                                       << "driver was off";
    // write() returns with the frame in the kernel's buffer; the driver goes off at once. (A
    // request can still get out whole when the machine holds the program up for 2.3 ms.)
    QTest::newRow("driver off right after writing")
            << Changes {{"wait_2", 0}} << QStringList() << false
            << "left the board while its driver was off" << QString();
    // The answers start some 7 ms after the request and are sent; the receiver only comes on
    // at 9 ms.
    QTest::newRow("receiver on only after the response delay")
            << Changes {{"read_immediately", 0}, {"resp_delay", 6}} << QStringList() << false
            << "tx 01 06 00 21 3E 80"
            << "driver was off";
    QTest::newRow("controllers at another speed")
            << Changes() << QStringList {"epc-baud", "19200"} << false << "broken frame"
            << "tx 01 06";
    QTest::newRow("program at another speed")
            << Changes {{"baudrate", 2}} << QStringList() << false << "broken frame"
            << "tx 01 06";
    // Controller 2 answers long after the exchange gave up; 3 is answered in its time.
    QTest::newRow("one slow controller") << Changes() << QStringList {"epc-slow", "2", "40"}
                                         << false << "tx 03 03 02" << QString();
}

void TestModbusPeer::epcControl_strictWire_linkFileDecides()
{
    QFETCH(LinkChanges, changes);
    QFETCH(QStringList, fault);
    QFETCH(bool, completes);
    QFETCH(QString, traced);
    QFETCH(QString, untraced);
    SandboxRoot sandbox;
    sandbox.write("/usr/share/vemla/resources/epc_config.inc",
                  shippedLinkFileWith(changes) + "communication_logs:\"1\"\n");
    SimulatedEpcLink link(sandbox);
    QString error;
    QVERIFY2(link.start(&error), qPrintable(error));
    if (!fault.isEmpty())
        QVERIFY(link.world.setFault(fault.first(), fault.mid(1), &error));
    ConsoleCapture output;
    {
        EpcControl epc;
        QCOMPARE(epc.init(), 0);
        QSignalSpy setDone(&epc, &EpcControl::setPressureDone);
        QSignalSpy readDone(&epc, &EpcControl::readPressureDone);
        epc.setPressure(1000, 500, 250);
        // The wire runs in real time: on a machine busy with other work an exchange can be
        // late enough to lose its answer. The window's watchdog then repeats it; so do we.
        for (int repeat = 0; completes && repeat < 2 && setDone.isEmpty(); ++repeat)
            epc.resetAndSetPressure();
        epc.readPressure(false);
        for (int repeat = 0; completes && repeat < 2 && readDone.isEmpty(); ++repeat)
            epc.resetAndReadPressure();
        QVERIFY2(setDone.count() == (completes ? 1 : 0) && readDone.count() == (completes ? 1 : 0),
                 qPrintable(consoleText(output).right(2000)));
    }
    link.server.stop();
    const QByteArray trace = sandbox.read("/sim/serial.trace");
    QVERIFY2(trace.contains(traced.toUtf8()), trace.right(2000).constData());
    if (!untraced.isEmpty())
        QVERIFY2(!trace.contains(untraced.toUtf8()), trace.right(2000).constData());
}

QTEST_MAIN(TestModbusPeer)
#include "tst_modbuspeer.moc"
