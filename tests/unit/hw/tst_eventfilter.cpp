// The touch debouncing windows, on synthesised events and a scripted clock.
#include "hw/eventfilter.h"

#include <QEvent>
#include <QtTest>

namespace {
qint64 nowMs = 1000000;
} // namespace

class TestEventFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    // Runs first: the remembered moments are shared by the whole process.
    void withoutEarlierReleaseOrEnd_everythingDelivered();
    void bounce_swallowedInsideWindowOnly_data();
    void bounce_swallowedInsideWindowOnly();
    void onlyReleaseAndEnd_restartTheWindows();
};

void TestEventFilter::initTestCase()
{
    EventFilter::setClock([] { return nowMs; });
}

void TestEventFilter::cleanupTestCase()
{
    EventFilter::setClock({});
}

void TestEventFilter::withoutEarlierReleaseOrEnd_everythingDelivered()
{
    EventFilter filter(nullptr);
    QObject target;
    QEvent doubleClick(QEvent::MouseButtonDblClick);
    QEvent touchBegin(QEvent::TouchBegin);
    QVERIFY(!filter.eventFilter(&target, &doubleClick));
    QVERIFY(!filter.eventFilter(&target, &touchBegin));
}

void TestEventFilter::bounce_swallowedInsideWindowOnly_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("afterMs");
    QTest::addColumn<bool>("swallowed");
    const int release = QEvent::MouseButtonRelease;
    const int dbl = QEvent::MouseButtonDblClick;
    const int end = QEvent::TouchEnd;
    const int begin = QEvent::TouchBegin;
    QTest::newRow("double click at once") << release << dbl << 0 << true;
    QTest::newRow("double click 50 ms") << release << dbl << 50 << true;
    QTest::newRow("double click 99 ms") << release << dbl << 99 << true;
    QTest::newRow("double click 100 ms") << release << dbl << 100 << false;
    QTest::newRow("double click 150 ms") << release << dbl << 150 << false;
    QTest::newRow("touch begin at once") << end << begin << 0 << false;
    QTest::newRow("touch begin 1 ms") << end << begin << 1 << true;
    QTest::newRow("touch begin 50 ms") << end << begin << 50 << true;
    QTest::newRow("touch begin 99 ms") << end << begin << 99 << true;
    QTest::newRow("touch begin 100 ms") << end << begin << 100 << false;
    QTest::newRow("touch begin an hour on") << end << begin << 3600000 << false;
}

void TestEventFilter::bounce_swallowedInsideWindowOnly()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, afterMs);
    QFETCH(bool, swallowed);
    EventFilter filter(nullptr);
    QObject target;
    QEvent stamp(static_cast<QEvent::Type>(first));
    QEvent bounce(static_cast<QEvent::Type>(second));
    nowMs += 10000;
    QVERIFY(!filter.eventFilter(&target, &stamp));
    nowMs += afterMs;
    QCOMPARE(filter.eventFilter(&target, &bounce), swallowed);
}

void TestEventFilter::onlyReleaseAndEnd_restartTheWindows()
{
    EventFilter filter(nullptr);
    QObject target;
    QEvent release(QEvent::MouseButtonRelease);
    QEvent press(QEvent::MouseButtonPress);
    QEvent doubleClick(QEvent::MouseButtonDblClick);
    QEvent touchEnd(QEvent::TouchEnd);
    QEvent touchBegin(QEvent::TouchBegin);
    QEvent touchUpdate(QEvent::TouchUpdate);

    nowMs += 10000;
    filter.eventFilter(&target, &release);
    filter.eventFilter(&target, &touchEnd);
    nowMs += 200;
    // Neither kind restarts the other's window, nor do presses, updates or swallowed events.
    QVERIFY(!filter.eventFilter(&target, &press));
    QVERIFY(!filter.eventFilter(&target, &touchUpdate));
    QVERIFY(!filter.eventFilter(&target, &doubleClick));
    QVERIFY(!filter.eventFilter(&target, &touchBegin));
    filter.eventFilter(&target, &touchEnd);
    nowMs += 50;
    QVERIFY(!filter.eventFilter(&target, &doubleClick));
    QVERIFY(filter.eventFilter(&target, &touchBegin));
    nowMs += 60; // 110 ms after the end: a bounce does not extend the window
    QVERIFY(!filter.eventFilter(&target, &touchBegin));
}

QTEST_GUILESS_MAIN(TestEventFilter)
#include "tst_eventfilter.moc"
