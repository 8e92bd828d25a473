// The initial tests' pure rules: valve patterns, pass criteria, the colour rule and the
// results file.
#include "service/initialtest.h"

#include <QDateTime>
#include <QtTest>

using namespace initialtest;

class TestInitialTest : public QObject
{
    Q_OBJECT

private slots:
    void laneMask_oneLaneOpenOrAll_data();
    void laneMask_oneLaneOpenOrAll();
    void stepPassed_boundaries_data();
    void stepPassed_boundaries();
    void buttonColour_greenOnlyWhenEveryMarkedRowIsOk_data();
    void buttonColour_greenOnlyWhenEveryMarkedRowIsOk();
    void resultsText_linesInOrder_data();
    void resultsText_linesInOrder();
    void laneLogPath_namesLaneOrAllLanes();
};

void TestInitialTest::laneMask_oneLaneOpenOrAll_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("lane");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<int>("mask");
    QTest::newRow("lane 1") << int(OPEN_RUN_TEST) << 0 << "11111110" << 0xFE;
    QTest::newRow("lane 3") << int(BLOCKED_CARTRIDGE_TEST) << 2 << "11111011" << 0xFB;
    QTest::newRow("lane 8") << int(OPEN_RUN_TEST) << 7 << "01111111" << 0x7F;
    QTest::newRow("all lanes open") << int(OPEN_RUN_TEST) << 8 << "00000000" << 0;
    QTest::newRow("close run holds all shut") << int(CLOSE_RUN_TEST) << 8 << "11111111" << 0xFF;
}

void TestInitialTest::laneMask_oneLaneOpenOrAll()
{
    QFETCH(int, type);
    QFETCH(int, lane);
    QTEST(laneMaskText(type, lane), "bits");
    QTEST(int(laneMask(type, lane)), "mask");
}

void TestInitialTest::stepPassed_boundaries_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("pumpOnCount");
    QTest::addColumn<int>("startMbar");
    QTest::addColumn<int>("endMbar");
    QTest::addColumn<qint64>("pumpMs");
    QTest::addColumn<bool>("passed");
    const int close = CLOSE_RUN_TEST, open = OPEN_RUN_TEST, blocked = BLOCKED_CARTRIDGE_TEST;
    QTest::newRow("close, pump once") << close << 1 << 0 << 0 << qint64(0) << true;
    QTest::newRow("close, pump twice") << close << 2 << 0 << 0 << qint64(0) << false;
    QTest::newRow("open, no pump") << open << 0 << 0 << 0 << qint64(0) << false;
    QTest::newRow("open, pump once") << open << 1 << 0 << 0 << qint64(0) << true;
    QTest::newRow("blocked, 500 lost") << blocked << 0 << 5300 << 4800 << qint64(0) << true;
    QTest::newRow("blocked, 501 lost") << blocked << 0 << 5300 << 4799 << qint64(0) << false;
    QTest::newRow("blocked, pressure rose") << blocked << 0 << 4800 << 5300 << qint64(0) << true;
    QTest::newRow("blocked, pump started") << blocked << 1 << 5300 << 5300 << qint64(0) << false;
    QTest::newRow("drawer") << int(DRAWER_TEST) << 3 << 0 << 0 << qint64(0) << true;
    QTest::newRow("pump, 120000 ms") << int(PUMP_TEST) << 1 << 0 << 0 << qint64(120000) << true;
    QTest::newRow("pump, 120001 ms") << int(PUMP_TEST) << 1 << 0 << 0 << qint64(120001) << false;
    QTest::newRow("undefined type") << 5 << 1 << 0 << 0 << qint64(0) << false;
}

void TestInitialTest::stepPassed_boundaries()
{
    QFETCH(int, type);
    StepMeasurement step;
    QFETCH(int, pumpOnCount);
    QFETCH(int, startMbar);
    QFETCH(int, endMbar);
    QFETCH(qint64, pumpMs);
    step.pumpOnCount = pumpOnCount;
    step.startVesselMbar = startMbar;
    step.endVesselMbar = endMbar;
    step.pumpTestMs = pumpMs;
    QTEST(stepPassed(type, step), "passed");
}

void TestInitialTest::buttonColour_greenOnlyWhenEveryMarkedRowIsOk_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<bool>>("results");
    QTest::addColumn<bool>("green");
    QList<bool> nine;
    for (int row = 0; row < kRowCount; ++row)
        nine << true;
    QList<bool> lane5Failed = nine;
    lane5Failed[4] = false;
    QList<bool> lastFailed = nine;
    lastFailed[kRowCount - 1] = false;
    QTest::newRow("open run, all nine passed") << int(OPEN_RUN_TEST) << nine << true;
    QTest::newRow("open run, lane 5 failed") << int(OPEN_RUN_TEST) << lane5Failed << false;
    QTest::newRow("open run, all lanes together failed")
            << int(OPEN_RUN_TEST) << lastFailed << false;
    // A test cut short has results for its first steps only.
    QTest::newRow("open run, eight of nine") << int(OPEN_RUN_TEST) << nine.mid(0, 8) << false;
    QTest::newRow("open run, none") << int(OPEN_RUN_TEST) << QList<bool>() << false;
    // The single-step tests have one result, shown on row 9.
    QTest::newRow("close run, passed") << int(CLOSE_RUN_TEST) << QList<bool> {true} << true;
    QTest::newRow("pump, failed") << int(PUMP_TEST) << QList<bool> {false} << false;
    QTest::newRow("drawer, none") << int(DRAWER_TEST) << QList<bool>() << false;
}

void TestInitialTest::buttonColour_greenOnlyWhenEveryMarkedRowIsOk()
{
    QFETCH(int, type);
    QFETCH(QList<bool>, results);
    QTEST(allMarkedRowsOk(type, results), "green");
}

void TestInitialTest::resultsText_linesInOrder_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<bool>>("flags");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("open run, lane 2 and the all-lanes step failed")
            << int(OPEN_RUN_TEST)
            << QList<bool> {true, false, true, true, true, true, true, true, false}
            << QByteArray("OPEN_RUN_TEST\n\n"
                          " Line 1:\t PASSED\n Line 2:\t FAILED\n Line 3:\t PASSED\n"
                          " Line 4:\t PASSED\n Line 5:\t PASSED\n Line 6:\t PASSED\n"
                          " Line 7:\t PASSED\n Line 8:\t PASSED\n All lines :\t FAILED\n");
    QTest::newRow("close run") << int(CLOSE_RUN_TEST) << QList<bool> {true}
                               << QByteArray("CLOSE_RUN_TEST\n\nPASSED\n");
    QTest::newRow("pump failed") << int(PUMP_TEST) << QList<bool> {false}
                                 << QByteArray("PUMP_TEST\n\nFAILED\n");
    // Never claims a pass it has no flag for.
    QTest::newRow("drawer, no flag")
            << int(DRAWER_TEST) << QList<bool> {} << QByteArray("DRAWER_TEST\n\nFAILED\n");
}

void TestInitialTest::resultsText_linesInOrder()
{
    QFETCH(int, type);
    QFETCH(QList<bool>, flags);
    QTEST(resultsText(type, flags), "text");
}

void TestInitialTest::laneLogPath_namesLaneOrAllLanes()
{
    const QDateTime start(QDate(2024, 1, 31), QTime(14, 25, 1));
    QCOMPARE(laneLogPath(OPEN_RUN_TEST, 2, 57, start),
             std::string("/usr/share/vemla/logs/init_testing/"
                         "57_20240131_142501_OPEN_RUN_TEST_lane_3.log"));
    QCOMPARE(laneLogPath(CLOSE_RUN_TEST, 8, 9, start),
             std::string("/usr/share/vemla/logs/init_testing/"
                         "9_20240131_142501_CLOSE_RUN_TEST_all_lanes.log"));
    QCOMPARE(resultsFilePath(BLOCKED_CARTRIDGE_TEST),
             QString("/usr/share/vemla/logs/init_testing/BLOCKED_CARTRIDGE_TEST_Results.log"));
}

QTEST_APPLESS_MAIN(TestInitialTest)
#include "tst_initialtest.moc"
