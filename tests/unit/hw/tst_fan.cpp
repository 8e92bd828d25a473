// The fan's duty on its PWM attribute: what reaches the file for each duty the window may send,
// and what a vanished LED driver does to a start.
#include "hw/fan.h"
#include "support/sandboxroot.h"

#include <QtTest>

namespace {

const QString kFanPwm = "/sys/class/leds/PWM<D>/brightness";

} // namespace

class TestFan : public QObject
{
    Q_OBJECT

private slots:
    void fanStart_dutyReachesFileOnlyWithinRange_data();
    void fanStart_dutyReachesFileOnlyWithinRange();
    void fanStop_writesZeroAfterRunning();
    void fanStart_driverGone_createsNoFile();
};

void TestFan::fanStart_dutyReachesFileOnlyWithinRange_data()
{
    QTest::addColumn<int>("duty");
    QTest::addColumn<QByteArray>("written");
    // A duty is three bytes, the digits padded with NULs; beyond 255 or below 0 nothing goes out
    // (a negative int would otherwise wrap to a huge unsigned duty).
    QTest::newRow("start duty") << 10 << QByteArray("10\0", 3);
    QTest::newRow("off") << 0 << QByteArray("0\0\0", 3);
    QTest::newRow("full") << 255 << QByteArray("255");
    QTest::newRow("one past full") << 256 << QByteArray();
    QTest::newRow("far past full") << 300 << QByteArray();
    QTest::newRow("negative") << -1 << QByteArray();
}

void TestFan::fanStart_dutyReachesFileOnlyWithinRange()
{
    QFETCH(int, duty);
    QFETCH(QByteArray, written);
    SandboxRoot sandbox;
    sandbox.write(kFanPwm, {});
    Fan fan;
    fan.fanStart(duty);
    QCOMPARE(sandbox.read(kFanPwm), written);
}

void TestFan::fanStop_writesZeroAfterRunning()
{
    SandboxRoot sandbox;
    sandbox.write(kFanPwm, {});
    Fan fan;
    fan.fanStart(10);
    fan.fanStop();
    // A sandbox file keeps every field; the attribute's value is the last one.
    QCOMPARE(sandbox.read(kFanPwm),
             QByteArray("10\0"
                        "0\0\0",
                        6));
}

void TestFan::fanStart_driverGone_createsNoFile()
{
    // Without the LED driver the attribute does not exist: the fan must not create a plain file
    // in its place (sysfs never lets a program create one; a file there would hide the fault).
    SandboxRoot sandbox;
    Fan fan;
    fan.fanStart(10);
    QVERIFY(!sandbox.exists(kFanPwm));
}

QTEST_GUILESS_MAIN(TestFan)
#include "tst_fan.moc"
