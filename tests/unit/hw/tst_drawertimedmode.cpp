// The drawer's timed travel on boards without current sensing: its ticks read back from the
// duties written to the two PWM attributes, on a clock whose second-ticks last 5 ms.
#include "hw/drawerclock.h"
#include "hw/drawertimedmode.h"
#include "support/sandboxroot.h"

#include <QtTest>

namespace {

const char *const kOpenPwm = "/sys/class/leds/PWM<B>/brightness";
const char *const kClosePwm = "/sys/class/leds/PWM<C>/brightness";

class FastTicks : public DrawerClock
{
public:
    int timerIntervalMs(int) const override { return 5; }
};

// Every duty written to a PWM attribute, in order: each write appends one 3-byte field.
QList<int> duties(const SandboxRoot &sandbox, const char *path)
{
    const QByteArray text = sandbox.read(path);
    QList<int> written;
    for (int i = 0; i + 3 <= text.size(); i += 3)
        written << text.mid(i, 3).replace('\0', "").toInt();
    return written;
}

// `ticks` releases of a channel, one duty 0 a tick.
QList<int> zeroDuties(int ticks)
{
    QList<int> duties;
    for (int i = 0; i < ticks; ++i)
        duties << 0;
    return duties;
}

struct TimedBench
{
    TimedBench()
    {
        sandbox.write(kOpenPwm, {});
        sandbox.write(kClosePwm, {});
        mode.createTimers();
    }
    // The released channel of a travel this way.
    const char *released(DrawerTimedMode::Direction direction) const
    {
        return direction == DrawerTimedMode::Opening ? kClosePwm : kOpenPwm;
    }
    // Processes one event at a time until `count` duties are on `path` (or 2 s have passed).
    void waitForDuties(const char *path, int count) const
    {
        QElapsedTimer waited;
        waited.start();
        while (duties(sandbox, path).size() < count && waited.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    void waitForEnd() const { QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 2000); }

    SandboxRoot sandbox;
    FastTicks clock;
    QList<DrawerTimedMode::Direction> ended;
    DrawerTimedMode mode {clock, kOpenPwm, kClosePwm, [this](DrawerTimedMode::Direction direction) {
                              ended << direction;
                          }};
};

} // namespace

Q_DECLARE_METATYPE(DrawerTimedMode::Direction)

class TestDrawerTimedMode : public QObject
{
    Q_OBJECT

private slots:
    void fullTravel_drivesTicksZeroToFiveThenEnds_data();
    void fullTravel_drivesTicksZeroToFiveThenEnds();
    void reversal_goesBackAsFarAsTheCutTravelCame_data();
    void reversal_goesBackAsFarAsTheCutTravelCame();
    void unwritableDrive_failsAndStillStopsTheOtherTravel();
};

void TestDrawerTimedMode::fullTravel_drivesTicksZeroToFiveThenEnds_data()
{
    QTest::addColumn<DrawerTimedMode::Direction>("direction");
    QTest::newRow("opening") << DrawerTimedMode::Opening;
    QTest::newRow("closing") << DrawerTimedMode::Closing;
}

void TestDrawerTimedMode::fullTravel_drivesTicksZeroToFiveThenEnds()
{
    QFETCH(DrawerTimedMode::Direction, direction);
    TimedBench bench;
    const char *driven = direction == DrawerTimedMode::Opening ? kOpenPwm : kClosePwm;

    QCOMPARE(bench.mode.start(direction), 0);
    QCOMPARE(duties(bench.sandbox, driven), QList<int> {255});
    bench.waitForEnd();
    QCOMPARE(bench.ended, QList<DrawerTimedMode::Direction> {direction});
    // Ticks 0 to 5 keep the other channel released; the motor's stop is the caller's.
    QCOMPARE(duties(bench.sandbox, bench.released(direction)), zeroDuties(6));
    QCOMPARE(duties(bench.sandbox, driven), QList<int> {255});

    // The timer has stopped: nothing more is written, the end is not reported twice.
    QTest::qWait(50);
    QCOMPARE(duties(bench.sandbox, bench.released(direction)).size(), 6);
    QCOMPARE(bench.ended.size(), 1);

    // The next travel the same way is a full one again.
    QCOMPARE(bench.mode.start(direction), 0);
    bench.waitForEnd();
    QTRY_COMPARE_WITH_TIMEOUT(bench.ended.size(), 2, 2000);
    QCOMPARE(duties(bench.sandbox, bench.released(direction)).size(), 12);
}

void TestDrawerTimedMode::reversal_goesBackAsFarAsTheCutTravelCame_data()
{
    QTest::addColumn<DrawerTimedMode::Direction>("first");
    QTest::addColumn<int>("ticksBeforeCut"); // ticks of the first travel, tick 0 included
    QTest::addColumn<int>("ticksBack");
    QTest::newRow("closing cut after tick 2: back in ticks 3 to 5")
            << DrawerTimedMode::Closing << 3 << 3;
    QTest::newRow("opening cut after tick 1: back in ticks 4 and 5")
            << DrawerTimedMode::Opening << 2 << 2;
    QTest::newRow("opening cut after tick 4: back in tick 1 to 5")
            << DrawerTimedMode::Opening << 5 << 5;
    // Cut at its start or at its last driven tick, a travel is reversed in full.
    QTest::newRow("closing cut at tick 0") << DrawerTimedMode::Closing << 1 << 6;
    QTest::newRow("closing cut after tick 5") << DrawerTimedMode::Closing << 6 << 6;
}

void TestDrawerTimedMode::reversal_goesBackAsFarAsTheCutTravelCame()
{
    QFETCH(DrawerTimedMode::Direction, first);
    QFETCH(int, ticksBeforeCut);
    QFETCH(int, ticksBack);
    const DrawerTimedMode::Direction back = first == DrawerTimedMode::Opening
            ? DrawerTimedMode::Closing
            : DrawerTimedMode::Opening;
    TimedBench bench;

    QCOMPARE(bench.mode.start(first), 0);
    bench.waitForDuties(bench.released(first), ticksBeforeCut);
    QCOMPARE(duties(bench.sandbox, bench.released(first)).size(), ticksBeforeCut);
    QCOMPARE(bench.mode.start(back), 0);
    bench.waitForEnd();

    QCOMPARE(bench.ended, QList<DrawerTimedMode::Direction> {back});
    // The first travel released one channel up to its cut, then the reversal drove it; the
    // other channel, driven first, is released for the ticks back.
    QCOMPARE(duties(bench.sandbox, bench.released(first)), zeroDuties(ticksBeforeCut) << 255);
    QCOMPARE(duties(bench.sandbox, bench.released(back)), QList<int> {255} + zeroDuties(ticksBack));
}

void TestDrawerTimedMode::unwritableDrive_failsAndStillStopsTheOtherTravel()
{
    TimedBench bench;
    QCOMPARE(bench.mode.start(DrawerTimedMode::Opening), 0);
    bench.waitForDuties(kClosePwm, 2);
    // The closing channel's LED device is gone: its drive cannot be written.
    QDir(bench.sandbox.file("/sys/class/leds/PWM<C>")).removeRecursively();
    QCOMPARE(bench.mode.start(DrawerTimedMode::Closing), 1);
    QTest::qWait(100);
    // Neither travel ticks on behind the caller's back: no end is reported later, and the
    // closing never released the opening's channel.
    QVERIFY(bench.ended.isEmpty());
    QCOMPARE(duties(bench.sandbox, kOpenPwm), QList<int> {255});
}

QTEST_GUILESS_MAIN(TestDrawerTimedMode)
#include "tst_drawertimedmode.moc"
