// The sysfs primitives, checked as bytes on disk in a sandbox root.
#include "hw/gpio.h"
#include "hw/hardwareversion.h"
#include "hw/pwm.h"
#include "hw/sysfsvalue.h"
#include "support/sandboxroot.h"

#include <QtTest>

class TestSysfs : public QObject
{
    Q_OBJECT

private slots:
    void gpioWrites_areFourByteFields_data();
    void gpioWrites_areFourByteFields();
    void gpioMissingFile_logsAndLeavesBufferZero();
    void readValue_readsAtMostFourBytes();
    void writePwm_threeByteFieldOrRefusal_data();
    void writePwm_threeByteFieldOrRefusal();
    void writePwm_missingFile_reportsNotDriven();
    void readSysfsValue_parsesUpToNewline_data();
    void readSysfsValue_parsesUpToNewline();
    void hardwareVersion_strapsAreBitsMostSignificantFirst_data();
    void hardwareVersion_strapsAreBitsMostSignificantFirst();
};

void TestSysfs::gpioWrites_areFourByteFields_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("unexport 39") << "unexport" << QByteArray("39") << "/sys/class/gpio/unexport"
                                 << QByteArray("39\0\0", 4);
    QTest::newRow("direction out") << "direction" << QByteArray("out")
                                   << "/sys/class/gpio/gpio89/direction" << QByteArray("out\0", 4);
    QTest::newRow("value 1") << "value" << QByteArray("1") << "/sys/class/gpio/gpio89/value"
                             << QByteArray("1\0\0\0", 4);
}

void TestSysfs::gpioWrites_areFourByteFields()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, text);
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    SandboxRoot sandbox;
    sandbox.write(file, {});
    const QByteArray path = file.toLatin1();
    // Export, input direction and the edge are checked by the button, pump and version tests.
    if (operation == "unexport")
        GPIO::unexportPin(text.constData());
    else if (operation == "direction")
        GPIO::setDirection(text.constData(), path.constData());
    else
        GPIO::writeValue(text.constData(), path.constData());
    QCOMPARE(sandbox.read(file), bytes);
}

void TestSysfs::gpioMissingFile_logsAndLeavesBufferZero()
{
    SandboxRoot sandbox;
    QTest::ignoreMessage(QtDebugMsg, "GPIO direction set failed");
    GPIO::setDirection("in", "/sys/class/gpio/gpio999/direction");
    QTest::ignoreMessage(QtDebugMsg, "GPIO export set failed: PIN 89");
    GPIO::exportPin("89");
    QVERIFY(!sandbox.exists("/sys/class/gpio/gpio999/direction"));
    // A line's directory without the attribute: sysfs would refuse to create it, and so must
    // the write, or the next write would seem to drive a line that is not there.
    sandbox.write("/sys/class/gpio/gpio89/direction", "out\n");
    QTest::ignoreMessage(QtDebugMsg, "GPIO write failed");
    GPIO::writeValue("1", "/sys/class/gpio/gpio89/value");
    QVERIFY(!sandbox.exists("/sys/class/gpio/gpio89/value"));

    char buffer[10] = {};
    QTest::ignoreMessage(QtDebugMsg, "GPIO read failed");
    GPIO::readValue(buffer, "/sys/class/gpio/gpio999/value");
    for (char byte : buffer)
        QCOMPARE(byte, '\0');
}

void TestSysfs::readValue_readsAtMostFourBytes()
{
    SandboxRoot sandbox;
    sandbox.write("/sys/bus/iio/devices/iio:device0/in_voltage4_raw", "123456\n");
    char buffer[10] = {};
    GPIO::readValue(buffer, "/sys/bus/iio/devices/iio:device0/in_voltage4_raw");
    QCOMPARE(QByteArray(buffer), QByteArray("1234"));

    sandbox.write("/sys/class/gpio/gpio39/value", "1");
    char shortBuffer[10] = {};
    GPIO::readValue(shortBuffer, "/sys/class/gpio/gpio39/value");
    QCOMPARE(QByteArray(shortBuffer), QByteArray("1"));
}

void TestSysfs::writePwm_threeByteFieldOrRefusal_data()
{
    QTest::addColumn<unsigned>("duty");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("0") << 0u << 0 << QByteArray("0\0\0", 3);
    QTest::newRow("10") << 10u << 0 << QByteArray("10\0", 3);
    QTest::newRow("255") << 255u << 0 << QByteArray("255");
    QTest::newRow("256 refused") << 256u << 1 << QByteArray();
    QTest::newRow("huge refused") << 4294967295u << 1 << QByteArray();
}

void TestSysfs::writePwm_threeByteFieldOrRefusal()
{
    QFETCH(unsigned, duty);
    QFETCH(int, result);
    QFETCH(QByteArray, bytes);
    SandboxRoot sandbox;
    sandbox.write("/sys/class/leds/PWM<D>/brightness", {});
    QCOMPARE(writePwm(duty, "/sys/class/leds/PWM<D>/brightness"), result);
    QCOMPARE(sandbox.read("/sys/class/leds/PWM<D>/brightness"), bytes);
}

void TestSysfs::writePwm_missingFile_reportsNotDriven()
{
    SandboxRoot sandbox;
    QCOMPARE(writePwm(100, "/sys/class/leds/PWM<B>/brightness"), 1);
    QVERIFY(!sandbox.exists("/sys/class/leds/PWM<B>/brightness"));
    // The device's directory is there but not the attribute: still not driven, nothing made.
    sandbox.write("/sys/class/leds/PWM<B>/max_brightness", "255\n");
    QCOMPARE(writePwm(100, "/sys/class/leds/PWM<B>/brightness"), 1);
    QVERIFY(!sandbox.exists("/sys/class/leds/PWM<B>/brightness"));
}

void TestSysfs::readSysfsValue_parsesUpToNewline_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("present");
    QTest::addColumn<int>("value");
    QTest::newRow("4095") << QByteArray("4095\n") << true << 4095;
    QTest::newRow("empty") << QByteArray() << true << 0;
    QTest::newRow("missing") << QByteArray() << false << 0;
}

void TestSysfs::readSysfsValue_parsesUpToNewline()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, present);
    QFETCH(int, value);
    SandboxRoot sandbox;
    const char *adc = "/sys/bus/iio/devices/iio:device0/in_voltage7_raw";
    if (present)
        sandbox.write(adc, content);
    else
        QTest::ignoreMessage(QtDebugMsg, "GPIO read failed");
    QCOMPARE(readSysfsValue(adc), value);
}

void TestSysfs::hardwareVersion_strapsAreBitsMostSignificantFirst_data()
{
    QTest::addColumn<QByteArray>("line164");
    QTest::addColumn<QByteArray>("line163");
    QTest::addColumn<QByteArray>("line162");
    QTest::addColumn<int>("version");
    QTest::newRow("1") << QByteArray("0\n") << QByteArray("0\n") << QByteArray("1\n") << 1;
    QTest::newRow("2") << QByteArray("0\n") << QByteArray("1\n") << QByteArray("0\n") << 2;
    QTest::newRow("4") << QByteArray("1\n") << QByteArray("0\n") << QByteArray("0\n") << 4;
}

void TestSysfs::hardwareVersion_strapsAreBitsMostSignificantFirst()
{
    QFETCH(QByteArray, line164);
    QFETCH(QByteArray, line163);
    QFETCH(QByteArray, line162);
    QFETCH(int, version);
    SandboxRoot sandbox;
    sandbox.write("/sys/class/gpio/export", {});
    for (const char *pin : {"162", "163", "164"})
        sandbox.write(QString("/sys/class/gpio/gpio%1/direction").arg(pin), {});
    sandbox.write("/sys/class/gpio/gpio164/value", line164);
    sandbox.write("/sys/class/gpio/gpio163/value", line163);
    sandbox.write("/sys/class/gpio/gpio162/value", line162);

    QCOMPARE(readHardwareVersion(), version);
    QCOMPARE(sandbox.read("/sys/class/gpio/export"),
             QByteArray("162\0"
                        "163\0"
                        "164\0",
                        12));
    QCOMPARE(sandbox.read("/sys/class/gpio/gpio163/direction"), QByteArray("in\0\0", 4));
}

QTEST_GUILESS_MAIN(TestSysfs)
#include "tst_sysfs.moc"
