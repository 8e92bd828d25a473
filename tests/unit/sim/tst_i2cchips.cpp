// The simulated I2C chips, driven by the program's own peripheral classes through the
// simulator's device-I/O backend: what the chips decode, what the trace records, and how
// the faults show to the program.
#include "hw/i2c_internaltemp.h"
#include "hw/i2c_ledcontrol.h"
#include "hw/i2c_valvecontrol.h"
#include "platform/platform.h"
#include "sim/models/i2cbus.h"
#include "sim/models/i2cbuses.h"
#include "sim/models/leddriver.h"
#include "sim/models/temperaturesensor.h"
#include "sim/models/valveexpander.h"
#include "sim/simdeviceio.h"
#include "support/sandboxroot.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// The board as the simulator builds it, in a sandbox of its own.
struct Board
{
    SandboxRoot sandbox;
    SimDeviceIo io;
    I2cBuses buses {sandbox.root()};
    TemperatureSensor sensor {sandbox.root()};
    LedDriver light;
    ValveExpander valves;

    Board()
    {
        buses.bus(2)->attach(TemperatureSensor::kAddress, &sensor);
        buses.bus(2)->attach(LedDriver::kAddress, &light);
        buses.bus(4)->attach(ValveExpander::kAddress, &valves);
        io.addDevice(platform::path("/dev/i2c-2"), buses.bus(2));
        io.addDevice(platform::path("/dev/i2c-4"), buses.bus(4));
        platform::setDeviceIo(&io);
    }
    ~Board() { platform::setDeviceIo(nullptr); }

    bool fault(const QString &name, const QString &arguments)
    {
        QString reason;
        const QStringList args = arguments.split(' ', Qt::SkipEmptyParts);
        if (name == "i2c-temperature")
            return sensor.setFault(name, args, &reason);
        return buses.setFault(name, args, &reason);
    }

    QStringList trace() const
    {
        return QString::fromUtf8(sandbox.read("/sim/i2c.trace")).split('\n', Qt::SkipEmptyParts);
    }
};

int8_t reading(I2C_InternalTemp &sensor)
{
    QSignalSpy spy(&sensor, &I2C_InternalTemp::updateTemperature);
    sensor.readTemperature();
    return spy.isEmpty() ? int8_t(-99) : spy[0][0].value<int8_t>();
}

} // namespace

class TestI2cChips : public QObject
{
    Q_OBJECT

private slots:
    void ledDriver_decodesEveryColour_data();
    void ledDriver_decodesEveryColour();
    void temperatureSensor_driftsWithPumpAndFan();
    void valvesAndTrace_pinsFollowMasks_everyTransferTraced();
    void faults_reachTheProgramAsTheKernelWouldReportThem();
    void faults_badArgumentsAreRefused_data();
    void faults_badArgumentsAreRefused();
};

void TestI2cChips::ledDriver_decodesEveryColour_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<QString>("seen");
    QTest::newRow("off") << int(I2C_LedControl::LED_OFF) << "off #000000";
    QTest::newRow("red") << int(I2C_LedControl::LED_RED) << "red #ff0000";
    QTest::newRow("green") << int(I2C_LedControl::LED_GREEN) << "green #00ff00";
    QTest::newRow("blue") << int(I2C_LedControl::LED_BLUE) << "blue #0000ff";
    QTest::newRow("yellow") << int(I2C_LedControl::LED_YELLOW) << "yellow #ff6a00";
    QTest::newRow("magenta") << int(I2C_LedControl::LED_MAGENTA) << "magenta #ff00ff";
    QTest::newRow("cyan") << int(I2C_LedControl::LED_CYAN) << "cyan #00ffff";
    QTest::newRow("cross-fade starts green")
            << int(I2C_LedControl::LED_GREEN_BLUE) << "off #000000";
}

void TestI2cChips::ledDriver_decodesEveryColour()
{
    QFETCH(int, color);
    QFETCH(QString, seen);
    Board board;
    I2C_LedControl led;
    led.init();
    led.setLED(I2C_LedControl::LED_MAGENTA);
    led.setLED(I2C_LedControl::LedColor(color));
    const LedDriver::Light light = board.light.light();
    QCOMPARE(LedDriver::colorName(light) + " " + LedDriver::rgbText(light), seen);
    if (color == I2C_LedControl::LED_GREEN_BLUE) {
        // The first fade steps bring green up at full level.
        QTRY_COMPARE_WITH_TIMEOUT(LedDriver::colorName(board.light.light()), QString("green"),
                                  1000);
        QTRY_COMPARE_WITH_TIMEOUT(LedDriver::colorName(board.light.light()), QString("cyan"), 1000);
    }
}

void TestI2cChips::temperatureSensor_driftsWithPumpAndFan()
{
    // GPIO values are 4-byte fields, the PWM duty a 3-byte field; the last one counts.
    auto settle = [](bool pump, const QByteArray &fanDuty) {
        Board board;
        board.sandbox.write("/sys/class/gpio/gpio89/value",
                            QByteArray(pump ? "1" : "0").leftJustified(4, '\0'));
        board.sandbox.write("/sys/class/leds/PWM<D>/brightness", fanDuty.leftJustified(3, '\0'));
        // Slow: five seconds move it by a fraction of a degree, three hours settle it.
        board.sensor.tick(5000);
        if (board.sensor.celsius() - TemperatureSensor::kAmbientC > 0.5)
            return -1.0;
        for (int minute = 0; minute < 180; ++minute)
            board.sensor.tick(60000);
        return board.sensor.celsius();
    };
    const double idle = settle(false, "0");
    const double pumping = settle(true, "0");
    const double cooled = settle(true, "255");
    const double idleFan = settle(false, "10");
    QVERIFY(idle > TemperatureSensor::kAmbientC + 5);
    QVERIFY(pumping > idle + 3);
    QVERIFY(cooled < pumping - 5);
    QVERIFY(idleFan < idle && idleFan > TemperatureSensor::kAmbientC);
}

void TestI2cChips::valvesAndTrace_pinsFollowMasks_everyTransferTraced()
{
    Board board;
    // At power-on the pins are inputs, pulled high.
    QCOMPARE(board.valves.valveMask(), uint8_t(0xFF));
    QVERIFY(!board.valves.driven());
    I2C_ValveControl control;
    control.init();
    QVERIFY(board.valves.driven());
    control.setOutputPins(0x05);
    QCOMPARE(board.valves.valveMask(), uint8_t(0x05));
    QVERIFY(board.fault("i2c-temperature", "25.5"));
    I2C_InternalTemp sensor;
    sensor.init();
    reading(sensor);
    QVERIFY(board.fault("i2c-nack-once", "4 0x1F"));
    control.setOutputPins(0xA0);
    QCOMPARE(board.trace(),
             QStringList({"i2c-4 0x1f W 03 00", "i2c-4 0x1f W 01 05", "i2c-2 0x48 W 00",
                          "i2c-2 0x48 R 19 80", "i2c-4 0x1f W 01 a0 failed: data not acknowledged",
                          "i2c-4 0x1f W 01 a0"}));
    QCOMPARE(board.valves.valveMask(), uint8_t(0xA0));
}

void TestI2cChips::faults_reachTheProgramAsTheKernelWouldReportThem()
{
    Board board;
    QVERIFY(board.fault("i2c-temperature", "30"));
    I2C_InternalTemp sensor;
    sensor.init();
    QCOMPARE(int(reading(sensor)), 30);

    // A sensor that stops answering: the program repeats its last value.
    QVERIFY(board.fault("i2c-absent", "i2c-2 0x48"));
    QVERIFY(board.fault("i2c-temperature", "40"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error: No such device or address$"));
    QCOMPARE(int(reading(sensor)), 30);
    // The light on the same bus is not affected.
    I2C_LedControl led;
    led.init();
    led.setLED(I2C_LedControl::LED_RED);
    QCOMPARE(LedDriver::colorName(board.light.light()), QString("red"));

    // A bus that is gone cannot be opened; descriptors opened before fail with ENODEV.
    QVERIFY(board.fault("i2c-no-bus", "/dev/i2c-4"));
    I2C_ValveControl control;
    QTest::ignoreMessage(QtDebugMsg, "I2C interface for valve control not usable (Init)");
    control.init();
    QVERIFY(board.fault("i2c-no-bus", "2"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error: No such device$"));
    led.setLED(I2C_LedControl::LED_GREEN);

    board.buses.clearFaults();
    board.sensor.clearFaults();
    led.setLED(I2C_LedControl::LED_BLUE);
    QCOMPARE(LedDriver::colorName(board.light.light()), QString("blue"));
    QCOMPARE(int(reading(sensor)), 40);
}

void TestI2cChips::faults_badArgumentsAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("arguments");
    QTest::newRow("bus the board lacks") << "i2c-no-bus"
                                         << "3";
    QTest::newRow("address missing") << "i2c-absent"
                                     << "2";
    QTest::newRow("address above 7 bits") << "i2c-absent"
                                          << "2 0x80";
    QTest::newRow("too many arguments") << "i2c-no-bus"
                                        << "2 0x48";
    QTest::newRow("temperature out of range") << "i2c-temperature"
                                              << "200";
}

void TestI2cChips::faults_badArgumentsAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, arguments);
    Board board;
    QVERIFY(!board.fault(name, arguments));
    QCOMPARE(board.buses.readings().at(0).second, QString("ok"));
    QCOMPARE(board.buses.readings().at(1).second, QString("ok"));
}

QTEST_GUILESS_MAIN(TestI2cChips)
#include "tst_i2cchips.moc"
