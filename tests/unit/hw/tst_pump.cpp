// The pump's periodic check and its lines, on sandbox sysfs files the test writes.
#include "hw/pump.h"
#include "support/sandboxroot.h"

#include <QtTest>

namespace {

const QString kSwitch = "/sys/class/gpio/gpio39/value";
const QString kSensor = "/sys/bus/iio/devices/iio:device0/in_voltage7_raw";
const QString kMotor = "/sys/class/gpio/gpio89/value";
const QString kSecond = "/sys/class/gpio/gpio149/value";
const QString kRelease = "/sys/class/gpio/gpio150/value";

// What the pump wrote to a GPIO value file, one 4-byte field each, NULs stripped.
QList<QByteArray> fieldsOf(const SandboxRoot &sandbox, const QString &file)
{
    QList<QByteArray> fields;
    const QByteArray bytes = sandbox.read(file);
    for (int i = 0; i + 4 <= bytes.size(); i += 4) {
        QByteArray field = bytes.mid(i, 4);
        fields << field.left(field.indexOf('\0') < 0 ? 4 : field.indexOf('\0'));
    }
    return fields;
}

void setInputs(const SandboxRoot &sandbox, int raw, int switchValue)
{
    sandbox.write(kSensor, QByteArray::number(raw) + '\n');
    sandbox.write(kSwitch, QByteArray::number(switchValue) + '\n');
}

} // namespace

class TestPump : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pressureFromRaw_offsetAndScale_data();
    void pressureFromRaw_offsetAndScale();
    void check_thresholdsAndHysteresis_data();
    void check_thresholdsAndHysteresis();
    void enable_nearlyFullWithSwitch_setsFlagOnly();
    void enableAndDisable_driveLinesInOrder();
    void motor_leftHighByStartUp_neverRunsUnasked();
};

void TestPump::init()
{
    qRegisterMetaType<uint16_t>("uint16_t");
}

void TestPump::pressureFromRaw_offsetAndScale_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("mbar");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("1250") << 1250 << 0;
    QTest::newRow("1251") << 1251 << 2;
    QTest::newRow("2749") << 2749 << 2998;
    QTest::newRow("4095") << 4095 << 5690;
}

void TestPump::pressureFromRaw_offsetAndScale()
{
    QFETCH(int, raw);
    QFETCH(int, mbar);
    QCOMPARE(int(Pump::pressureFromRaw(uint16_t(raw))), mbar);
}

void TestPump::check_thresholdsAndHysteresis_data()
{
    QTest::addColumn<bool>("pumpOn");
    QTest::addColumn<bool>("autoStart");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("switchValue");
    QTest::addColumn<bool>("pumpOnAfter");
    QTest::addColumn<bool>("autoStartAfter");
    QTest::newRow("off, 2749 starts") << false << true << 2749 << 0 << true << true;
    QTest::newRow("off, 2750 waits") << false << true << 2750 << 0 << false << true;
    QTest::newRow("off, no auto start") << false << false << 1300 << 0 << false << false;
    QTest::newRow("on, 4000 keeps running") << true << true << 4000 << 0 << true << true;
    QTest::newRow("on, 4001 stops") << true << true << 4001 << 0 << false << true;
    QTest::newRow("on, switch stops") << true << false << 3000 << 1 << false << false;
    QTest::newRow("off, switch and low: restarts") << false << true << 2000 << 1 << true << true;
    QTest::newRow("off, switch and 3000: stays") << false << true << 3000 << 1 << false << true;
    QTest::newRow("raw 0, switch: stop, no auto") << true << true << 0 << 1 << false << false;
    // Also what missing files give: no sensor, switch open.
    QTest::newRow("raw 0, no switch: nothing") << true << true << 0 << 0 << true << true;
    QTest::newRow("raw 0, off: auto stays") << false << true << 0 << 1 << false << true;
}

void TestPump::check_thresholdsAndHysteresis()
{
    QFETCH(bool, pumpOn);
    QFETCH(bool, autoStart);
    QFETCH(int, raw);
    QFETCH(int, switchValue);
    QFETCH(bool, pumpOnAfter);
    QFETCH(bool, autoStartAfter);
    SandboxRoot sandbox;
    Pump pump;
    // Settle the state through the pump's own slots, from a harmless reading.
    setInputs(sandbox, 2000, 0);
    pump.checkPressure();
    if (pumpOn)
        pump.enablePump();
    if (autoStart)
        pump.startPumpAutoStart();
    QSignalSpy enabled(&pump, &Pump::pumpIsEnabled);
    QSignalSpy disabled(&pump, &Pump::pumpIsDisabled);
    setInputs(sandbox, raw, switchValue);
    pump.checkPressure();
    QCOMPARE(pump.isPumpEnabled(), pumpOnAfter);
    QCOMPARE(pump.isAutoStartAllowed(), autoStartAfter);
    QCOMPARE(enabled.count(), int(!pumpOn && pumpOnAfter));
    QCOMPARE(disabled.count(), int(pumpOn && !pumpOnAfter));
}

void TestPump::enable_nearlyFullWithSwitch_setsFlagOnly()
{
    SandboxRoot sandbox;
    sandbox.write(kMotor, {});
    Pump pump;
    setInputs(sandbox, 3750, 1);
    pump.checkPressure();
    QSignalSpy enabled(&pump, &Pump::pumpIsEnabled);
    pump.enablePump();
    QVERIFY(pump.isPumpEnabled());
    QCOMPARE(enabled.count(), 0);
    QVERIFY(fieldsOf(sandbox, kMotor).isEmpty());

    // 3749 is not above the limit: the lines are driven.
    setInputs(sandbox, 3749, 1);
    pump.checkPressure(); // the switch stops the "enabled" pump first
    pump.enablePump();
    QCOMPARE(enabled.count(), 1);
    QCOMPARE(fieldsOf(sandbox, kMotor).last(), QByteArray("1"));
}

void TestPump::enableAndDisable_driveLinesInOrder()
{
    SandboxRoot sandbox;
    for (const QString &file :
         {QString("/sys/class/gpio/export"), QString("/sys/class/gpio/gpio39/direction"), kMotor,
          kSecond, kRelease})
        sandbox.write(file, {});
    Pump pump;
    pump.initPump();
    QCOMPARE(sandbox.read("/sys/class/gpio/export"),
             QByteArray("89\0\0"
                        "150\0"
                        "149\0"
                        "39\0\0",
                        16));
    QCOMPARE(sandbox.read("/sys/class/gpio/gpio39/direction"), QByteArray("in\0\0", 4));
    pump.enablePump();
    pump.pressureRelease();
    pump.disablePump();
    QCOMPARE(fieldsOf(sandbox, kRelease), (QList<QByteArray> {"0", "1"}));
    QCOMPARE(fieldsOf(sandbox, kSecond), (QList<QByteArray> {"1", "0"}));
    QCOMPARE(fieldsOf(sandbox, kMotor), (QList<QByteArray> {"0", "1", "0"}));
}

void TestPump::motor_leftHighByStartUp_neverRunsUnasked()
{
    // The start-up pulse leaves the motor's line high before the pump exists; a boot that
    // goes to the error screen then never enables nor disables the pump.
    SandboxRoot sandbox;
    sandbox.write(kMotor, QByteArray("1\0\0\0", 4));
    Pump pump;
    pump.initPump();
    // Over the limit, the periodic check leaves a pump that is not enabled alone: the line
    // must already be low.
    setInputs(sandbox, 4095, 1);
    pump.checkPressure();
    QVERIFY(!pump.isPumpEnabled());
    QCOMPARE(fieldsOf(sandbox, kMotor).last(), QByteArray("0"));
}

QTEST_GUILESS_MAIN(TestPump)
#include "tst_pump.moc"
