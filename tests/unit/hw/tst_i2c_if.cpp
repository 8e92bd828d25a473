// The I2C gateway against scripted device nodes: open and slave-select failures, short
// transfers, and what the destructor releases.
#include "hw/i2c_if.h"
#include "support/fakedeviceio.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const std::string kBus = "/dev/i2c-2";
constexpr unsigned long kI2cSlave = 0x0703;
} // namespace

class TestI2cIf : public QObject
{
    Q_OBJECT

private slots:
    void openBus_failures_leaveUnusable_data();
    void openBus_failures_leaveUnusable();
    void transfers_shortOrFailed_signalOncePerCall_data();
    void transfers_shortOrFailed_signalOncePerCall();
};

void TestI2cIf::openBus_failures_leaveUnusable_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("releases");
    QTest::newRow("no bus name") << "null"
                                 << "I2C bus not defined." << false;
    QTest::newRow("missing node") << "open"
                                  << "Could not open bus named /dev/i2c-2. Error: No such file "
                                     "or directory"
                                  << false;
    QTest::newRow("slave busy") << "ioctl"
                                << "Could not select slave device.72 Error: Device or resource "
                                   "busy"
                                << true;
}

void TestI2cIf::openBus_failures_leaveUnusable()
{
    QFETCH(QString, failure);
    QFETCH(QString, message);
    QFETCH(bool, releases);
    FakeDeviceIo io;
    if (failure == "open")
        io.failOpen(kBus);
    if (failure == "ioctl")
        io.failIoctl(kI2cSlave, EBUSY);
    {
        I2C_IF bus;
        QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
        bus.openBus(failure == "null" ? nullptr : &kBus, 0x48);
        QVERIFY(!bus.isUsable());
        // A slave that cannot be selected keeps its descriptor until destruction.
        QCOMPARE(io.openDescriptors(), releases ? 1 : 0);
        if (releases)
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression("^Releasing file descriptor \\d+$"));
        QTest::ignoreMessage(QtDebugMsg, "I2C IF destructor ");
    }
    QCOMPARE(io.openDescriptors(), 0);
}

void TestI2cIf::transfers_shortOrFailed_signalOncePerCall_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("writeFailures");
    QTest::addColumn<int>("readFailures");
    QTest::addColumn<QByteArray>("buffer");
    QTest::newRow("all through") << "ok" << 0 << 0 << QByteArray("\x19\x80", 2);
    QTest::newRow("write takes one of two") << "short write" << 1 << 0 << QByteArray("\x19\x80", 2);
    QTest::newRow("write refused") << "failed write" << 1 << 0 << QByteArray("\x19\x80", 2);
    // Undelivered bytes keep what the caller put there.
    QTest::newRow("one byte arrives") << "short read" << 0 << 1 << QByteArray("\x19\xAA", 2);
    QTest::newRow("nothing arrives") << "empty read" << 0 << 1 << QByteArray("\xAA\xAA", 2);
}

void TestI2cIf::transfers_shortOrFailed_signalOncePerCall()
{
    QFETCH(QString, script);
    QFETCH(int, writeFailures);
    QFETCH(int, readFailures);
    QFETCH(QByteArray, buffer);
    FakeDeviceIo io;
    I2C_IF bus;
    bus.openBus(&kBus, 0x48);
    QSignalSpy writeFailed(&bus, &I2C_IF::i2cWriteFailed);
    QSignalSpy readFailed(&bus, &I2C_IF::i2cReadFailed);
    if (script == "short write")
        io.shortenNextWrites(kBus, 1, 1);
    if (script == "failed write")
        io.failNextWrites(kBus, 1);
    if (script == "short read")
        io.queueRead(kBus, QByteArray("\x19", 1));
    else if (script != "empty read")
        io.queueRead(kBus, QByteArray("\x19\x80", 2));
    if (writeFailures)
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^Failed to write data to I2C device \\(fd: \\d+\\)"
                                                "\\. Error: "));
    if (readFailures)
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^Failed to read data from I2C "
                                                "device\\. \\(fd: \\d+\\)\\. Error: "));
    const uint8_t command[] = {0x01, 0x05};
    QCOMPARE(bus.writeBytes(command, sizeof command), writeFailures == 0);
    uint8_t received[2] = {0xAA, 0xAA};
    QCOMPARE(bus.readBytes(received, sizeof received), readFailures == 0);
    QCOMPARE(writeFailed.count(), writeFailures);
    QCOMPARE(readFailed.count(), readFailures);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(received), 2), buffer);
}

QTEST_GUILESS_MAIN(TestI2cIf)
#include "tst_i2c_if.moc"
