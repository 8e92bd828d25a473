// The run's pressure arithmetic: ramp steps, the pre-ramp check and the range supervision.
#include "pressure/pressureramp.h"

#include <QtTest>

using namespace pressureramp;

class TestPressureRamp : public QObject
{
    Q_OBJECT

private slots:
    void ramp_stepsOncePerSecondAndClamps_data();
    void ramp_stepsOncePerSecondAndClamps();
    void preRampCheck_data();
    void preRampCheck();
    void rangeSupervision_data();
    void rangeSupervision();
};

void TestPressureRamp::ramp_stepsOncePerSecondAndClamps_data()
{
    QTest::addColumn<int>("preRamp");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("ticks"); // the longest line's steps
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("100 to 1000 in 3 s") << 100 << 1000 << 3 << 3 << QList<int> {400, 700, 1000};
    QTest::newRow("100 to 1100 in 3 s, other line 6 s")
            << 100 << 1100 << 3 << 6 << QList<int> {433, 766, 1099, 1100, 1100, 1100};
    QTest::newRow("falling line reaches its target at once and stays")
            << 500 << 100 << 4 << 4 << QList<int> {100, 100, 100, 100};
    QTest::newRow("no steps keeps the pre-ramp value")
            << 200 << 900 << 0 << 3 << QList<int> {200, 200, 200};
    QTest::newRow("120 steps of a long ramp") << 0 << 2000 << 120 << 2 << QList<int> {16, 32};
}

void TestPressureRamp::ramp_stepsOncePerSecondAndClamps()
{
    QFETCH(int, preRamp);
    QFETCH(int, target);
    QFETCH(int, steps);
    QFETCH(int, ticks);
    QFETCH(QList<int>, expected);
    QList<int> got;
    int pressure = preRamp;
    for (int tick = 0; tick < ticks; ++tick) {
        pressure = nextRampPressure(pressure, preRamp, target, steps);
        got << pressure;
    }
    QCOMPARE(got, expected);
}

void TestPressureRamp::preRampCheck_data()
{
    QTest::addColumn<int>("measured");
    QTest::addColumn<int>("setPoint");
    QTest::addColumn<bool>("fails");
    QTest::newRow("1010 at 1000 passes") << 1010 << 1000 << false;
    QTest::newRow("1011 at 1000 fails") << 1011 << 1000 << true;
    QTest::newRow("989 at 1000 fails") << 989 << 1000 << true;
    QTest::newRow("990 at 1000 passes") << 990 << 1000 << false;
    QTest::newRow("40 mbar is exempt") << 0 << 40 << false;
    QTest::newRow("49 mbar is exempt") << 300 << 49 << false;
    QTest::newRow("50 mbar is checked") << 0 << 50 << true;
}

void TestPressureRamp::preRampCheck()
{
    QFETCH(int, measured);
    QFETCH(int, setPoint);
    QFETCH(bool, fails);
    QCOMPARE(preRampLineFails(measured, setPoint), fails);
}

void TestPressureRamp::rangeSupervision_data()
{
    QTest::addColumn<int>("measured");
    QTest::addColumn<int>("setPoint");
    QTest::addColumn<bool>("supervised");
    QTest::addColumn<bool>("out");
    QTest::newRow("1101 at 1000 is out") << 1101 << 1000 << true << true;
    QTest::newRow("1100 at 1000 is in") << 1100 << 1000 << true << false;
    QTest::newRow("900 at 1000 is in") << 900 << 1000 << true << false;
    QTest::newRow("899 at 1000 is out") << 899 << 1000 << true << true;
    QTest::newRow("200 is supervised") << 300 << 200 << true << true;
    QTest::newRow("150 is not") << 0 << 150 << false << true;
}

void TestPressureRamp::rangeSupervision()
{
    QFETCH(int, measured);
    QFETCH(int, setPoint);
    QFETCH(bool, supervised);
    QFETCH(bool, out);
    QCOMPARE(isSupervised(setPoint), supervised);
    QCOMPARE(outOfRange(measured, setPoint), out);
}

QTEST_GUILESS_MAIN(TestPressureRamp)
#include "tst_pressureramp.moc"
