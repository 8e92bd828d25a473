// The simulated drawer motor, pump and vessel, driven through the files the program writes.
#include "sim/models/drawermotor.h"
#include "sim/models/laneflow.h"
#include "sim/models/pumpvessel.h"
#include "sim/world.h"
#include "support/sandboxroot.h"

#include <QtTest>

namespace {

const QString kOpenPwm = "/sys/class/leds/PWM<B>/brightness";
const QString kClosePwm = "/sys/class/leds/PWM<C>/brightness";
const QString kCurrent = "/sys/bus/iio/devices/iio:device0/in_voltage4_raw";
const QString kMotor = "/sys/class/gpio/gpio89/value";
const QString kRelease = "/sys/class/gpio/gpio150/value";
const QString kSwitch = "/sys/class/gpio/gpio39/value";
const QString kSensor = "/sys/bus/iio/devices/iio:device0/in_voltage7_raw";
// Coarser than the world's 5 ms: the models are linear in time, and every tick writes files.
constexpr int kTick = 10;
constexpr int kVesselTick = 50;

// The program appends fixed-width fields; the models read the last one.
void appendField(const SandboxRoot &sandbox, const QString &file, int value, int width)
{
    QByteArray field = QByteArray::number(value);
    field.append(QByteArray(width - field.size(), '\0'));
    sandbox.write(file, sandbox.read(file) + field);
}

void drive(const SandboxRoot &sandbox, int open, int close)
{
    appendField(sandbox, kOpenPwm, open, 3);
    appendField(sandbox, kClosePwm, close, 3);
}

QString reading(const Model &model, const QString &label)
{
    for (const Model::Reading &item : model.readings()) {
        if (item.first == label)
            return item.second;
    }
    return QString();
}

int fileValue(const SandboxRoot &sandbox, const QString &file)
{
    return sandbox.read(file).trimmed().toInt();
}

// Ticks until `done` or `limitMs`; returns the simulated time spent.
template<typename Done> int runUntil(Model &model, Done done, int limitMs, int tick = kTick)
{
    int ms = 0;
    while (!done() && ms < limitMs) {
        model.tick(tick);
        ms += tick;
    }
    return ms;
}

} // namespace

class TestDrawerPumpModels : public QObject
{
    Q_OBJECT

private slots:
    void drawer_travelTimeAndCurrent_data();
    void drawer_travelTimeAndCurrent();
    void drawer_currentByBoardAndFault_data();
    void drawer_currentByBoardAndFault();
    void vessel_pumpReleaseAndSwitch();
    void vessel_faults_data();
    void vessel_faults();
    void laneFlow_needsOpenValvesAndDeliveredPressure_data();
    void laneFlow_needsOpenValvesAndDeliveredPressure();
    void world_settle_replacesWhatThePreviousBootLeft();
    void safetyReadings_exceededOnlyPastTheLimit_data();
    void safetyReadings_exceededOnlyPastTheLimit();
};

void TestDrawerPumpModels::drawer_travelTimeAndCurrent_data()
{
    QTest::addColumn<QString>("slow");
    QTest::addColumn<int>("travelMs");
    QTest::newRow("normal") << QString() << 5500;
    QTest::newRow("slow 2") << QString("2") << 11000;
}

void TestDrawerPumpModels::drawer_travelTimeAndCurrent()
{
    QFETCH(QString, slow);
    QFETCH(int, travelMs);
    SandboxRoot sandbox;
    DrawerMotor drawer(sandbox.root());
    QString reason;
    if (!slow.isNull())
        QVERIFY(drawer.setFault("drawer-slow", slow.isEmpty() ? QStringList() : QStringList {slow},
                                &reason));
    drive(sandbox, 255, 0); // the program drives at full duty only
    int lowest = 4095, highest = 0;
    const int ms = runUntil(
            drawer,
            [&] {
                if (drawer.position() > 0 && drawer.position() < 1) {
                    lowest = std::min(lowest, fileValue(sandbox, kCurrent));
                    highest = std::max(highest, fileValue(sandbox, kCurrent));
                }
                return drawer.position() >= 1;
            },
            20000);
    QVERIFY2(qAbs(ms - travelMs) <= 2 * kTick, qPrintable(QString::number(ms)));
    // Moving: a few hundred counts, well clear of the no-current level.
    QVERIFY(lowest > 100);
    QVERIFY(highest < 400);
    drawer.tick(kTick);
    QVERIFY(fileValue(sandbox, kCurrent) < 30); // the end-stop switch has cut the motor
    drive(sandbox, 0, 255);
    drawer.tick(kTick);
    QVERIFY(drawer.position() < 1);
    QVERIFY(fileValue(sandbox, kCurrent) > 300);
}

void TestDrawerPumpModels::drawer_currentByBoardAndFault_data()
{
    QTest::addColumn<bool>("sensed");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("movingMin"); // current while the drawer travels
    QTest::addColumn<int>("movingMax");
    QTest::addColumn<int>("endMin"); // still driven at the open end
    QTest::addColumn<int>("endMax");
    QTest::newRow("end stop cuts") << true << QString() << 300 << 400 << 0 << 29;
    QTest::newRow("no end stop") << true << QString("drawer-no-endstop") << 300 << 400 << 300
                                 << 400;
    QTest::newRow("version 0: no sensing") << false << QString() << 0 << 29 << 0 << 29;
    QTest::newRow("floating input")
            << false << QString("drawer-adc-floating") << 1700 << 2400 << 1700 << 2400;
}

void TestDrawerPumpModels::drawer_currentByBoardAndFault()
{
    QFETCH(bool, sensed);
    QFETCH(QString, fault);
    QFETCH(int, movingMin);
    QFETCH(int, movingMax);
    QFETCH(int, endMin);
    QFETCH(int, endMax);
    SandboxRoot sandbox;
    DrawerMotor drawer(sandbox.root(), sensed);
    QString reason;
    if (!fault.isEmpty())
        QVERIFY(drawer.setFault(fault, {}, &reason));
    drive(sandbox, 255, 0);
    int lowest = 4095, highest = 0;
    runUntil(
            drawer,
            [&] {
                if (drawer.position() > 0 && drawer.position() < 1) {
                    lowest = std::min(lowest, fileValue(sandbox, kCurrent));
                    highest = std::max(highest, fileValue(sandbox, kCurrent));
                }
                return drawer.position() >= 1;
            },
            20000);
    QVERIFY2(lowest >= movingMin && highest <= movingMax,
             qPrintable(QString("%1 .. %2").arg(lowest).arg(highest)));
    // Driven on at the end for as long as the program's closing limit.
    for (int ms = 0; ms < 8000; ms += kTick) {
        drawer.tick(kTick);
        const int counts = fileValue(sandbox, kCurrent);
        QVERIFY2(counts >= endMin && counts <= endMax, qPrintable(QString::number(counts)));
    }
    // Moved by hand (power off): it stays there.
    drive(sandbox, 0, 0);
    QVERIFY(drawer.setFault("drawer-by-hand", {"0.4"}, &reason));
    drawer.tick(kTick);
    QCOMPARE(drawer.position(), 0.4);
    QVERIFY(!drawer.setFault("drawer-by-hand", {"1.5"}, &reason));
}

void TestDrawerPumpModels::vessel_pumpReleaseAndSwitch()
{
    SandboxRoot sandbox;
    PumpVessel vessel(sandbox.root());
    appendField(sandbox, kMotor, 1, 4);
    const int fill = runUntil(
            vessel, [&] { return fileValue(sandbox, kSwitch) == 1; }, 30000, kVesselTick);
    QVERIFY2(fill >= 9000 && fill <= 11000, qPrintable(QString::number(fill)));
    // The sensor: 1250 counts at no pressure, 2 mbar per count.
    QCOMPARE(fileValue(sandbox, kSensor), PumpVessel::rawForPressure(vessel.pressureMbar()));
    QCOMPARE(PumpVessel::rawForPressure(9000), 4095);
    // Venting empties it; the switch opens on the way down.
    appendField(sandbox, kMotor, 0, 4);
    appendField(sandbox, kRelease, 1, 4);
    runUntil(
            vessel, [&] { return vessel.pressureMbar() <= 0; }, 10000, kVesselTick);
    QCOMPARE(fileValue(sandbox, kSwitch), 0);
    QCOMPARE(fileValue(sandbox, kSensor), 1250);
}

void TestDrawerPumpModels::vessel_faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<double>("maxAfter20s");
    QTest::addColumn<bool>("switchCloses");
    QTest::newRow("none") << QString() << QStringList() << 6000.0 << true;
    QTest::newRow("leak") << QString("vessel-leak") << QStringList() << 0.0 << false;
    QTest::newRow("slow leak") << QString("vessel-leak") << QStringList {"200"} << 6000.0 << true;
    QTest::newRow("pump dead") << QString("pump-dead") << QStringList() << 0.0 << false;
    QTest::newRow("switch stuck") << QString("switch-stuck-open") << QStringList() << 6000.0
                                  << false;
    QTest::newRow("switch welded")
            << QString("switch-stuck-closed") << QStringList() << 6000.0 << true;
}

void TestDrawerPumpModels::vessel_faults()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, arguments);
    QFETCH(double, maxAfter20s);
    QFETCH(bool, switchCloses);
    SandboxRoot sandbox;
    PumpVessel vessel(sandbox.root());
    QString reason;
    if (!fault.isEmpty())
        QVERIFY(vessel.setFault(fault, arguments, &reason));
    appendField(sandbox, kMotor, 1, 4);
    bool closed = false;
    runUntil(
            vessel, [&] { return (closed = closed || vessel.switchClosed()), false; }, 20000,
            kVesselTick);
    QVERIFY(vessel.pressureMbar() <= maxAfter20s);
    QCOMPARE(closed, switchCloses);
}

void TestDrawerPumpModels::laneFlow_needsOpenValvesAndDeliveredPressure_data()
{
    QTest::addColumn<int>("levels"); // valve pins, 1 = high = closed
    QTest::addColumn<bool>("driven");
    QTest::addColumn<double>("lines"); // each of the three lines, mbar
    QTest::addColumn<double>("lanes");
    QTest::newRow("home: valves open, set-points 0") << 0x00 << true << 0.0 << 0.0;
    QTest::newRow("run: eight lanes") << 0x00 << true << 800.0 << 8.0;
    QTest::newRow("run: one lane") << 0xFE << true << 800.0 << 1.0;
    QTest::newRow("pre-ramp: one lane at 100") << 0xFE << true << 100.0 << 0.125;
    QTest::newRow("all closed") << 0xFF << true << 800.0 << 0.0;
    QTest::newRow("pins not driven yet") << 0x00 << false << 800.0 << 0.0;
}

void TestDrawerPumpModels::laneFlow_needsOpenValvesAndDeliveredPressure()
{
    QFETCH(int, levels);
    QFETCH(bool, driven);
    QFETCH(double, lines);
    QFETCH(double, lanes);
    QCOMPARE(laneflow::draw(uint8_t(levels), driven, {lines, lines, lines}), lanes);

    // The vessel at Home holds but for its seals; with the lanes drawing it falls.
    SandboxRoot sandbox;
    PumpVessel vessel(sandbox.root(), [&] { return lanes; });
    vessel.setPressureMbar(5000);
    runUntil(
            vessel, [] { return false; }, 10000, kVesselTick);
    const double lost
            = 10 * (PumpVessel::kNaturalLeakMbarPerS + lanes * PumpVessel::kLaneDrawMbarPerS);
    QVERIFY(qAbs(5000 - vessel.pressureMbar() - lost) < 1);
}

void TestDrawerPumpModels::world_settle_replacesWhatThePreviousBootLeft()
{
    // The files of the previous boot (a full vessel's closed switch) disagree with the vessel
    // the world starts with (empty here: no state kept). They must be put right before the
    // program's pump reads them, not at the world thread's first tick, which comes only after
    // the window is built (late on a slow processor).
    SandboxRoot sandbox;
    sandbox.write(kSwitch, "1\n");
    sandbox.write(kSensor, QByteArray::number(PumpVessel::rawForPressure(5400)) + '\n');
    World world;
    world.add<PumpVessel>(sandbox.root());
    world.settle();
    QCOMPARE(fileValue(sandbox, kSwitch), 0);
    QCOMPARE(fileValue(sandbox, kSensor), PumpVessel::rawForPressure(0));
}

// The readings the explorer judges the program's hardware safety by: the pump running on
// against the closed maximum switch beyond one check of the program, the drawer motor running
// (moving or pushing a blocked drawer, not resting at an end stop) beyond the program's limit.
void TestDrawerPumpModels::safetyReadings_exceededOnlyPastTheLimit_data()
{
    QTest::addColumn<bool>("pump");
    QTest::addColumn<int>("runMs");
    QTest::addColumn<bool>("stuck");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("pump stopped at the next check") << true << 500 << false << "kept";
    QTest::newRow("pump on past a missed check") << true << 1500 << false << "exceeded";
    QTest::newRow("drawer closed, drive left on") << false << 12000 << false << "kept";
    QTest::newRow("drawer pushing a blockage") << false << 12000 << true << "exceeded";
}

void TestDrawerPumpModels::safetyReadings_exceededOnlyPastTheLimit()
{
    QFETCH(bool, pump);
    QFETCH(int, runMs);
    QFETCH(bool, stuck);
    QFETCH(QString, verdict);
    SandboxRoot sandbox;
    if (pump) {
        PumpVessel vessel(sandbox.root());
        appendField(sandbox, kMotor, 1, 4);
        runUntil(
                vessel, [&] { return vessel.switchClosed(); }, 30000, kVesselTick);
        QVERIFY(reading(vessel, "max switch overrun").startsWith("kept"));
        runUntil(
                vessel, [] { return false; }, runMs, kVesselTick);
        appendField(sandbox, kMotor, 0, 4);
        runUntil(
                vessel, [] { return false; }, 1000, kVesselTick);
        QVERIFY2(reading(vessel, "max switch overrun").startsWith(verdict),
                 qPrintable(reading(vessel, "max switch overrun")));
    } else {
        DrawerMotor drawer(sandbox.root());
        drawer.setPosition(1);
        QString reason;
        if (stuck)
            QVERIFY(drawer.setFault("drawer-stuck", {}, &reason));
        drive(sandbox, 0, 255);
        runUntil(
                drawer, [] { return false; }, runMs);
        QVERIFY2(reading(drawer, "drawer drive limit").startsWith(verdict),
                 qPrintable(reading(drawer, "drawer drive limit")));
    }
}

QTEST_GUILESS_MAIN(TestDrawerPumpModels)
#include "tst_drawerpumpmodels.moc"
