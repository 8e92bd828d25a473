// The program's EPC driver against controllers served by pymodbus, a Modbus implementation that
// shares nothing with ours or with libmodbus: the link must not rest on a quirk of our own
// simulated server. pymodbus runs under Debian's interpreter (python3-pymodbus).
#include "platform/platform.h"
#include "pressure/epccontrol.h"
#include "support/consolecapture.h"
#include "support/sandboxroot.h"
#include "support/simulatedcontrollers.h"

#include <QtTest>

namespace {

constexpr const char *kDebianPython = "/usr/bin/python3";
constexpr int kServerStartMs = 15000;
// pymodbus answers from an asyncio loop in another process, some milliseconds after the request:
// the link file gives it a reading window of 20 + 10 x 5 ms. The wire's own timing is the
// simulated controllers' business; here only the protocol is at stake.
const QByteArray kLinkFile = "baudrate:\"1\"\nopening_flags:\"1\"\nclear_termios:\"1\"\n"
                             "termios_flags:\"1\"\nflush:\"1\"\nresp_delay:\"20\"\nwait_1:\"50\"\n"
                             "wait_2:\"3000\"\nwait_4:\"5000\"\nwait_5:\"50\"\n"
                             "read_immediately:\"1\"\nrs485_mode:\"1\"\nrtsctr_control:\"1\"\n"
                             "communication_logs:\"1\"\n";

QString scriptPath()
{
    return QFileInfo(QStringLiteral(__FILE__)).dir().filePath("pymodbus_controllers.py");
}

} // namespace

class TestPymodbusPeer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void epcControl_againstPymodbus_data();
    void epcControl_againstPymodbus();
};

void TestPymodbusPeer::initTestCase()
{
    qRegisterMetaType<uint16_t>("uint16_t");
    if (!QFileInfo::exists(kDebianPython))
        QFAIL("Debian's python3 with python3-pymodbus is needed (make deps installs it)");
}

void TestPymodbusPeer::epcControl_againstPymodbus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("failure"); // the message of each failing exchange, or none
    QTest::newRow("three controllers") << QStringList() << QString();
    QTest::newRow("controller 3 not there") << QStringList {"--silent", "3"} << "Wrong channel.";
    QTest::newRow("controller 2 on address 3")
            << QStringList {"--wrong-address", "2"} << "Wrong channel.";
}

void TestPymodbusPeer::epcControl_againstPymodbus()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, failure);
    QProcess server;
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start(kDebianPython, QStringList {scriptPath()} + arguments);
    QVERIFY2(server.waitForReadyRead(kServerStartMs), server.readAllStandardError().constData());
    const QString port = QString::fromUtf8(server.readLine()).trimmed();
    QVERIFY2(port.startsWith("/dev/pts/"), qPrintable(port));

    SandboxRoot sandbox;
    sandbox.write("/usr/share/vemla/resources/epc_config.inc", kLinkFile);
    for (const char *file : {"/sys/class/gpio/export", "/sys/class/gpio/gpio83/direction",
                             "/sys/class/gpio/gpio84/direction", "/sys/class/gpio/gpio83/value",
                             "/sys/class/gpio/gpio84/value"})
        sandbox.write(file, {});
    QVERIFY(QDir().mkpath(sandbox.file("/dev")));
    QVERIFY(QFile::link(port, sandbox.file("/dev/ttymxc0")));
    // The board's UART driver answers the RS485 requests the pseudo-terminal does not know.
    SimulatedBoard board;
    ConsoleCapture output;
    QList<int> values;
    QString taken; // the set-points pymodbus took
    int setConfirmations = 0;
    int readConfirmations = 0;
    int measuredFrom = 0;
    {
        EpcControl epc;
        QCOMPARE(epc.init(), 0);
        auto collect = [&](uint16_t v) {
            values << v;
        };
        connect(&epc, &EpcControl::setChannel_1_Value, this, collect);
        connect(&epc, &EpcControl::setChannel_2_Value, this, collect);
        connect(&epc, &EpcControl::setChannel_3_Value, this, collect);
        QSignalSpy setDone(&epc, &EpcControl::setPressureDone);
        QSignalSpy readDone(&epc, &EpcControl::readPressureDone);
        // pymodbus's asyncio server may still be opening its end: wait for its first set-point.
        for (int attempt = 0; attempt < 50 && !taken.contains("set 1 0\n"); ++attempt) {
            epc.setPressure(0, 0, 0);
            server.waitForReadyRead(100);
            taken += QString::fromUtf8(server.readAllStandardOutput());
        }
        QVERIFY2(taken.contains("set 1 0\n"), server.readAllStandardError().constData());
        setDone.clear();
        measuredFrom = static_cast<int>(output.text().size());
        epc.setPressure(1000, 500, 250);
        epc.readPressure(false);
        setConfirmations = setDone.count();
        readConfirmations = readDone.count();
    }
    QTest::qWait(200);
    taken += QString::fromUtf8(server.readAllStandardOutput());
    server.kill();
    server.waitForFinished();
    const QString text = QString::fromStdString(output.text()).mid(measuredFrom);
    if (failure.isEmpty()) {
        QVERIFY2(setConfirmations == 1 && readConfirmations == 1, qPrintable(text.right(3000)));
        // 100 mbar per address, as pymodbus holds them in the measured register.
        QCOMPARE(values, QList<int>({100, 200, 300}));
        QVERIFY2(taken.contains("set 1 16000\nset 2 8000\nset 3 4000\n"), qPrintable(taken));
    } else {
        QCOMPARE(setConfirmations, 0);
        QCOMPARE(readConfirmations, 0);
        QVERIFY(values.isEmpty());
        // One failed exchange in the set and one in the read; the other controllers answered.
        QVERIFY2(text.count(failure) == 2, qPrintable(text.right(3000)));
        QVERIFY2(taken.contains("set 1 16000\n"), qPrintable(taken));
    }
}

QTEST_GUILESS_MAIN(TestPymodbusPeer)
#include "tst_pymodbuspeer.moc"
