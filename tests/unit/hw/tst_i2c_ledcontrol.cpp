// The status-light driver: command bytes per colour, the green-blue cross-fade, bounded
// re-application after a failed write.
#include "hw/i2c_ledcontrol.h"
#include "support/fakedeviceio.h"

#include <QtTest>

namespace {
const std::string kBus = "/dev/i2c-2";

QByteArray sent(const FakeDeviceIo &io)
{
    QByteArray all;
    for (const QByteArray &write : io.writesTo(kBus, 0x38)) {
        // The driver takes one command byte per message.
        if (write.size() != 1)
            return "multi-byte write";
        all += write;
    }
    return all;
}
} // namespace

class TestI2cLedControl : public QObject
{
    Q_OBJECT

private slots:
    void setLED_writesLevelThenChannels_data();
    void setLED_writesLevelThenChannels();
    void crossFade_stepsAlongTheCurve();
    void crossFade_otherColourStopsTimerFirst();
    void failedWrite_reappliesRequestedColourOnce_data();
    void failedWrite_reappliesRequestedColourOnce();
    void unusableBus_sendsNothing();
};

void TestI2cLedControl::setLED_writesLevelThenChannels_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("off") << int(I2C_LedControl::LED_OFF) << QByteArray("\x20\x40\x60\x80");
    QTest::newRow("red") << int(I2C_LedControl::LED_RED) << QByteArray("\x3F\x5F\x60\x80");
    QTest::newRow("green") << int(I2C_LedControl::LED_GREEN) << QByteArray("\x3F\x40\x7F\x80");
    QTest::newRow("blue") << int(I2C_LedControl::LED_BLUE) << QByteArray("\x3F\x40\x60\x9F");
    QTest::newRow("yellow") << int(I2C_LedControl::LED_YELLOW) << QByteArray("\x3F\x5F\x6D\x80");
    QTest::newRow("magenta") << int(I2C_LedControl::LED_MAGENTA) << QByteArray("\x3F\x5F\x60\x9F");
    QTest::newRow("cyan") << int(I2C_LedControl::LED_CYAN) << QByteArray("\x3F\x40\x7F\x9F");
}

void TestI2cLedControl::setLED_writesLevelThenChannels()
{
    QFETCH(int, color);
    QFETCH(QByteArray, bytes);
    FakeDeviceIo io;
    I2C_LedControl led;
    led.init();
    led.setLED(I2C_LedControl::LedColor(color));
    QCOMPARE(sent(io), bytes);
    QCOMPARE(int(led.color()), color);
    QVERIFY(!led.isDimming());
}

void TestI2cLedControl::crossFade_stepsAlongTheCurve()
{
    FakeDeviceIo io;
    I2C_LedControl led;
    led.init();
    led.setLED(I2C_LedControl::LED_GREEN_BLUE);
    // Reset (outputs off, full level), then red off; the timer does the rest.
    QCOMPARE(sent(io), QByteArray("\x00\x3F\x40", 3));
    QVERIFY(led.isDimming());
    // Three steps from full green: green 31, 31, 30 and blue 0, 0, 1.
    QByteArray expected = sent(io) + QByteArray("\x3F\x7F\x80\x3F\x7F\x80\x3F\x7E\x81");
    for (int i = 0; i < 3; ++i)
        QMetaObject::invokeMethod(&led, "updateDimming");
    QCOMPARE(sent(io), expected);
    // A full sweep reaches pure blue at step 32, and then turns back towards green.
    for (int i = 3; i < I2C_LedControl::kDimmingSteps; ++i)
        QMetaObject::invokeMethod(&led, "updateDimming");
    QCOMPARE(sent(io).right(3), QByteArray("\x3F\x60\x9F"));
    for (int i = 0; i < 3; ++i)
        QMetaObject::invokeMethod(&led, "updateDimming");
    QCOMPARE(sent(io).right(3), QByteArray("\x3F\x61\x9E"));
}

void TestI2cLedControl::crossFade_otherColourStopsTimerFirst()
{
    FakeDeviceIo io;
    I2C_LedControl led;
    led.init();
    led.setLED(I2C_LedControl::LED_GREEN_BLUE);
    led.setLED(I2C_LedControl::LED_BLUE);
    QVERIFY(!led.isDimming());
    QCOMPARE(sent(io), QByteArray("\x00\x3F\x40\x3F\x40\x60\x9F", 7));
    // A reset ends a running cross-fade as well.
    led.setLED(I2C_LedControl::LED_GREEN_BLUE);
    led.reset();
    QVERIFY(!led.isDimming());
    QCOMPARE(led.color(), I2C_LedControl::LED_OFF);
}

void TestI2cLedControl::failedWrite_reappliesRequestedColourOnce_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<QByteArray>("bytes");
    // Red is requested while the light is green and its first byte fails. The re-send
    // applies red (not the green it replaces) in full, then the request finishes its bytes.
    QTest::newRow("one failure") << 1 << QByteArray("\x3F\x5F\x60\x80\x5F\x60\x80");
    // A re-send never re-sends: once it fails too, both just go on with their other bytes.
    QTest::newRow("re-send fails") << 2 << QByteArray("\x5F\x60\x80\x5F\x60\x80");
    // Eight attempts (request and one re-send), then it returns: no endless recursion.
    QTest::newRow("dead driver") << 1000 << QByteArray();
}

void TestI2cLedControl::failedWrite_reappliesRequestedColourOnce()
{
    QFETCH(int, failures);
    QFETCH(QByteArray, bytes);
    FakeDeviceIo io;
    I2C_LedControl led;
    led.init();
    led.setLED(I2C_LedControl::LED_GREEN);
    const int before = sent(io).size();
    io.failNextWrites(kBus, failures);
    led.setLED(I2C_LedControl::LED_RED);
    QCOMPARE(sent(io).mid(before), bytes);
    QCOMPARE(led.color(), I2C_LedControl::LED_RED);
    // The allowance is per request: the next colour gets its own re-send.
    io.failNextWrites(kBus, 1);
    led.setLED(I2C_LedControl::LED_BLUE);
    QCOMPARE(sent(io).right(7), QByteArray("\x3F\x40\x60\x9F\x40\x60\x9F"));
}

void TestI2cLedControl::unusableBus_sendsNothing()
{
    FakeDeviceIo io;
    io.failOpen(kBus);
    I2C_LedControl led;
    led.init();
    QTest::ignoreMessage(QtDebugMsg, "Interface for I2C_LedControl not usable (Init)");
    led.setLED(I2C_LedControl::LED_RED);
    QTest::ignoreMessage(QtDebugMsg, "Interface for I2C_LedControl not usable (Init)");
    led.reset();
    QTest::ignoreMessage(QtDebugMsg, "Interface for I2C_LedControl not usable (Init)");
    led.setLED(I2C_LedControl::LED_GREEN_BLUE);
    QTest::ignoreMessage(QtDebugMsg, "Interface for I2C_LedControl not usable (updateDimming)");
    QTRY_VERIFY_WITH_TIMEOUT(!led.isDimming(), 1000);
    QVERIFY(io.written(kBus).isEmpty());
}

QTEST_GUILESS_MAIN(TestI2cLedControl)
#include "tst_i2c_ledcontrol.moc"
