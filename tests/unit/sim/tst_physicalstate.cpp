// What of the simulated hardware outlasts a power cut: the drawer's position, the vessel's
// pressure less the seals' leak over the time without power, a stick in the port.
#include "sim/models/drawermotor.h"
#include "sim/models/physicalstate.h"
#include "sim/models/pumpvessel.h"
#include "support/sandboxroot.h"

#include <QDateTime>
#include <QtTest>

class TestPhysicalState : public QObject
{
    Q_OBJECT

private slots:
    void powerCycle_keepsDrawerVesselAndStick_data();
    void powerCycle_keepsDrawerVesselAndStick();
};

void TestPhysicalState::powerCycle_keepsDrawerVesselAndStick_data()
{
    QTest::addColumn<double>("drawer");
    QTest::addColumn<double>("vessel");
    QTest::addColumn<bool>("stick");
    QTest::addColumn<int>("offSeconds");
    QTest::addColumn<double>("vesselAtBoot");
    QTest::newRow("open, full, a minute off") << 1.0 << 5200.0 << true << 60 << 5170.0;
    QTest::newRow("half-way, an hour off") << 0.5 << 4000.0 << false << 3600 << 2200.0;
    QTest::newRow("closed, empty after a night") << 0.0 << 3000.0 << false << 12 * 3600 << 0.0;
}

void TestPhysicalState::powerCycle_keepsDrawerVesselAndStick()
{
    QFETCH(double, drawer);
    QFETCH(double, vessel);
    QFETCH(bool, stick);
    QFETCH(int, offSeconds);
    QFETCH(double, vesselAtBoot);
    SandboxRoot sandbox;
    const QString file = PhysicalState::fileFor(sandbox.root());

    // A new instrument: drawer closed, vessel empty, nothing in the port.
    const PhysicalState::Saved none = PhysicalState::load(file);
    QCOMPARE(none.drawerPosition, 0.0);
    QCOMPARE(none.vesselMbar, 0.0);
    QVERIFY(!none.stickPlugged);

    // The running world saves what the hardware is like.
    {
        DrawerMotor motor(sandbox.root());
        PumpVessel pump(sandbox.root());
        PhysicalState state(sandbox.root(), none, &motor, &pump);
        motor.setPosition(drawer);
        pump.setPressureMbar(vessel);
        if (stick)
            sandbox.write("/dev/sda1", {});
        state.tick(PhysicalState::kSaveEveryMs);
    }
    PhysicalState::Saved saved = PhysicalState::load(file);
    QCOMPARE(saved.drawerPosition, drawer);
    QCOMPARE(saved.vesselMbar, vessel);
    QCOMPARE(saved.stickPlugged, stick);

    // The next power-on, after the board was off for a while.
    saved.savedAtMs = QDateTime::currentMSecsSinceEpoch() - qint64(offSeconds) * 1000;
    QVERIFY(PhysicalState::save(file, saved));
    DrawerMotor motor(sandbox.root());
    PumpVessel pump(sandbox.root());
    PhysicalState state(sandbox.root(), PhysicalState::load(file), &motor, &pump);
    QCOMPARE(motor.position(), drawer);
    QVERIFY2(qAbs(pump.pressureMbar() - vesselAtBoot) < 1,
             qPrintable(QString::number(pump.pressureMbar())));
}

QTEST_GUILESS_MAIN(TestPhysicalState)
#include "tst_physicalstate.moc"
