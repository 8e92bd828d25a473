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
    void initTestCase()
    {
        EventFilter::setClock([] { return nowMs; });
    }
    void cleanupTestCase() { EventFilter::setClock({}); }
    void bounce_swallowedInsideWindowOnly_data();
    void bounce_swallowedInsideWindowOnly();
};

void TestEventFilter::bounce_swallowedInsideWindowOnly_data()
{
    QTest::addColumn<int>("first"); // 0: nothing before (runs first: the moments are shared)
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("afterMs");
    QTest::addColumn<bool>("swallowed");
    const int release = QEvent::MouseButtonRelease;
    const int dbl = QEvent::MouseButtonDblClick;
    const int end = QEvent::TouchEnd;
    const int begin = QEvent::TouchBegin;
    QTest::newRow("double click, no release yet") << 0 << dbl << 0 << false;
    QTest::newRow("touch begin, no end yet") << 0 << begin << 0 << false;
    QTest::newRow("double click at once") << release << dbl << 0 << true;
    QTest::newRow("double click 99 ms") << release << dbl << 99 << true;
    QTest::newRow("double click 100 ms") << release << dbl << 100 << false;
    QTest::newRow("touch begin at once") << end << begin << 0 << false;
    QTest::newRow("touch begin 1 ms") << end << begin << 1 << true;
    QTest::newRow("touch begin 99 ms") << end << begin << 99 << true;
    QTest::newRow("touch begin 100 ms") << end << begin << 100 << false;
    QTest::newRow("touch end opens no click window") << end << dbl << 50 << false;
    QTest::newRow("release opens no touch window") << release << begin << 50 << false;
    QTest::newRow("press opens no window") << int(QEvent::MouseButtonPress) << dbl << 50 << false;
}

void TestEventFilter::bounce_swallowedInsideWindowOnly()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, afterMs);
    QFETCH(bool, swallowed);
    EventFilter filter(nullptr);
    QObject target;
    nowMs += 10000;
    if (first != 0) {
        QEvent stamp(static_cast<QEvent::Type>(first));
        QVERIFY(!filter.eventFilter(&target, &stamp));
    }
    nowMs += afterMs;
    QEvent event(static_cast<QEvent::Type>(second));
    QCOMPARE(filter.eventFilter(&target, &event), swallowed);
    // A swallowed bounce does not extend the window.
    nowMs += qMax(0, 100 - afterMs);
    QVERIFY(!filter.eventFilter(&target, &event));
}

QTEST_GUILESS_MAIN(TestEventFilter)
#include "tst_eventfilter.moc"
