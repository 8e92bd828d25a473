// The temperature sensor: conversion of its register bytes, and what is reported when the
// sensor cannot be reached.
#include "hw/i2c_internaltemp.h"
#include "support/fakedeviceio.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const std::string kBus = "/dev/i2c-2";
}

class TestI2cInternalTemp : public QObject
{
    Q_OBJECT

private slots:
    void toCelsius_truncatesTowardZero_data();
    void toCelsius_truncatesTowardZero();
    void readTemperature_failures_repeatLastValue_data();
    void readTemperature_failures_repeatLastValue();
};

void TestI2cInternalTemp::toCelsius_truncatesTowardZero_data()
{
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("celsius");
    QTest::newRow("25") << 0x19 << 0x00 << 25;
    QTest::newRow("25.5 truncated") << 0x19 << 0x80 << 25;
    QTest::newRow("-1") << 0xFF << 0x00 << -1;
    QTest::newRow("-0.0625 toward zero") << 0xFF << 0xF0 << 0;
    QTest::newRow("-25.5 toward zero") << 0xE6 << 0x80 << -25;
    QTest::newRow("127.9375 top") << 0x7F << 0xF0 << 127;
    QTest::newRow("-128 bottom of the code range") << 0x80 << 0x00 << -128;
    QTest::newRow("unused low nibble ignored") << 0x19 << 0x0F << 25;
}

void TestI2cInternalTemp::toCelsius_truncatesTowardZero()
{
    QFETCH(int, high);
    QFETCH(int, low);
    QFETCH(int, celsius);
    QCOMPARE(int(I2C_InternalTemp::toCelsius(uint8_t(high), uint8_t(low))), celsius);
}

void TestI2cInternalTemp::readTemperature_failures_repeatLastValue_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("bus missing") << "open";
    QTest::newRow("no answer") << "empty read";
    QTest::newRow("one byte of two") << "short read";
}

void TestI2cInternalTemp::readTemperature_failures_repeatLastValue()
{
    QFETCH(QString, failure);
    FakeDeviceIo io;
    if (failure == "open")
        io.failOpen(kBus);
    I2C_InternalTemp sensor;
    sensor.init();
    QSignalSpy updates(&sensor, &I2C_InternalTemp::updateTemperature);
    if (failure == "open") {
        QTest::ignoreMessage(QtDebugMsg, "Interface for internal temp not usable (A)");
        QTest::ignoreMessage(QtDebugMsg, "Interface for internal temp not usable (B)");
    } else {
        io.queueRead(kBus, QByteArray("\x1F\x00", 2)); // 31 degC
        sensor.readTemperature();
        if (failure == "short read")
            io.queueRead(kBus, QByteArray("\x05", 1));
    }
    sensor.readTemperature();
    // A sensor that never answered reports the initial 0.
    QCOMPARE(updates.last()[0].value<int8_t>(), int8_t(failure == "open" ? 0 : 31));
    if (failure == "open")
        QVERIFY(io.written(kBus).isEmpty());
}

QTEST_GUILESS_MAIN(TestI2cInternalTemp)
#include "tst_i2c_internaltemp.moc"
