// The window's reading of the vessel pressure: percentage and the leakage rule.
#include "pressure/vesselpressure.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<int>)

class TestVesselPressure : public QObject
{
    Q_OBJECT

private slots:
    void percentOf_data();
    void percentOf();
    void history_leakDetectedAtCheck_data();
    void history_leakDetectedAtCheck();
};

void TestVesselPressure::percentOf_data()
{
    QTest::addColumn<int>("mbar");
    QTest::addColumn<int>("percent");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("49 truncates to 0") << 49 << 0;
    QTest::newRow("2500") << 2500 << 50;
    QTest::newRow("4999") << 4999 << 99;
    QTest::newRow("5000") << 5000 << 100;
    QTest::newRow("5690") << 5690 << 100;
    QTest::newRow("65535") << 65535 << 100;
}

void TestVesselPressure::percentOf()
{
    QFETCH(int, mbar);
    QFETCH(int, percent);
    QCOMPARE(int(vesselpressure::percentOf(uint16_t(mbar))), percent);
}

void TestVesselPressure::history_leakDetectedAtCheck_data()
{
    QTest::addColumn<QList<int>>("percents");
    QTest::addColumn<int>("leakAt"); // 1-based check, 0 for none
    QList<int> rising, flat, stallsLate, dips;
    for (int i = 0; i < 40; ++i) {
        rising << i;
        flat << 7;
        stallsLate << std::min(i, 20);
        dips << (i % 14 == 13 ? i - 12 : i); // a dip within the window is no leak
    }
    QTest::newRow("rising by 1 never") << rising << 0;
    QTest::newRow("flat from the first: 16th") << flat << 16;
    QTest::newRow("stalls at check 21: 35th") << stallsLate << 35;
    QTest::newRow("short dips") << dips << 0;
}

void TestVesselPressure::history_leakDetectedAtCheck()
{
    QFETCH(QList<int>, percents);
    QFETCH(int, leakAt);
    QList<uint8_t> history;
    int detected = 0;
    for (int i = 0; i < percents.size() && !detected; ++i) {
        if (vesselpressure::appendAndDetectLeak(&history, uint8_t(percents[i])))
            detected = i + 1;
        QVERIFY(history.size() <= vesselpressure::kHistoryLength);
    }
    QCOMPARE(detected, leakAt);
}

QTEST_GUILESS_MAIN(TestVesselPressure)
#include "tst_vesselpressure.moc"
