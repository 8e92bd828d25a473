// The countdown texts of the running page and the shutdown page, at their unit boundaries.
#include "app/countdowntext.h"

#include <QtTest>

class TestCountdownText : public QObject
{
    Q_OBJECT

private slots:
    void remainingTime_minutesThenSeconds_data();
    void remainingTime_minutesThenSeconds();
    void releaseCountdown_secondsThenShutdown_data();
    void releaseCountdown_secondsThenShutdown();
};

void TestCountdownText::remainingTime_minutesThenSeconds_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("120 s") << 120 << "2 minutes";
    QTest::newRow("119 s: the minute is not rounded up") << 119 << "1 minute";
    QTest::newRow("60 s") << 60 << "1 minute";
    QTest::newRow("59 s") << 59 << "59 seconds";
    QTest::newRow("2 s") << 2 << "2 seconds";
    QTest::newRow("1 s") << 1 << "1 second";
    QTest::newRow("0 s, as the instrument has always shown it") << 0 << "0 second";
}

void TestCountdownText::remainingTime_minutesThenSeconds()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(remainingTimeText(seconds), text);
}

void TestCountdownText::releaseCountdown_secondsThenShutdown_data()
{
    QTest::addColumn<int>("secondsToRelease");
    QTest::addColumn<QString>("text");
    QTest::newRow("5") << 5 << "Releasing pressure in 5 seconds";
    QTest::newRow("2") << 2 << "Releasing pressure in 2 seconds";
    QTest::newRow("1") << 1 << "Releasing pressure in 1 second";
    QTest::newRow("the release") << 0 << "Shutting down...";
    QTest::newRow("after it") << -2 << "Shutting down...";
}

void TestCountdownText::releaseCountdown_secondsThenShutdown()
{
    QFETCH(int, secondsToRelease);
    QFETCH(QString, text);
    QCOMPARE(releaseCountdownText(secondsToRelease), text);
}

QTEST_GUILESS_MAIN(TestCountdownText)
#include "tst_countdowntext.moc"
