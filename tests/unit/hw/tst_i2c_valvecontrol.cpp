// The valve expander: bounded re-send of a mask, a configuration made up late, no bus.
#include "hw/i2c_valvecontrol.h"
#include "support/fakedeviceio.h"

#include <QtTest>

namespace {
const std::string kBus = "/dev/i2c-4";

} // namespace

class TestI2cValveControl : public QObject
{
    Q_OBJECT

private slots:
    void failedWrite_resendsLastMaskBounded_data();
    void failedWrite_resendsLastMaskBounded();
    void failedConfiguration_madeUpBeforeNextMask();
    void unusableBus_storesMaskWritesNothing();
};

void TestI2cValveControl::failedWrite_resendsLastMaskBounded_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<QByteArray>("delivered"); // masks that reached the expander
    // Two requests, 0x0F then 0xF0, while the next `failures` writes fail. Each request gets
    // its first write and one re-send, never more, and a dead expander costs no recursion.
    QTest::newRow("transient: re-send repairs") << 1 << QByteArray("\x0F\xF0");
    QTest::newRow("re-send fails too: given up") << 2 << QByteArray("\xF0");
    QTest::newRow("second request repaired") << 3 << QByteArray("\xF0");
    QTest::newRow("dead expander") << 1000 << QByteArray();
}

void TestI2cValveControl::failedWrite_resendsLastMaskBounded()
{
    QFETCH(int, failures);
    QFETCH(QByteArray, delivered);
    FakeDeviceIo io;
    I2C_ValveControl valves;
    valves.init();
    io.failNextWrites(kBus, failures);
    valves.setOutputPins(0x0F);
    valves.setOutputPins(0xF0);
    std::vector<QByteArray> expected {QByteArray("\x03\x00", 2)};
    for (char mask : delivered)
        expected.push_back(QByteArray(1, '\x01') + mask);
    QCOMPARE(io.writesTo(kBus, 0x1F), expected);
    QCOMPARE(valves.pins(), uint8_t(0xF0));
}

void TestI2cValveControl::failedConfiguration_madeUpBeforeNextMask()
{
    FakeDeviceIo io;
    I2C_ValveControl valves;
    io.failNextWrites(kBus, 1);
    valves.init();
    valves.setOutputPins(0x05);
    valves.setOutputPins(0x06);
    QCOMPARE(io.writesTo(kBus, 0x1F),
             std::vector<QByteArray>({QByteArray("\x03\x00", 2), QByteArray("\x01\x05", 2),
                                      QByteArray("\x01\x06", 2)}));
}

void TestI2cValveControl::unusableBus_storesMaskWritesNothing()
{
    FakeDeviceIo io;
    io.failOpen(kBus);
    I2C_ValveControl valves;
    QTest::ignoreMessage(QtDebugMsg, "I2C interface for valve control not usable (Init)");
    valves.init();
    QTest::ignoreMessage(QtDebugMsg, "I2C interface for valve control not usable (Output pins)");
    valves.setOutputPins(0x05);
    QCOMPARE(valves.pins(), uint8_t(0x05));
    QVERIFY(io.written(kBus).isEmpty());
}

QTEST_GUILESS_MAIN(TestI2cValveControl)
#include "tst_i2c_valvecontrol.moc"
